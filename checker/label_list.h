// The one container of the checking engine: the labels a check run finds,
// addressed by a zero-based index.
#ifndef VELTRANE_CHECKER_LABEL_LIST_H_
#define VELTRANE_CHECKER_LABEL_LIST_H_

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "checker/finding.h"
#include "platform/code_page.h"

// One occurrence of a label: a definition ("[Name]") or a reference
// ("Key=Name"). Its strings are views into the text store of the list that
// holds it, so an entry is only ever used through its list.
struct CLabelEntry {
  CLabelEntry() = default;
  CLabelEntry(const CLabelEntry&) = default;
  CLabelEntry(CLabelEntry&&) noexcept = default;
  CLabelEntry& operator=(const CLabelEntry&) = default;
  CLabelEntry& operator=(CLabelEntry&&) noexcept = default;
  virtual ~CLabelEntry() = default;

  std::string_view name;  // the label, without brackets or key
  int line = -1;          // 1-based number of the piece it was found in
  std::string_view text;  // the piece as read, with its "\n" if it had one
  int kind = 0;           // the SectionKind it belongs to
  bool used = false;      // matched by a reference, or pre-marked
  // A definition after the first of its name and kind in sorted order:
  // no reference can ever match it.
  bool shadowed = false;
  // A label line without "]", whose name is therefore empty.
  bool unclosed = false;
  CPlace place;           // where the name stands in the file
};

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

  // Sets where the entry's name stands, `place` without its line text,
  // which is `lineText`: the whole line, without its end. The name's range
  // is clamped to it. When `lineText` lies within `piece`, the bytes the
  // entry was added with, the entry's own copy of them serves.
  void SetPlace(int index, CPlace place, std::string_view lineText,
                std::string_view piece = {});
  // Marks a label line that has no "]".
  void MarkUnclosed(int index);
  // Marks a definition after the first of its name and kind.
  void MarkShadowed(int index);

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
};

#endif  // VELTRANE_CHECKER_LABEL_LIST_H_
