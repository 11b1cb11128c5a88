// Which definition each reference names.
#ifndef VELTRANE_CHECKER_RESOLVE_H_
#define VELTRANE_CHECKER_RESOLVE_H_

#include <vector>

#include "checker/label_list.h"

// Marks every reference that names a definition of its own kind, and that
// definition, as used. A reference matches the first definition in sorted
// order with an equal name and kind; every later one of that name and kind
// is marked shadowed, since nothing can ever match it. Returns, for each
// reference in order, the index of the definition it matched, or -1.
// REQUIRES: `definitions` is sorted by name.
std::vector<int> ResolveReferences(CLabelList& definitions, CLabelList& references);

#endif  // VELTRANE_CHECKER_RESOLVE_H_
