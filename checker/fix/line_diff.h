// Which lines of one text became which lines of another: what a unified
// diff shows and what an editor's edit replaces.
#ifndef VELTRANE_CHECKER_LINE_DIFF_H_
#define VELTRANE_CHECKER_LINE_DIFF_H_

#include <cstddef>
#include <string_view>
#include <vector>

// The lines of `text`, each with the LF that ends it; the last one lacks it
// when the text does not end with LF. A CR is an ordinary byte here, as
// line-based tools read it.
std::vector<std::string_view> SplitLines(std::string_view text);

// Old lines [oldBegin, oldEnd) replaced by new lines [newBegin, newEnd),
// 0-based; either run may be empty.
struct CLineChange {
  std::size_t oldBegin = 0;
  std::size_t oldEnd = 0;
  std::size_t newBegin = 0;
  std::size_t newEnd = 0;
};

// How many entries (four bytes each) the search for a shortest script may
// keep: 16 MB.
inline constexpr std::size_t kMaxDiffTrace = std::size_t{4} << 20;

// The changes that turn `before` into `after`, in order, separated by
// unchanged lines: a shortest edit script, found greedily. Past a very large
// number of differences (a search longer than `maxTrace` entries), the lines
// found once on either side, in the same order, split the rest into parts
// searched on their own; a part whose search is too long still becomes one
// change, rather than the memory a shortest script would take.
std::vector<CLineChange> DiffLines(const std::vector<std::string_view>& before,
                                   const std::vector<std::string_view>& after,
                                   std::size_t maxTrace = kMaxDiffTrace);

#endif  // VELTRANE_CHECKER_LINE_DIFF_H_
