// The one container of the checking engine: the labels a check run finds,
// addressed by a zero-based index.
#ifndef VELTRANE_CHECKER_LABEL_LIST_H_
#define VELTRANE_CHECKER_LABEL_LIST_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "checker/finding.h"
#include "platform/code_page.h"

// One occurrence of a label: a definition ("[Name]") or a reference
// ("Key=Name"). Its strings are views into the text store of the list that
// holds it, so an entry is only ever used through its list.
// A file of 200 MB holds about 400 000 of them, so an entry is kept to 48
// bytes: no virtual table (entries live in plain blocks and are never
// deleted through a base), the piece's text as a pointer and a 32-bit size,
// the kind in 16 bits, the flags in bits and the place packed.
struct CLabelEntry {
  // The piece as read, with its "\n" if it had one.
  std::string_view Text() const { return {textData, textSize}; }
  // Where the name's line starts in the file (see CLabelList::SetPlace).
  std::uint64_t LineOffset() const {
    return (static_cast<std::uint64_t>(lineOffsetHigh) << 32) | lineOffsetLow;
  }

  std::string_view name;  // the label, without brackets or key
  const char* textData = nullptr;
  int line = -1;          // 1-based number of the piece it was found in

  // Where the name stands, as CLabelList::PlaceOf gives it. A large file
  // holds hundreds of thousands of entries, so this is kept small: the
  // line's offset in 40 bits (a terabyte), and the line's text only when
  // it is not simply the piece without its line end.
  int placeLine = 0;             // 1-based physical line; 0: not placed
  std::uint32_t lineOffsetLow = 0;
  std::uint32_t placeBegin = 0;  // the name's offset in its line

  std::uint32_t textSize = 0;
  std::int16_t kind = 0;  // the SectionKind it belongs to
  std::uint8_t lineOffsetHigh = 0;
  bool used : 1 = false;  // matched by a reference, or pre-marked
  // A definition after the first of its name and kind in sorted order:
  // no reference can ever match it.
  bool shadowed : 1 = false;
  // A label line without "]", whose name is therefore empty.
  bool unclosed : 1 = false;
  bool ownLineText : 1 = false;
};
static_assert(sizeof(CLabelEntry) <= 48, "a label entry costs 48 bytes at most");

// A growable list of label entries. Accessors never fail: an index outside
// the list gives a neutral value ("", -1, 0 or false) and MarkUsed ignores it.
class CLabelList {
 public:
  static constexpr int kInitialCapacity = 1500;
  static constexpr int kGrowthStep = 1000;

  CLabelList();
  virtual ~CLabelList();
  CLabelList(const CLabelList&) = delete;
  CLabelList& operator=(const CLabelList&) = delete;

  int GetCount() const { return static_cast<int>(m_order.size()); }
  // The number of entries the list holds room for before it grows.
  int GetCapacity() const { return static_cast<int>(m_order.capacity()); }

  // Appends an entry that is not yet used, with copies of name and text.
  void Add(std::string_view name, int line, std::string_view text, int kind);

  std::string GetName(int index) const;
  std::string GetText(int index) const;
  int GetLine(int index) const;
  int GetKind(int index) const;
  void MarkUsed(int index);
  bool IsUsed(int index) const;

  // Sets where the entry's name stands: in physical line `line`, which
  // starts at file offset `lineOffset` and whose text (without its end, or
  // of a very long line its start) is `lineText`, at offset `begin` of it.
  // When `lineText` is `piece`, the bytes the entry was added with, less
  // its line end, the entry's own copy of them serves.
  void SetPlace(int index, int line, std::uint64_t lineOffset, std::uint64_t begin,
                std::string_view lineText, std::string_view piece = {});
  // Where the entry's name stands. The range ends at the name's end, or
  // at a lone CR inside the name, which ends the line.
  CPlace PlaceOf(const CLabelEntry& entry) const;
  CPlace PlaceOf(int index) const {
    return InRange(index) ? PlaceOf(*m_order[index]) : CPlace();
  }
  // Whether this list keeps the line text of `entry`, one of its own.
  bool KeepsLineOf(const CLabelEntry& entry) const { return m_lineTexts.count(&entry) > 0; }
  // Marks a label line that has no "]".
  void MarkUnclosed(int index);
  // Marks a definition after the first of its name and kind.
  void MarkShadowed(int index);

  // Moves every entry of `other` to the end of this list, in its order,
  // passing each to `adjust` on the way; `other` is left empty. The
  // entries keep their addresses and bytes.
  void Append(CLabelList& other, const std::function<void(CLabelEntry&)>& adjust);

  // Orders the entries by name, character by character in `codePage`
  // (unsigned byte values in a single-byte code page); entries with equal
  // names keep the order in which they were added.
  void Sort(const CCodePage& codePage = CCodePage());

  // Read access without copies, for the engine's own loops.
  // REQUIRES: 0 <= index < GetCount().
  const CLabelEntry& At(int index) const { return *m_order[index]; }

 private:
  bool InRange(int index) const { return index >= 0 && index < GetCount(); }
  CLabelEntry& NewEntry();
  std::string_view StoreText(std::string_view bytes);

  // A check of a large file adds hundreds of thousands of entries. They are
  // made in blocks that never move; growing the list grows only m_order,
  // the entries' addresses in list order, and Sort reorders only that.
  std::vector<CLabelEntry*> m_order;
  std::vector<std::vector<CLabelEntry>> m_entryBlocks;
  // The entries' bytes, packed into blocks in the order they were added
  // instead of one allocation per string.
  std::vector<std::unique_ptr<char[]>> m_textBlocks;
  char* m_textFree = nullptr;
  std::size_t m_textRoom = 0;
  // The line texts of the entries that have their own (ownLineText).
  std::unordered_map<const CLabelEntry*, std::string_view> m_lineTexts;
};

#endif  // VELTRANE_CHECKER_LABEL_LIST_H_
