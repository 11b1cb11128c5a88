#include "checker/note_finder.h"

#include <algorithm>
#include <tuple>

#include "checker/edit_distance.h"

namespace {

// A name is split into this many parts for the close-name index. Each edit
// touches at most one part, a transposition at most two, so with at most
// two edits at least one of five parts stays as it was.
constexpr int kParts = 5;

int DistanceLimit(std::string_view referenceName) {
  return referenceName.size() <= 6 ? 1 : 2;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

char FoldCase(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// FNV-1a, continued from `hash`.
std::uint64_t HashBytes(std::string_view bytes, std::uint64_t hash) {
  for (const char c : bytes) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x100000001b3ULL;
  }
  return hash;
}

std::uint64_t HashNumbers(std::initializer_list<std::uint64_t> numbers) {
  std::uint64_t hash = 0xcbf29ce484222325ULL;
  for (const std::uint64_t n : numbers) {
    hash ^= n;
    hash *= 0x100000001b3ULL;
    hash ^= hash >> 29;
  }
  return hash;
}

std::uint64_t FoldedKey(std::string_view name, int kind) {
  std::uint64_t hash = HashNumbers({static_cast<std::uint64_t>(kind)});
  for (const char c : name) {
    if (IsBlank(c)) continue;
    const char folded = FoldCase(c);
    hash = HashBytes(std::string_view(&folded, 1), hash);
  }
  return hash;
}

bool FoldedEqual(std::string_view a, std::string_view b) {
  std::size_t i = 0;
  std::size_t j = 0;
  for (;;) {
    while (i < a.size() && IsBlank(a[i])) ++i;
    while (j < b.size() && IsBlank(b[j])) ++j;
    if (i == a.size() || j == b.size()) return i == a.size() && j == b.size();
    if (FoldCase(a[i]) != FoldCase(b[j])) return false;
    ++i;
    ++j;
  }
}

// Where part `part` of a name of `length` bytes starts; part kParts is the
// end of the name.
std::size_t PartStart(std::size_t length, int part) {
  return length * static_cast<std::size_t>(part) / kParts;
}

std::uint64_t PartKey(int kind, std::size_t length, int part, std::string_view bytes) {
  return HashBytes(bytes, HashNumbers({static_cast<std::uint64_t>(kind), length,
                                       static_cast<std::uint64_t>(part)}));
}

}  // namespace

CNoteFinder::CNoteFinder(const CLabelList& definitions, const CLabelList& references)
    : m_definitions(definitions) {
  std::vector<int> wantedKinds;
  for (int i = 0; i < references.GetCount(); ++i) {
    const CLabelEntry& entry = references.At(i);
    if (!entry.used && std::find(wantedKinds.begin(), wantedKinds.end(), entry.kind) ==
                           wantedKinds.end())
      wantedKinds.push_back(entry.kind);
  }
  if (wantedKinds.empty()) return;

  for (int j = 0; j < definitions.GetCount(); ++j) {
    const CLabelEntry& entry = definitions.At(j);
    if (std::find(wantedKinds.begin(), wantedKinds.end(), entry.kind) == wantedKinds.end())
      continue;
    if (!entry.used) {
      auto unused = std::find_if(m_unused.begin(), m_unused.end(),
                                 [&](const Unused& u) { return u.kind == entry.kind; });
      if (unused == m_unused.end())
        m_unused.push_back(Unused{entry.kind, 1, j});
      else
        ++unused->count;
    }
    // A list without a name is no list anyone meant to write.
    if (entry.name.empty()) continue;
    m_folded.emplace_back(FoldedKey(entry.name, entry.kind), j);
    for (int part = 0; part < kParts; ++part) {
      const std::size_t start = PartStart(entry.name.size(), part);
      const std::size_t end = PartStart(entry.name.size(), part + 1);
      m_parts.emplace_back(
          PartKey(entry.kind, entry.name.size(), part, entry.name.substr(start, end - start)),
          j);
    }
  }
  std::sort(m_folded.begin(), m_folded.end());
  std::sort(m_parts.begin(), m_parts.end());
}

std::optional<CNote> CNoteFinder::NoteFor(std::string_view name, int kind) const {
  if (auto note = OtherSection(name, kind)) return note;
  if (auto note = CloseName(name, kind)) return note;
  return OnlyUnused(kind);
}

std::optional<CNote> CNoteFinder::OtherSection(std::string_view name, int kind) const {
  // Binary search over the sorted list: equal names stand together, in the
  // order they were added.
  int low = 0;
  int high = m_definitions.GetCount();
  while (low < high) {
    const int mid = low + (high - low) / 2;
    if (m_definitions.At(mid).name < name)
      low = mid + 1;
    else
      high = mid;
  }
  for (int j = low; j < m_definitions.GetCount() && m_definitions.At(j).name == name; ++j) {
    const CLabelEntry& entry = m_definitions.At(j);
    if (entry.kind != kind)
      return CNote{CNote::Kind::otherSection, entry.name, entry.line, entry.kind, kind};
  }
  return std::nullopt;
}

void CNoteFinder::Lookup(const std::vector<Posting>& postings, std::uint64_t key,
                         std::vector<int>& found) const {
  auto it = std::lower_bound(postings.begin(), postings.end(), Posting{key, -1});
  for (; it != postings.end() && it->first == key; ++it) found.push_back(it->second);
}

std::optional<CNote> CNoteFinder::CloseName(std::string_view name, int kind) const {
  if (name.empty()) return std::nullopt;
  const int limit = DistanceLimit(name);

  std::vector<int> candidates;
  Lookup(m_folded, FoldedKey(name, kind), candidates);
  const std::size_t foldedCount = candidates.size();
  // A part of a candidate stands in the reference shifted by at most as
  // many places as there are insertions and deletions.
  const std::size_t shortest = name.size() > static_cast<std::size_t>(limit)
                                   ? name.size() - static_cast<std::size_t>(limit)
                                   : 1;
  for (std::size_t length = shortest; length <= name.size() + static_cast<std::size_t>(limit);
       ++length) {
    for (int part = 0; part < kParts; ++part) {
      const std::size_t start = PartStart(length, part);
      const std::size_t size = PartStart(length, part + 1) - start;
      for (int shift = -limit; shift <= limit; ++shift) {
        const std::ptrdiff_t at = static_cast<std::ptrdiff_t>(start) + shift;
        if (at < 0 || static_cast<std::size_t>(at) + size > name.size()) continue;
        Lookup(m_parts, PartKey(kind, length, part, name.substr(static_cast<std::size_t>(at), size)),
               candidates);
      }
    }
  }

  // The best is the smallest (used, distance, sorted position); a name that
  // differs only in case and blanks is as close as a name can be.
  std::optional<std::tuple<bool, int, int>> best;
  for (std::size_t c = 0; c < candidates.size(); ++c) {
    const int j = candidates[c];
    const CLabelEntry& entry = m_definitions.At(j);
    if (entry.kind != kind) continue;  // a hash collision
    int distance = limit + 1;
    if (c < foldedCount && FoldedEqual(entry.name, name))
      distance = 0;
    else if (c >= foldedCount)
      distance = BoundedEditDistance(entry.name, name, limit);
    if (distance > limit) continue;
    const std::tuple<bool, int, int> rank{entry.used, distance, j};
    if (!best || rank < *best) best = rank;
  }
  if (!best) return std::nullopt;
  const CLabelEntry& entry = m_definitions.At(std::get<2>(*best));
  return CNote{CNote::Kind::closeName, entry.name, entry.line, entry.kind, kind};
}

std::optional<CNote> CNoteFinder::OnlyUnused(int kind) const {
  for (const Unused& unused : m_unused) {
    if (unused.kind != kind || unused.count != 1) continue;
    const CLabelEntry& entry = m_definitions.At(unused.first);
    return CNote{CNote::Kind::onlyUnused, entry.name, entry.line, entry.kind, kind};
  }
  return std::nullopt;
}
