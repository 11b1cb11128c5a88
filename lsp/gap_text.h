// A text being edited many times in a row: its bytes with a gap at the last
// edit and its line starts split at the same place, so that an edit costs
// what it changes and the distance from the edit before, not the length of
// the text. Editors send a replace-all as thousands of edits in file order
// (or its reverse), which this turns into about one pass over the text.
#ifndef VELTRANE_LSP_GAP_TEXT_H_
#define VELTRANE_LSP_GAP_TEXT_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "lsp/position.h"

class CGapText {
 public:
  // Takes over `text` and the starts of its lines (as CDocument counts
  // them: 0, and after every LF, CR LF and lone CR).
  CGapText(std::string text, std::vector<std::size_t> lineStarts);

  std::size_t Size() const { return m_buffer.size() - GapLength(); }
  std::size_t LineCount() const { return m_front.size() + m_back.size(); }
  // REQUIRES: line < LineCount().
  std::size_t LineStart(std::size_t line) const;

  // The byte offset of `position`, clamped as CDocument::OffsetOf is.
  std::size_t OffsetOf(const CPosition& position, PositionEncoding encoding);

  // Replaces bytes [from, to) with `text`.
  // REQUIRES: from <= to <= Size().
  void Replace(std::size_t from, std::size_t to, std::string_view text);
  void Assign(std::string text);

  // Hands the text and its line starts back, the gap closed.
  void Release(std::string& text, std::vector<std::size_t>& lineStarts);

 private:
  std::size_t GapLength() const { return m_gapEnd - m_gapStart; }
  char ByteAt(std::size_t offset) const;
  // The bytes [from, to), moving the gap out of them.
  std::string_view Bytes(std::size_t from, std::size_t to);
  void MoveGap(std::size_t offset);
  // Puts the line starts before `offset` in front and the others behind.
  void MoveLineSplit(std::size_t offset);
  void ReserveGap(std::size_t size);
  // Adds the line starts at offsets [from, to].
  // REQUIRES: every line start before `from` is in front, none after.
  void AddLineStarts(std::size_t from, std::size_t to);

  std::string m_buffer;
  std::size_t m_gapStart;
  std::size_t m_gapEnd;
  // Line starts before the split as offsets; those after it as distances
  // from the text's end, last line first, so that an edit before them
  // leaves them as they are.
  std::vector<std::size_t> m_front;
  std::vector<std::size_t> m_back;
};

#endif  // VELTRANE_LSP_GAP_TEXT_H_
