#include "checker/definition_index.h"

#include <algorithm>
#include <cstdint>
#include <functional>

#include "checker/both_at_once.h"

namespace {

// Below this many definitions, a second thread costs more than it saves.
constexpr std::size_t kIndexInHalvesFrom = 1 << 16;

// The half of the table that holds a hash: bit 31, which the slots keep.
std::size_t HalfOf(std::size_t hash) { return hash >> 31 & 1; }

}  // namespace

CDefinitionIndex::CDefinitionIndex(CLabelList& definitions) : m_definitions(definitions) {
  const auto count = static_cast<std::size_t>(definitions.GetCount());
  // Each half of the table holds the names whose hash has bit 31 set or
  // not, so that two threads can fill one half each. Hashing, the larger
  // part of the work, is split by definitions first; the 32 bits a slot
  // keeps are all that is kept of each hash.
  std::vector<std::uint32_t> hashes(count);
  RunInHalves(count, kIndexInHalvesFrom, [&](std::size_t begin, std::size_t end) {
    for (std::size_t j = begin; j < end; ++j) {
      const CLabelEntry& entry = definitions.At(static_cast<int>(j));
      hashes[j] = static_cast<std::uint32_t>(Hash(entry.name, entry.kind));
    }
  });
  std::size_t inUpper = 0;
  for (const std::uint32_t hash : hashes) inUpper += HalfOf(hash);
  // Both halves the same size, each at most three quarters full, so that
  // probes stay short.
  std::size_t size = 16;
  while (size * 3 < 4 * std::max(inUpper, count - inUpper)) size *= 2;
  m_slots.assign(2 * size, Slot{});
  m_mask = size - 1;
  // In sorted order, so that the first of equal (name, kind) takes the
  // slot; a later one can never be matched. Each half's definitions are
  // marked by its own thread.
  const auto fill = [&](std::size_t half) {
    for (std::size_t j = 0; j < count; ++j) {
      const std::size_t hash = hashes[j];
      if (HalfOf(hash) != half) continue;
      const CLabelEntry& entry = definitions.At(static_cast<int>(j));
      Slot& slot = m_slots[SlotOf(entry.name, entry.kind, hash)];
      if (slot.index < 0)
        slot = Slot{static_cast<std::uint32_t>(hash), static_cast<int>(j)};
      else
        definitions.MarkShadowed(static_cast<int>(j));
    }
  };
  RunBothAtOnceIf(count >= kIndexInHalvesFrom, [&] { fill(0); }, [&] { fill(1); });
}

int CDefinitionIndex::Find(std::string_view name, int kind) const {
  return m_slots[SlotOf(name, kind, Hash(name, kind))].index;
}

std::size_t CDefinitionIndex::Hash(std::string_view name, int kind) {
  return std::hash<std::string_view>()(name) ^
         (static_cast<std::size_t>(kind) * 0x9e3779b97f4a7c15ULL);
}

std::size_t CDefinitionIndex::SlotOf(std::string_view name, int kind, std::size_t hash) const {
  const std::size_t half = HalfOf(hash) * (m_mask + 1);
  for (std::size_t i = hash & m_mask;; i = (i + 1) & m_mask) {
    const Slot& slot = m_slots[half + i];
    if (slot.index < 0) return half + i;
    if (slot.hash == static_cast<std::uint32_t>(hash)) {
      const CLabelEntry& entry = m_definitions.At(slot.index);
      if (entry.kind == kind && entry.name == name) return half + i;
    }
  }
}
