#include "checker/resolve.h"

#include "checker/both_at_once.h"

namespace {

// Below this many references, a second thread costs more than it saves.
constexpr std::size_t kResolveInHalvesFrom = 1 << 16;

}  // namespace

std::vector<int> ResolveReferences(CLabelList& definitions, CLabelList& references,
                                   const CDefinitionIndex& index) {
  std::vector<int> resolution(static_cast<std::size_t>(references.GetCount()), -1);
  // Each reference is looked up on its own, so the references can be split
  // between two threads; the definitions they match, which both may share,
  // are marked afterwards on one.
  const auto resolve = [&](std::size_t begin, std::size_t end) {
    for (int i = static_cast<int>(begin); i < static_cast<int>(end); ++i) {
      const CLabelEntry& entry = references.At(i);
      const int match = index.Find(entry.name, entry.kind);
      if (match < 0) continue;
      resolution[static_cast<std::size_t>(i)] = match;
      references.MarkUsed(i);
    }
  };
  RunInHalves(static_cast<std::size_t>(references.GetCount()), kResolveInHalvesFrom, resolve);
  for (const int match : resolution)
    if (match >= 0) definitions.MarkUsed(match);
  return resolution;
}

CUses IndexUses(const std::vector<int>& resolution, int definitions) {
  CUses index;
  index.starts.assign(static_cast<std::size_t>(definitions) + 1, 0);
  for (const int target : resolution)
    if (target >= 0 && target < definitions) ++index.starts[static_cast<std::size_t>(target) + 1];
  for (int d = 0; d < definitions; ++d)
    index.starts[static_cast<std::size_t>(d) + 1] += index.starts[static_cast<std::size_t>(d)];
  index.uses.resize(static_cast<std::size_t>(index.starts.back()));
  std::vector<int> next(index.starts.begin(), index.starts.end() - 1);
  for (int r = 0; r < static_cast<int>(resolution.size()); ++r) {
    const int target = resolution[static_cast<std::size_t>(r)];
    if (target >= 0 && target < definitions)
      index.uses[static_cast<std::size_t>(next[static_cast<std::size_t>(target)]++)] = r;
  }
  return index;
}
