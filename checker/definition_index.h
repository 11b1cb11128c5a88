// The one answer to "which definition does a name of a section resolve
// to": the first definition of that name and kind in sorted order. The
// check resolves references with it, the notes look for a list of the same
// name in another section with it, and the language server finds the list
// a rename would collide with.
#ifndef VELTRANE_CHECKER_DEFINITION_INDEX_H_
#define VELTRANE_CHECKER_DEFINITION_INDEX_H_

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "checker/label_list.h"

// Open addressing over a table of definition indices in two halves of a
// power of two each, chosen by bit 31 of a name's hash; each slot keeps
// the low 32 bits of its hash so that most probes compare no bytes.
class CDefinitionIndex {
 public:
  // Indexes `definitions` and marks every definition after the first of
  // its name and kind shadowed, since nothing can ever resolve to it.
  // REQUIRES: `definitions` is sorted by name and outlives the index.
  explicit CDefinitionIndex(CLabelList& definitions);

  // The index of the first definition of `name` under `kind`, or -1.
  int Find(std::string_view name, int kind) const;

 private:
  struct Slot {
    std::uint32_t hash = 0;  // the low bits of the entry's hash
    int index = -1;
  };

  static std::size_t Hash(std::string_view name, int kind);
  // The position of the slot that holds (name, kind), or of the empty slot
  // where it belongs, in the half of its hash. Neither half is ever more
  // than three quarters full.
  std::size_t SlotOf(std::string_view name, int kind, std::size_t hash) const;

  const CLabelList& m_definitions;
  std::vector<Slot> m_slots;
  std::size_t m_mask = 0;  // a half's size less 1
};

#endif  // VELTRANE_CHECKER_DEFINITION_INDEX_H_
