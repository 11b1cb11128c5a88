#include "lsp/document.h"

#include <algorithm>

#include "lsp/gap_text.h"

CDocument::CDocument(std::string text, std::int64_t version)
    : m_text(std::move(text)), m_version(version) {
  IndexLines();
}

std::size_t CDocument::LineStart(std::size_t line) const {
  return line < m_lineStarts.size() ? m_lineStarts[line] : m_text.size();
}

std::string_view CDocument::LineText(std::size_t line) const {
  if (line >= m_lineStarts.size()) return {};
  const std::size_t start = m_lineStarts[line];
  std::size_t end = line + 1 < m_lineStarts.size() ? m_lineStarts[line + 1] : m_text.size();
  if (end > start && m_text[end - 1] == '\n') --end;
  if (end > start && m_text[end - 1] == '\r') --end;
  return std::string_view(m_text).substr(start, end - start);
}

std::size_t CDocument::OffsetOf(const CPosition& position, PositionEncoding encoding) const {
  if (position.line >= m_lineStarts.size()) return m_text.size();
  return LineStart(position.line) +
         ByteOfUnits(LineText(position.line), position.character, encoding);
}

void CDocument::ApplyChanges(std::span<CTextChange> changes, PositionEncoding encoding) {
  CGapText text(std::move(m_text), std::move(m_lineStarts));
  for (CTextChange& change : changes) {
    if (!change.range) {
      text.Assign(std::move(change.text));
      continue;
    }
    const std::size_t from = text.OffsetOf(change.range->start, encoding);
    const std::size_t to = std::max(from, text.OffsetOf(change.range->end, encoding));
    text.Replace(from, to, change.text);
  }
  text.Release(m_text, m_lineStarts);
}

void CDocument::Replace(const CRange& range, std::string_view text, PositionEncoding encoding) {
  CTextChange change{range, std::string(text)};
  ApplyChanges(std::span(&change, 1), encoding);
}

void CDocument::SetText(std::string text) {
  m_text = std::move(text);
  IndexLines();
}

void CDocument::IndexLines() {
  m_lineStarts.clear();
  m_lineStarts.push_back(0);
  std::size_t i = 0;
  const char* data = m_text.data();
  const std::size_t size = m_text.size();
  while (i < size) {
    const char* p = data + i;
    const char* stop = data + size;
    while (p < stop && *p != '\n' && *p != '\r') ++p;
    if (p == stop) break;
    i = static_cast<std::size_t>(p - data) + 1;
    if (*p == '\r' && i < size && data[i] == '\n') ++i;
    m_lineStarts.push_back(i);
  }
}
