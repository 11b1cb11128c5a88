// The list a reference not found most likely means, for its note.
#include "checker/notes/note_finder.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <tuple>

#include "checker/blanks.h"
#include "checker/both_at_once.h"
#include "checker/notes/close_name_index.h"
#include "checker/notes/edit_distance.h"
#include "checker/scanner.h"

namespace {

constexpr int kBothTablesAtOnceFrom = 1 << 14;

// REQUIRES: `length` in characters.
int DistanceLimit(std::size_t length) { return length <= 6 ? 1 : 2; }

// `name` with each character (of UTF-8 or a double-byte code page) as one
// byte: ASCII as itself, any other as one of the bytes 0x80-0xFF, so that
// equal characters stay equal.
std::string OneBytePerCharacter(std::string_view name, const CCodePage& codePage) {
  std::string out;
  for (const char32_t c : CodePageCharacters(name, codePage))
    out.push_back(static_cast<char>(c < 0x80 ? c : 0x80 | ((c * 0x9E3779B1u) >> 25)));
  return out;
}

char FoldCase(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// FNV-1a of the section and the name with case and blanks left out.
std::uint64_t FoldedKey(std::string_view name, int kind) {
  std::uint64_t hash = 0xcbf29ce484222325ULL ^ static_cast<std::uint32_t>(kind);
  for (const char c : name) {
    if (IsBlank(c)) continue;
    hash = (hash ^ static_cast<unsigned char>(FoldCase(c))) * 0x100000001b3ULL;
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

}  // namespace

CNoteFinder::CNoteFinder(const CLabelList& definitions, const CLabelList& references,
                         const CDefinitionIndex& index, const CCodePage& codePage)
    : m_definitions(definitions), m_index(index), m_codePage(codePage) {
  // Each name not found once, however often it is referred to.
  std::vector<CCloseNameQuery> queries;
  // Names whose characters may take more than one byte are indexed with
  // each character as one byte, so that the distance counts characters.
  const bool wide = HasWideCharacters(m_codePage);
  for (int i = 0; i < references.GetCount(); ++i) {
    const CLabelEntry& entry = references.At(i);
    if (entry.used) continue;
    if (KindSlot(entry.kind) < 0) m_kinds.push_back(entry.kind);
    if (entry.name.empty()) continue;
    if (wide) m_oneByteQueries.push_back(OneBytePerCharacter(entry.name, m_codePage));
    queries.push_back(CCloseNameQuery{entry.name, entry.kind, 0});
  }
  if (m_kinds.empty()) return;
  // Only now: the strings no longer move.
  for (std::size_t i = 0; i < queries.size(); ++i) {
    if (wide) queries[i].name = m_oneByteQueries[i];
    queries[i].limit = DistanceLimit(queries[i].name.size());
  }
  // In the order of the file, which decides who is left out should the
  // index run out of room.
  std::vector<std::size_t> order(queries.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return std::tie(queries[a].kind, queries[a].name) < std::tie(queries[b].kind, queries[b].name);
  });
  std::vector<bool> repeated(queries.size(), false);
  for (std::size_t i = 1; i < order.size(); ++i) {
    const CCloseNameQuery& a = queries[order[i - 1]];
    const CCloseNameQuery& b = queries[order[i]];
    if (a.kind == b.kind && a.name == b.name) repeated[order[i]] = true;
  }
  std::vector<CCloseNameQuery> distinct;
  for (std::size_t i = 0; i < queries.size(); ++i) {
    if (!repeated[i]) distinct.push_back(queries[i]);
  }
  queries.swap(distinct);
  if (wide) {
    m_oneByteNames.reserve(static_cast<std::size_t>(definitions.GetCount()));
    // Only the sections looked in; the index passes over the others.
    for (int j = 0; j < definitions.GetCount(); ++j) {
      const CLabelEntry& entry = definitions.At(j);
      m_oneByteNames.push_back(KindSlot(entry.kind) >= 0
                                   ? OneBytePerCharacter(entry.name, m_codePage)
                                   : std::string());
    }
  }
  const auto closeNames = [&] {
    m_closeNames =
        std::make_unique<CCloseNameIndex>(definitions, queries, wide ? &m_oneByteNames : nullptr);
  };
  const auto folded = [&] {
    m_unused.resize(m_kinds.size());
    for (int j = 0; j < definitions.GetCount(); ++j) {
      const CLabelEntry& entry = definitions.At(j);
      const int slot = KindSlot(entry.kind);
      if (slot < 0 || !Matchable(entry)) continue;
      if (!entry.used) {
        Unused& unused = m_unused[static_cast<std::size_t>(slot)];
        if (unused.count++ == 0) unused.first = j;
        unused.all.push_back(j);
      }
      m_folded.emplace_back(FoldedKey(entry.name, entry.kind), j);
    }
    std::sort(m_folded.begin(), m_folded.end());
  };
  // Two tables of their own, each a pass over every definition: on many
  // definitions they are made at once.
  RunBothAtOnceIf(definitions.GetCount() >= kBothTablesAtOnceFrom, closeNames, folded);
}

int CNoteFinder::KindSlot(int kind) const {
  const auto it = std::find(m_kinds.begin(), m_kinds.end(), kind);
  return it == m_kinds.end() ? -1 : static_cast<int>(it - m_kinds.begin());
}

std::optional<CListHint> CNoteFinder::NoteFor(std::string_view name, int kind) const {
  CScratch scratch;
  return NoteFor(name, kind, scratch);
}

std::optional<CListHint> CNoteFinder::NoteFor(std::string_view name, int kind,
                                              CScratch& scratch) const {
  // The note depends on the name and section alone: one referred to again
  // is looked up once, as long as it stays among the names remembered.
  CScratch::Remembered& remembered =
      scratch.m_remembered[(std::hash<std::string_view>{}(name) ^ static_cast<std::size_t>(kind)) %
                           CScratch::kRemembered];
  if (remembered.held && remembered.kind == kind && remembered.name == name)
    return remembered.note;
  std::optional<CListHint> note = OtherSection(name, kind);
  if (!note) {
    bool undecided = false;
    note = CloseName(name, kind, undecided, scratch.m_index);
    if (!note && !undecided) note = OnlyUnused(kind);
  }
  remembered.held = true;
  remembered.kind = kind;
  remembered.name.assign(name);
  remembered.note = note;
  return note;
}

bool CNoteFinder::Extends(std::string_view name, std::string_view other) {
  // Both with case and blanks left out: whether one starts the other.
  std::string a;
  std::string b;
  for (const char c : name)
    if (!IsBlank(c)) a.push_back(FoldCase(c));
  for (const char c : other)
    if (!IsBlank(c)) b.push_back(FoldCase(c));
  if (a.size() > b.size()) a.swap(b);
  return !a.empty() && b.starts_with(a);
}

std::optional<CListHint> CNoteFinder::OtherSection(std::string_view name, int kind) const {
  // The first in sorted order of the lists of that name under the other
  // sections: each section's is the one its references would resolve to.
  if (name.empty()) return std::nullopt;
  int first = -1;
  for (int other = kNoSection; other <= kInstrumentDefinitions; ++other) {
    if (other == kind) continue;
    const int j = m_index.Find(name, other);
    if (j >= 0 && (first < 0 || j < first)) first = j;
  }
  if (first < 0) return std::nullopt;
  return CListHint{NoteKind::otherSection, first, kind};
}

void CNoteFinder::Lookup(const std::vector<Posting>& postings, std::uint64_t key,
                         std::vector<int>& found) {
  auto it = std::lower_bound(postings.begin(), postings.end(), Posting{key, -1});
  for (; it != postings.end() && it->first == key; ++it) found.push_back(it->second);
}

std::optional<CListHint> CNoteFinder::CloseName(std::string_view name, int kind,
                                                bool& undecided,
                                                CCloseNameIndex::CScratch& scratch) const {
  if (name.empty() || !m_closeNames) return std::nullopt;
  const bool wide = HasWideCharacters(m_codePage);
  const std::string oneByte = wide ? OneBytePerCharacter(name, m_codePage) : std::string();
  const std::string_view indexed = wide ? std::string_view(oneByte) : name;
  const int limit = DistanceLimit(indexed.size());

  // The best is the smallest (used, distance, sorted position); a name that
  // differs only in case and blanks is as close as a name can be. Two
  // lists as close and both used, or both unused, leave the choice open.
  // So the order of the candidates does not matter, and once there is a
  // best, a candidate that cannot come as close, or is used where the best
  // is not, changes nothing: the distance is worked out only as far as it
  // may still matter, and names longer or shorter by more than that are
  // not looked up at all, which on many near names spares most of the work.
  std::optional<std::tuple<bool, int, int>> best;
  bool tied = false;
  // How close a candidate must come to matter, -1 when it cannot.
  const auto reachOf = [&](bool used) {
    if (!best) return limit;
    if (used != std::get<0>(*best)) return used ? -1 : limit;
    return std::get<1>(*best);
  };
  const auto consider = [&](int j, bool folded) {
    const CLabelEntry& entry = m_definitions.At(j);
    // Another section's short name, a hash collision, or a list no
    // reference can reach.
    if (entry.kind != kind || !Matchable(entry)) return;
    const int reach = reachOf(entry.used);
    if (reach < 0) return;
    int distance = reach + 1;
    if (folded) {
      if (FoldedEqual(entry.name, name)) distance = 0;
    } else {
      distance = Distance(entry.name, name, reach);
    }
    if (distance > reach) return;
    const std::tuple<bool, int, int> rank{entry.used, distance, j};
    if (best && std::get<0>(rank) == std::get<0>(*best) && std::get<1>(rank) == std::get<1>(*best) &&
        j != std::get<2>(*best)) {
      tied = true;
      best = std::min(rank, *best);
    } else if (!best || rank < *best) {
      best = rank;
      tied = false;
    }
  };
  // Every name this close has been considered: those that differ only in
  // case and blanks (the very same name among them) at first. Two unused
  // lists as close as any name not yet considered can come leave the
  // choice open whatever else there is, so the look-up stops there.
  int covered = 0;
  const auto settled = [&] {
    return best && tied && !std::get<0>(*best) && std::get<1>(*best) <= covered + 1;
  };
  std::vector<int> candidates;
  Lookup(m_folded, FoldedKey(name, kind), candidates);
  for (const int j : candidates) consider(j, true);
  // The names within 1 first, where the index can look them up apart:
  // when one of them is the best, no name further off matters. And the
  // lengths nearest the name's first: a distance is at least the
  // difference of the lengths in characters, which the index counts.
  const auto lookUp = [&](int within) {
    const CCloseNameQuery query{indexed, kind, within};
    for (int gap = 0; gap <= within && gap <= std::max(reachOf(false), reachOf(true)); ++gap) {
      for (const int grow : {-gap, gap}) {
        if (gap == 0 && grow < 0) continue;
        candidates.clear();
        if (!m_closeNames->Candidates(query, candidates, scratch, grow)) return false;
        for (const int j : candidates) {
          consider(j, false);
          if (settled()) return true;
        }
      }
    }
    return true;
  };
  // Those within 1 looked up apart or not, all within the limit once some
  // name further off may still matter.
  if (!settled()) {
    const bool apart = limit >= 2 && lookUp(1);
    if (apart) covered = 1;
    if (!apart || (!settled() && std::max(reachOf(false), reachOf(true)) >= 2)) lookUp(limit);
  }
  if (!best) return std::nullopt;
  int chosen = std::get<2>(*best);
  if (std::get<0>(*best)) {
    // A list that a reference of the same kind already uses is a worse
    // guess than one that nothing uses whose name the reference starts or
    // extends ("Bank 0" and an unused "Bank 0 (GM1)"): that one, when it
    // is the only such list; when there are several, no guess.
    const int slot = KindSlot(kind);
    int extending = -1;
    int count = 0;
    if (slot >= 0) {
      for (const int j : m_unused[static_cast<std::size_t>(slot)].all) {
        if (!Extends(name, m_definitions.At(j).name)) continue;
        extending = j;
        ++count;
      }
    }
    if (count > 1) tied = true;
    if (count == 1) {
      chosen = extending;
      tied = false;
    }
  }
  if (tied) {
    undecided = true;
    return std::nullopt;
  }
  return CListHint{NoteKind::closeName, chosen, kind};
}

int CNoteFinder::Distance(std::string_view a, std::string_view b, int limit) const {
  if (!HasWideCharacters(m_codePage)) return BoundedEditDistance(a, b, limit);
  return BoundedEditDistance(CodePageCharacters(a, m_codePage), CodePageCharacters(b, m_codePage),
                             limit);
}

std::optional<CListHint> CNoteFinder::OnlyUnused(int kind) const {
  const int slot = KindSlot(kind);
  if (slot < 0 || m_unused[static_cast<std::size_t>(slot)].count != 1) return std::nullopt;
  return CListHint{NoteKind::onlyUnused, m_unused[static_cast<std::size_t>(slot)].first, kind};
}
