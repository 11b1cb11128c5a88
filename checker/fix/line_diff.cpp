// The lines two texts differ in, as the unified diff and the editor's
// edits show them.
#include "checker/fix/line_diff.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <unordered_map>

namespace {


// The search of a shortest edit script over lines numbered by content.
// trace[d] holds, for each diagonal k in [-d, d], the furthest x reached
// with d differences; walking it back gives the script.
class CShortestScript {
 public:
  CShortestScript(const std::vector<int>& a, const std::vector<int>& b, std::size_t maxTrace)
      : m_a(a), m_b(b), m_maxTrace(maxTrace) {}

  // Appends the changes, with `oldBase` and `newBase` added to their lines;
  // false when the search ran out of room.
  bool Find(std::size_t oldBase, std::size_t newBase, std::vector<CLineChange>& changes) {
    const long n = static_cast<long>(m_a.size());
    const long m = static_cast<long>(m_b.size());
    // Kept in four bytes an entry: x counts lines of a check's file, which
    // an int counts.
    std::vector<std::vector<std::int32_t>> trace;
    std::size_t kept = 0;
    std::vector<std::int32_t> previous;
    for (long d = 0;; ++d) {
      std::vector<std::int32_t> v(static_cast<std::size_t>(2 * d + 1));
      for (long k = -d; k <= d; k += 2) {
        long x;
        if (k == -d || (k != d && At(previous, d - 1, k - 1) < At(previous, d - 1, k + 1)))
          x = At(previous, d - 1, k + 1);
        else
          x = At(previous, d - 1, k - 1) + 1;
        long y = x - k;
        while (x < n && y < m && m_a[static_cast<std::size_t>(x)] == m_b[static_cast<std::size_t>(y)]) {
          ++x;
          ++y;
        }
        v[static_cast<std::size_t>(k + d)] = static_cast<std::int32_t>(x);
        if (x >= n && y >= m) {
          trace.push_back(std::move(v));
          WalkBack(trace, n, m, oldBase, newBase, changes);
          return true;
        }
      }
      kept += v.size();
      if (kept > m_maxTrace) return false;
      previous = v;
      trace.push_back(std::move(v));
    }
  }

 private:
  // x on diagonal k after d differences; d < 0 is the start.
  static long At(const std::vector<std::int32_t>& v, long d, long k) {
    if (d < 0) return 0;
    return v[static_cast<std::size_t>(k + d)];
  }

  void WalkBack(const std::vector<std::vector<std::int32_t>>& trace, long x, long y, std::size_t oldBase,
                std::size_t newBase, std::vector<CLineChange>& changes) const {
    // Each step back is one line deleted or inserted; runs of them are one
    // change. Collected from the end, then turned round.
    std::vector<CLineChange> backwards;
    auto add = [&](long oldLine, long newLine, bool deleted) {
      const std::size_t o = oldBase + static_cast<std::size_t>(oldLine);
      const std::size_t nw = newBase + static_cast<std::size_t>(newLine);
      if (!backwards.empty()) {
        CLineChange& last = backwards.back();
        // Extends the change just found when it starts where this one ends.
        if (deleted && last.oldBegin == o + 1 && last.newBegin == nw) {
          last.oldBegin = o;
          return;
        }
        if (!deleted && last.oldBegin == o && last.newBegin == nw + 1) {
          last.newBegin = nw;
          return;
        }
      }
      backwards.push_back(deleted ? CLineChange{o, o + 1, nw, nw} : CLineChange{o, o, nw, nw + 1});
    };
    for (long d = static_cast<long>(trace.size()) - 1; d > 0; --d) {
      const std::vector<std::int32_t>& v = trace[static_cast<std::size_t>(d - 1)];
      const long k = x - y;
      const bool down = k == -d || (k != d && At(v, d - 1, k - 1) < At(v, d - 1, k + 1));
      const long previousK = down ? k + 1 : k - 1;
      const long previousX = At(v, d - 1, previousK);
      const long previousY = previousX - previousK;
      if (down)
        add(previousX, previousY, false);
      else
        add(previousX, previousY, true);
      x = previousX;
      y = previousY;
    }
    changes.insert(changes.end(), backwards.rbegin(), backwards.rend());
  }

  const std::vector<int>& m_a;
  const std::vector<int>& m_b;
  std::size_t m_maxTrace;
};

// The changes between a[aBegin, aEnd) and b[bBegin, bEnd): the shortest
// script where the search fits in `maxTrace`, else the whole part as one
// change.
void DiffPart(const std::vector<int>& a, std::size_t aBegin, std::size_t aEnd,
              const std::vector<int>& b, std::size_t bBegin, std::size_t bEnd, std::size_t base,
              std::size_t maxTrace, std::vector<CLineChange>& changes) {
  while (aBegin < aEnd && bBegin < bEnd && a[aBegin] == b[bBegin]) ++aBegin, ++bBegin;
  while (aBegin < aEnd && bBegin < bEnd && a[aEnd - 1] == b[bEnd - 1]) --aEnd, --bEnd;
  if (aBegin == aEnd && bBegin == bEnd) return;
  const CLineChange whole{base + aBegin, base + aEnd, base + bBegin, base + bEnd};
  if (aBegin == aEnd || bBegin == bEnd) {
    changes.push_back(whole);
    return;
  }
  const std::vector<int> partA(a.begin() + static_cast<std::ptrdiff_t>(aBegin),
                               a.begin() + static_cast<std::ptrdiff_t>(aEnd));
  const std::vector<int> partB(b.begin() + static_cast<std::ptrdiff_t>(bBegin),
                               b.begin() + static_cast<std::ptrdiff_t>(bEnd));
  const std::size_t before = changes.size();
  if (!CShortestScript(partA, partB, maxTrace).Find(base + aBegin, base + bBegin, changes)) {
    changes.resize(before);
    changes.push_back(whole);
  }
}

// Where the shortest script takes too much room (very many changes, as
// when hundreds of thousands of fixes are applied): the lines that occur
// once on either side, in the longest run both sides have in the same
// order, stay as they are and split the rest into parts, each searched on
// its own. Not always the shortest script, but one of small hunks, found in
// room that grows with the lines, not with the changes.
void AnchoredDiff(const std::vector<int>& a, const std::vector<int>& b, std::size_t numbers,
                  std::size_t base, std::size_t maxTrace, std::vector<CLineChange>& changes) {
  std::vector<std::uint8_t> inA(numbers, 0);
  std::vector<std::uint8_t> inB(numbers, 0);
  std::vector<std::size_t> whereInB(numbers, 0);
  for (const int n : a) {
    std::uint8_t& count = inA[static_cast<std::size_t>(n)];
    count = static_cast<std::uint8_t>(std::min(count + 1, 2));
  }
  for (std::size_t j = 0; j < b.size(); ++j) {
    const auto n = static_cast<std::size_t>(b[j]);
    inB[n] = static_cast<std::uint8_t>(std::min(inB[n] + 1, 2));
    whereInB[n] = j;
  }
  // The lines of both once, by their place in `a`; then the longest run
  // whose places in `b` grow (patience: the smallest last place of a run of
  // each length, and each line's predecessor).
  std::vector<std::pair<std::size_t, std::size_t>> once;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto n = static_cast<std::size_t>(a[i]);
    if (inA[n] == 1 && inB[n] == 1) once.emplace_back(i, whereInB[n]);
  }
  std::vector<std::size_t> tails;  // indices into `once`
  std::vector<std::size_t> previous(once.size(), SIZE_MAX);
  for (std::size_t k = 0; k < once.size(); ++k) {
    const auto at = std::lower_bound(tails.begin(), tails.end(), once[k].second,
                                     [&](std::size_t t, std::size_t j) { return once[t].second < j; });
    if (at != tails.begin()) previous[k] = *(at - 1);
    if (at == tails.end()) tails.push_back(k);
    else *at = k;
  }
  std::vector<std::pair<std::size_t, std::size_t>> anchors;
  for (std::size_t k = tails.empty() ? SIZE_MAX : tails.back(); k != SIZE_MAX; k = previous[k])
    anchors.push_back(once[k]);
  std::reverse(anchors.begin(), anchors.end());
  std::size_t aAt = 0;
  std::size_t bAt = 0;
  for (const auto& [i, j] : anchors) {
    DiffPart(a, aAt, i, b, bAt, j, base, maxTrace, changes);
    aAt = i + 1;
    bAt = j + 1;
  }
  DiffPart(a, aAt, a.size(), b, bAt, b.size(), base, maxTrace, changes);
}

}  // namespace

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  // As many as there are, without the room a growing vector keeps spare.
  lines.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
  while (!text.empty()) {
    const std::size_t lf = text.find('\n');
    const std::size_t length = lf == std::string_view::npos ? text.size() : lf + 1;
    lines.push_back(text.substr(0, length));
    text.remove_prefix(length);
  }
  return lines;
}

std::vector<CLineChange> DiffLines(const std::vector<std::string_view>& before,
                                   const std::vector<std::string_view>& after,
                                   std::size_t maxTrace) {
  std::size_t head = 0;
  while (head < before.size() && head < after.size() && before[head] == after[head]) ++head;
  std::size_t tail = 0;
  while (tail < before.size() - head && tail < after.size() - head &&
         before[before.size() - 1 - tail] == after[after.size() - 1 - tail])
    ++tail;
  std::vector<CLineChange> changes;
  if (head + tail == before.size() && head + tail == after.size()) return changes;

  // Lines as numbers, equal lines the same number, so that comparing them
  // costs nothing.
  std::unordered_map<std::string_view, int> numbers;
  auto number = [&](const std::vector<std::string_view>& lines) {
    std::vector<int> out;
    out.reserve(lines.size() - head - tail);
    for (std::size_t i = head; i < lines.size() - tail; ++i)
      out.push_back(numbers.emplace(lines[i], static_cast<int>(numbers.size())).first->second);
    return out;
  };
  const std::vector<int> a = number(before);
  const std::vector<int> b = number(after);
  CShortestScript script(a, b, maxTrace);
  if (!script.Find(head, head, changes)) {
    changes.clear();
    AnchoredDiff(a, b, numbers.size(), head, maxTrace, changes);
  }
  return changes;
}
