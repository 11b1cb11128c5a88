#include "checker/resolve.h"

#include "checker/both_at_once.h"

namespace {

// Below this many references, a second thread costs more than it saves.
constexpr int kResolveInHalvesFrom = 1 << 16;

}  // namespace

std::vector<int> ResolveReferences(CLabelList& definitions, CLabelList& references,
                                   const CDefinitionIndex& index) {
  std::vector<int> resolution(static_cast<std::size_t>(references.GetCount()), -1);
  // Each reference is looked up on its own, so the references can be split
  // between two threads; the definitions they match, which both may share,
  // are marked afterwards on one.
  const auto resolve = [&](int begin, int end) {
    for (int i = begin; i < end; ++i) {
      const CLabelEntry& entry = references.At(i);
      const int match = index.Find(entry.name, entry.kind);
      if (match < 0) continue;
      resolution[static_cast<std::size_t>(i)] = match;
      references.MarkUsed(i);
    }
  };
  const int count = references.GetCount();
  if (count < kResolveInHalvesFrom) {
    resolve(0, count);
  } else {
    RunBothAtOnce([&] { resolve(0, count / 2); }, [&] { resolve(count / 2, count); });
  }
  for (const int match : resolution)
    if (match >= 0) definitions.MarkUsed(match);
  return resolution;
}
