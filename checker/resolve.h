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

#endif  // VELTRANE_CHECKER_RESOLVE_H_
