#include "checker/resolve.h"

std::vector<int> ResolveReferences(CLabelList& definitions, CLabelList& references,
                                   const CDefinitionIndex& index) {
  std::vector<int> resolution(static_cast<std::size_t>(references.GetCount()), -1);
  for (int i = 0; i < references.GetCount(); ++i) {
    const CLabelEntry& entry = references.At(i);
    const int match = index.Find(entry.name, entry.kind);
    if (match < 0) continue;
    resolution[static_cast<std::size_t>(i)] = match;
    references.MarkUsed(i);
    definitions.MarkUsed(match);
  }
  return resolution;
}
