// What fixing reads of a check: how many findings of each rule it reports,
// and of each reported finding with a fix (and of each idle suppression)
// its rule, its line and its fix, in the order reported. A check made for
// fixing keeps most of its line rules' findings only so: a file with very
// many fixes then costs some dozens of bytes for each, not a finding's
// hundreds with its message.
#ifndef VELTRANE_CHECKER_FIX_FINDINGS_H_
#define VELTRANE_CHECKER_FIX_FINDINGS_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <list>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "checker/finding.h"

// An edit whose text lives elsewhere.
struct CEditView {
  std::uint64_t begin = 0;
  std::uint64_t end = 0;
  std::string_view text;
};

// Bytes kept in large blocks that never move: views of them stay good as
// more are kept, and each piece costs its bytes alone.
class CTextArena {
 public:
  // Keeps a copy of `text` and returns a view of it.
  std::string_view Keep(std::string_view text);
  // Takes over the blocks of `other`, whose views stay good.
  void Splice(CTextArena& other);

 private:
  std::list<std::string> m_blocks;
};

class CFixFindings {
 public:
  struct CEntry {
    FindingKind kind = FindingKind::unused;
    // Where the finding stands, for the order of the findings.
    int line = 0;
    std::uint32_t begin = 0;
    std::uint32_t editCount : 31 = 0;
    std::uint32_t safe : 1 = 1;
    std::string_view lineText;        // held by the check's result
    const std::string* title = nullptr;  // held here; null without a fix
    const CEditView* edits = nullptr;    // held here, one after another

    bool HasFix() const { return title != nullptr; }
  };

  // Keeps a reported finding that a check let go of before it knew the
  // order of its findings: its line text must live as long as this, its
  // fix is copied. The findings folded stand, in the order of the check's
  // findings, after each other and before those Merge is given.
  void Fold(const CFinding& finding);
  // Moves the folded findings of `later`, which stand after these in the
  // order of the findings, behind them.
  void Append(CFixFindings&& later);
  // Numbers the lines of the folded findings `lines` later.
  void ShiftLines(int lines);
  // Adds `reported`, a check's other reported findings in the order
  // reported, and puts the folded ones among them in that order: by place,
  // then rule.
  void Merge(const std::vector<const CFinding*>& reported);

  int Count(FindingKind kind) const { return m_counts[static_cast<std::size_t>(kind)]; }
  // The findings kept, in the order reported (after Merge).
  std::size_t Size() const { return m_order.size(); }
  const CEntry& operator[](std::size_t i) const { return m_entries[m_order[i]]; }

 private:
  // Counts `finding` and keeps what fixing reads of it, if anything.
  bool Add(const CFinding& finding);

  std::array<int, kFindingKindCount> m_counts{};
  // Appended to without moving what they hold, and without the room a
  // vector keeps to grow into.
  std::deque<CEntry> m_entries;        // the folded first, then Merge's
  std::vector<std::uint32_t> m_order;  // indices in m_entries, in the order reported
  std::list<std::vector<CEditView>> m_edits;  // blocks, each filled up to what it reserved
  std::size_t m_folded = 0;  // entries added by Fold
  CTextArena m_texts;
  std::unordered_set<std::string> m_titles;  // few, shared by many fixes
};

#endif  // VELTRANE_CHECKER_FIX_FINDINGS_H_
