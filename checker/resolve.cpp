#include "checker/resolve.h"

#include <cstdint>
#include <functional>
#include <string_view>

namespace {

// The first definition in sorted order of each (name, kind), found by hash:
// open addressing over a power-of-two table of definition indices, each slot
// with its hash so that most probes compare no bytes.
class FirstDefinitionIndex {
 public:
  explicit FirstDefinitionIndex(const CLabelList& definitions) : m_definitions(definitions) {
    std::size_t size = 16;
    while (size < 2 * static_cast<std::size_t>(definitions.GetCount())) size *= 2;
    m_slots.assign(size, Slot{});
    m_mask = size - 1;
    // In sorted order, so that the first of equal (name, kind) takes the
    // slot; a later one can never be matched.
    for (int j = 0; j < definitions.GetCount(); ++j) {
      const CLabelEntry& entry = definitions.At(j);
      const std::size_t hash = Hash(entry.name, entry.kind);
      Slot& slot = m_slots[SlotOf(entry.name, entry.kind, hash)];
      if (slot.index < 0) slot = Slot{static_cast<std::uint32_t>(hash), j};
    }
  }

  // The index of the matching definition, or -1.
  int Find(std::string_view name, int kind) const {
    return m_slots[SlotOf(name, kind, Hash(name, kind))].index;
  }

 private:
  struct Slot {
    std::uint32_t hash = 0;  // the low bits of the entry's hash
    int index = -1;
  };

  static std::size_t Hash(std::string_view name, int kind) {
    return std::hash<std::string_view>()(name) ^
           (static_cast<std::size_t>(kind) * 0x9e3779b97f4a7c15ULL);
  }

  // The position of the slot that holds (name, kind), or of the empty slot
  // where it belongs. The table is never more than half full.
  std::size_t SlotOf(std::string_view name, int kind, std::size_t hash) const {
    for (std::size_t i = hash & m_mask;; i = (i + 1) & m_mask) {
      const Slot& slot = m_slots[i];
      if (slot.index < 0) return i;
      if (slot.hash == static_cast<std::uint32_t>(hash)) {
        const CLabelEntry& entry = m_definitions.At(slot.index);
        if (entry.kind == kind && entry.name == name) return i;
      }
    }
  }

  const CLabelList& m_definitions;
  std::vector<Slot> m_slots;
  std::size_t m_mask = 0;
};

}  // namespace

std::vector<int> ResolveReferences(CLabelList& definitions, CLabelList& references) {
  const FirstDefinitionIndex first(definitions);
  for (int j = 0; j < definitions.GetCount(); ++j) {
    const CLabelEntry& entry = definitions.At(j);
    if (first.Find(entry.name, entry.kind) != j) definitions.MarkShadowed(j);
  }
  std::vector<int> resolution(static_cast<std::size_t>(references.GetCount()), -1);
  for (int i = 0; i < references.GetCount(); ++i) {
    const CLabelEntry& entry = references.At(i);
    const int match = first.Find(entry.name, entry.kind);
    if (match < 0) continue;
    resolution[static_cast<std::size_t>(i)] = match;
    references.MarkUsed(i);
    definitions.MarkUsed(match);
  }
  return resolution;
}

