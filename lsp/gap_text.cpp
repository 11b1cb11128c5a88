#include "lsp/gap_text.h"

#include <algorithm>
#include <cstring>

CGapText::CGapText(std::string text, std::vector<std::size_t> lineStarts)
    : m_buffer(std::move(text)),
      m_gapStart(m_buffer.size()),
      m_gapEnd(m_buffer.size()),
      m_front(std::move(lineStarts)) {}

std::size_t CGapText::LineStart(std::size_t line) const {
  if (line < m_front.size()) return m_front[line];
  return Size() - m_back[m_back.size() - 1 - (line - m_front.size())];
}

char CGapText::ByteAt(std::size_t offset) const {
  return m_buffer[offset < m_gapStart ? offset : offset + GapLength()];
}

std::string_view CGapText::Bytes(std::size_t from, std::size_t to) {
  if (from < m_gapStart && m_gapStart < to) MoveGap(m_gapStart - from < to - m_gapStart ? from : to);
  const std::size_t at = from < m_gapStart ? from : from + GapLength();
  return std::string_view(m_buffer).substr(at, to - from);
}

void CGapText::MoveGap(std::size_t offset) {
  char* data = m_buffer.data();
  if (offset < m_gapStart)
    std::memmove(data + offset + GapLength(), data + offset, m_gapStart - offset);
  else if (offset > m_gapStart)
    std::memmove(data + m_gapStart, data + m_gapEnd, offset - m_gapStart);
  m_gapEnd = offset + GapLength();
  m_gapStart = offset;
}

void CGapText::MoveLineSplit(std::size_t offset) {
  const std::size_t size = Size();
  while (!m_front.empty() && m_front.back() >= offset) {
    m_back.push_back(size - m_front.back());
    m_front.pop_back();
  }
  while (!m_back.empty() && size - m_back.back() < offset) {
    m_front.push_back(size - m_back.back());
    m_back.pop_back();
  }
}

void CGapText::ReserveGap(std::size_t size) {
  if (GapLength() >= size) return;
  // Growing by half the text keeps a run of insertions linear.
  const std::size_t gap = size + Size() / 2 + 64;
  const std::size_t tail = m_buffer.size() - m_gapEnd;
  std::string grown(m_gapStart + gap + tail, '\0');
  std::memcpy(grown.data(), m_buffer.data(), m_gapStart);
  std::memcpy(grown.data() + m_gapStart + gap, m_buffer.data() + m_gapEnd, tail);
  m_buffer = std::move(grown);
  m_gapEnd = m_gapStart + gap;
}

std::size_t CGapText::OffsetOf(const CPosition& position, PositionEncoding encoding) {
  if (position.line >= LineCount()) return Size();
  const std::size_t start = LineStart(position.line);
  std::size_t end = position.line + 1 < LineCount() ? LineStart(position.line + 1) : Size();
  if (end > start && ByteAt(end - 1) == '\n') --end;
  if (end > start && ByteAt(end - 1) == '\r') --end;
  return start + ByteOfUnits(Bytes(start, end), position.character, encoding);
}

void CGapText::Replace(std::size_t from, std::size_t to, std::string_view text) {
  // Only a line start at or after `from` and at or before the end of the
  // new bytes can differ: a start depends on the byte before it and, after
  // a CR, on the byte at it.
  MoveLineSplit(from);
  while (!m_back.empty() && Size() - m_back.back() <= to) m_back.pop_back();
  MoveGap(from);
  m_gapEnd += to - from;
  ReserveGap(text.size());
  std::memcpy(m_buffer.data() + m_gapStart, text.data(), text.size());
  m_gapStart += text.size();
  AddLineStarts(from, m_gapStart);
}

void CGapText::AddLineStarts(std::size_t from, std::size_t to) {
  const std::size_t size = Size();
  for (std::size_t s = from; s <= to; ++s) {
    const char before = s > 0 ? ByteAt(s - 1) : '\n';
    if (before == '\n' || (before == '\r' && (s == size || ByteAt(s) != '\n'))) m_front.push_back(s);
  }
}

void CGapText::Assign(std::string text) {
  m_buffer = std::move(text);
  m_gapStart = m_gapEnd = m_buffer.size();
  m_front.clear();
  m_back.clear();
  AddLineStarts(0, m_gapStart);
}

void CGapText::Release(std::string& text, std::vector<std::size_t>& lineStarts) {
  MoveGap(Size());
  m_buffer.resize(m_gapStart);
  m_gapEnd = m_gapStart;
  MoveLineSplit(Size() + 1);
  text = std::move(m_buffer);
  lineStarts = std::move(m_front);
}
