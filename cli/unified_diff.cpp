#include "cli/unified_diff.h"

#include <algorithm>
#include <vector>

#include "checker/line_diff.h"

namespace {

constexpr std::size_t kContext = 3;

// "START,COUNT" as a hunk header gives a range of lines: COUNT left out
// when it is 1, and an empty range named by the line before it.
std::string Range(std::size_t begin, std::size_t end) {
  const std::size_t count = end - begin;
  if (count == 1) return std::to_string(begin + 1);
  return std::to_string(count == 0 ? begin : begin + 1) + "," + std::to_string(count);
}

void AddLine(std::string& out, char mark, std::string_view line) {
  out.push_back(mark);
  out.append(line);
  if (!line.ends_with('\n')) out.append("\n\\ No newline at end of file\n");
}

}  // namespace

std::string UnifiedDiff(std::string_view name, std::string_view before, std::string_view after) {
  const std::vector<std::string_view> a = SplitLines(before);
  const std::vector<std::string_view> b = SplitLines(after);
  const std::vector<CLineChange> changes = DiffLines(a, b);
  if (changes.empty()) return {};
  std::string out = "--- " + std::string(name) + "\n+++ " + std::string(name) + "\n";
  // Changes whose contexts meet or overlap share one hunk.
  for (std::size_t first = 0; first < changes.size();) {
    std::size_t last = first;
    while (last + 1 < changes.size() &&
           changes[last + 1].oldBegin - changes[last].oldEnd <= 2 * kContext)
      ++last;
    const std::size_t oldBegin = changes[first].oldBegin - std::min(kContext, changes[first].oldBegin);
    const std::size_t newBegin = changes[first].newBegin - (changes[first].oldBegin - oldBegin);
    const std::size_t oldEnd = std::min(a.size(), changes[last].oldEnd + kContext);
    const std::size_t newEnd = changes[last].newEnd + (oldEnd - changes[last].oldEnd);
    out += "@@ -" + Range(oldBegin, oldEnd) + " +" + Range(newBegin, newEnd) + " @@\n";
    std::size_t line = oldBegin;
    for (std::size_t c = first; c <= last; ++c) {
      for (; line < changes[c].oldBegin; ++line) AddLine(out, ' ', a[line]);
      for (std::size_t i = changes[c].oldBegin; i < changes[c].oldEnd; ++i) AddLine(out, '-', a[i]);
      for (std::size_t i = changes[c].newBegin; i < changes[c].newEnd; ++i) AddLine(out, '+', b[i]);
      line = changes[c].oldEnd;
    }
    for (; line < oldEnd; ++line) AddLine(out, ' ', a[line]);
    first = last + 1;
  }
  return out;
}
