#include "checker/definition_index.h"

#include <functional>

CDefinitionIndex::CDefinitionIndex(CLabelList& definitions) : m_definitions(definitions) {
  // At most three quarters full, so that probes stay short.
  std::size_t size = 16;
  while (size * 3 < 4 * static_cast<std::size_t>(definitions.GetCount())) size *= 2;
  m_slots.assign(size, Slot{});
  m_mask = size - 1;
  // In sorted order, so that the first of equal (name, kind) takes the
  // slot; a later one can never be matched.
  for (int j = 0; j < definitions.GetCount(); ++j) {
    const CLabelEntry& entry = definitions.At(j);
    const std::size_t hash = Hash(entry.name, entry.kind);
    Slot& slot = m_slots[SlotOf(entry.name, entry.kind, hash)];
    if (slot.index < 0)
      slot = Slot{static_cast<std::uint32_t>(hash), j};
    else
      definitions.MarkShadowed(j);
  }
}

int CDefinitionIndex::Find(std::string_view name, int kind) const {
  return m_slots[SlotOf(name, kind, Hash(name, kind))].index;
}

std::size_t CDefinitionIndex::Hash(std::string_view name, int kind) {
  return std::hash<std::string_view>()(name) ^
         (static_cast<std::size_t>(kind) * 0x9e3779b97f4a7c15ULL);
}

std::size_t CDefinitionIndex::SlotOf(std::string_view name, int kind, std::size_t hash) const {
  for (std::size_t i = hash & m_mask;; i = (i + 1) & m_mask) {
    const Slot& slot = m_slots[i];
    if (slot.index < 0) return i;
    if (slot.hash == static_cast<std::uint32_t>(hash)) {
      const CLabelEntry& entry = m_definitions.At(slot.index);
      if (entry.kind == kind && entry.name == name) return i;
    }
  }
}
