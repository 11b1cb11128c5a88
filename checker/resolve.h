// Which definition each reference names.
#ifndef VELTRANE_CHECKER_RESOLVE_H_
#define VELTRANE_CHECKER_RESOLVE_H_

#include <vector>

#include "checker/definition_index.h"
#include "checker/label_list.h"

// Marks every reference that names a definition of its own kind, and that
// definition, as used. A reference matches the first definition in sorted
// order with an equal name and kind, as `index` finds it. Returns, for each
// reference in order, the index of the definition it matched, or -1.
// REQUIRES: `index` was made of `definitions`.
std::vector<int> ResolveReferences(CLabelList& definitions, CLabelList& references,
                                   const CDefinitionIndex& index);

// The references that resolve to each definition, in file order: those of
// definition d are uses[starts[d]] up to uses[starts[d + 1]].
struct CUses {
  std::vector<int> starts;  // one more than the definitions
  std::vector<int> uses;    // indexes in the references
};

// The uses of `definitions` definitions by a `resolution` as
// ResolveReferences returns it.
CUses IndexUses(const std::vector<int>& resolution, int definitions);

#endif  // VELTRANE_CHECKER_RESOLVE_H_
