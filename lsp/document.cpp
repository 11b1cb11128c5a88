#include "lsp/document.h"

#include <algorithm>

CDocument::CDocument(std::string text, std::int64_t version)
    : m_text(std::move(text)), m_version(version) {
  IndexLines(0);
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

CPosition CDocument::PositionAt(std::size_t offset, PositionEncoding encoding) const {
  offset = std::min(offset, m_text.size());
  const auto after = std::upper_bound(m_lineStarts.begin(), m_lineStarts.end(), offset);
  const std::size_t line = static_cast<std::size_t>(after - m_lineStarts.begin()) - 1;
  const std::string_view text = LineText(line);
  const std::size_t within = std::min(offset - m_lineStarts[line], text.size());
  return {static_cast<std::uint32_t>(line), UnitsOf(text.substr(0, within), encoding)};
}

void CDocument::Replace(const CPosition& start, const CPosition& end, std::string_view text,
                        PositionEncoding encoding) {
  const std::size_t from = OffsetOf(start, encoding);
  const std::size_t to = std::max(from, OffsetOf(end, encoding));
  m_text.replace(from, to - from, text);
  // Lines before the edit's line keep their starts. The line before it is
  // counted again too: its CR may now meet an LF the edit put first.
  const std::size_t line = std::min<std::size_t>(start.line, m_lineStarts.size() - 1);
  IndexLines(line > 0 ? line - 1 : 0);
}

void CDocument::SetText(std::string text) {
  m_text = std::move(text);
  IndexLines(0);
}

void CDocument::IndexLines(std::size_t from) {
  // The start of line `from` is still right: only bytes after it changed.
  from = m_lineStarts.empty() ? 0 : std::min(from, m_lineStarts.size() - 1);
  std::size_t i = from == 0 ? 0 : m_lineStarts[from];
  m_lineStarts.resize(from);
  m_lineStarts.push_back(i);
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
