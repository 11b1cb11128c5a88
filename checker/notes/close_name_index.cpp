// The close-name index: the lists whose names are a few edits from a name.
#include "checker/notes/close_name_index.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <tuple>

#include "checker/both_at_once.h"

namespace {

// Grams are runs of one to three bytes, numbered as one number each:
// three bytes first, then two, then one.
constexpr std::uint32_t kGramBase[4] = {0, (1u << 24) + (1u << 16), 1u << 24, 0};
constexpr int kMaxGram = 3;

// The gram of `q` bytes at `place`.
// REQUIRES: place + q <= name.size(), 1 <= q <= kMaxGram.
std::uint32_t GramAt(std::string_view name, int q, std::size_t place) {
  std::uint32_t gram = 0;
  for (int i = 0; i < q; ++i)
    gram = (gram << 8) | static_cast<unsigned char>(name[place + static_cast<std::size_t>(i)]);
  return kGramBase[q] + gram;
}

// Calls `visit(place, gram)` for each gram of `q` bytes.
template <typename Visit>
void ForEachGramOf(std::string_view name, int q, Visit visit) {
  for (std::size_t place = 0; place + static_cast<std::size_t>(q) <= name.size(); ++place)
    visit(place, GramAt(name, q, place));
}

// The size q of the grams a name is looked up by (0: none, too short), and
// how many of its grams edits to within distance `limit` may spoil; the
// name has more grams than that. Longer grams are rarer, so the longest
// that leave grams unspoilt serve.
//
// Each edit of a name spoils at most q + 1 of its grams (a transposition:
// those that hold either byte it swaps); the others stand in the edited
// name as well, shifted by no more places than there are edits. So any
// (q + 1) k + h grams of a name include h that every name within distance
// k holds near the same place.
std::pair<int, std::size_t> GramSize(std::size_t size, int limit) {
  const std::size_t k = static_cast<std::size_t>(limit);
  for (int q = kMaxGram; q >= 1; --q) {
    const std::size_t grams = size + 1 > static_cast<std::size_t>(q) ? size + 1 - q : 0;
    const std::size_t spoilt = (static_cast<std::size_t>(q) + 1) * k;
    if (grams > spoilt) return {q, spoilt};
  }
  return {0, 0};
}

// The most gram keys the queries of one file may register: a file with
// more broken references than this covers gets close names for the first
// of them only, so that memory stays bounded.
constexpr std::size_t kMaxKeys = std::size_t{1} << 21;

bool QueryLess(const CCloseNameQuery& a, const CCloseNameQuery& b) {
  return std::tie(a.kind, a.limit, a.name) < std::tie(b.kind, b.limit, b.name);
}

// Below this many definitions, a second thread costs more than it saves.
constexpr int kInHalvesFrom = 1 << 14;

std::uint64_t Mix(std::uint64_t key) {
  key ^= key >> 33;
  key *= 0xff51afd7ed558ccdULL;
  key ^= key >> 33;
  key *= 0xc4ceb9fe1a85ec53ULL;
  key ^= key >> 33;
  return key;
}

}  // namespace

CCloseNameIndex::CCloseNameIndex(const CLabelList& definitions,
                                 const std::vector<CCloseNameQuery>& queries,
                                 const std::vector<std::string>* names)
    : m_definitions(definitions), m_names(names) {
  // Every key a query may look up gets a slot, so that counting the
  // definitions' grams touches nothing else.
  std::size_t keys = 0;
  for (const CCloseNameQuery& query : queries) {
    const std::size_t spread = 2 * static_cast<std::size_t>(query.limit) + 1;
    const std::size_t more = query.name.size() * spread * spread;
    if (keys + more > kMaxKeys) break;
    keys += more;
    m_indexed.push_back(query);
    if (KindSlot(query.kind) < 0) m_kinds.push_back(query.kind);
  }
  std::size_t size = 16;
  while (size < 2 * keys) size *= 2;
  // With the room the table has left, each name looked up within 2 may be
  // looked up within 1 as well: of names that share a long start, far
  // fewer hold enough of its grams to be within 1, and a name found that
  // close spares looking further. The table grows no larger for them, and
  // fills to three quarters at most.
  const std::size_t within = m_indexed.size();
  for (std::size_t i = 0; i < within; ++i) {
    const CCloseNameQuery nearer{m_indexed[i].name, m_indexed[i].kind, 1};
    if (m_indexed[i].limit < 2) continue;
    const std::size_t more = nearer.name.size() * 9;
    if (4 * (keys + more) > 3 * size) break;
    keys += more;
    m_indexed.push_back(nearer);
  }
  std::sort(m_indexed.begin(), m_indexed.end(), QueryLess);
  m_table.resize(size);
  // About sixteen bits a key, up to 2^20: a small file's index stays small,
  // since it is built anew for every file with a label not found.
  int filterBits = 12;
  while (filterBits < 20 && (std::size_t{1} << filterBits) < 16 * keys) ++filterBits;
  m_filterShift = 64 - filterBits;
  m_filter.assign((std::size_t{1} << filterBits) / 64, 0);
  for (const CCloseNameQuery& query : m_indexed) {
    const int slot = KindSlot(query.kind);
    ForEachGramOf(query.name, GramSize(query.name.size(), query.limit).first,
                  [&](std::size_t place, std::uint32_t gram) {
                    ForEachLookupKey(query, slot, gram, static_cast<int>(place),
                                     [&](GramKey key) { Insert(key); });
                  });
  }

  // The gram sizes the queries of each section are looked up by.
  std::vector<std::array<bool, kMaxGram + 1>> sizes(m_kinds.size(),
                                                    std::array<bool, kMaxGram + 1>{});
  for (const CCloseNameQuery& query : m_indexed)
    sizes[static_cast<std::size_t>(KindSlot(query.kind))]
         [static_cast<std::size_t>(GramSize(query.name.size(), query.limit).first)] = true;
  // Calls `visit(slot, j)` for each gram key of each definition j in
  // [begin, end) that some query may look up.
  auto forEachDefinitionKey = [&](int begin, int end, auto visit) {
    for (int j = begin; j < end; ++j) {
      const int slot = KindSlot(definitions.At(j).kind);
      const std::string_view name = NameOf(j);
      if (slot < 0 || name.empty()) continue;
      for (int q = 1; q <= kMaxGram; ++q) {
        if (!sizes[static_cast<std::size_t>(slot)][static_cast<std::size_t>(q)]) continue;
        ForEachGramOf(name, q, [&](std::size_t place, std::uint32_t gram) {
          const GramKey key = KeyOf(slot, name.size(), gram, place);
          const std::uint64_t hash = Mix(key);
          if (!MayHold(hash)) return;
          const std::size_t found = Find(key, hash);
          if (m_table[found].key != 0) visit(found, j);
        });
      }
    }
  };
  // Each pass over the definitions' grams is made in two halves at once on
  // many definitions: the second half counts apart, and writes its
  // postings after those of the first, so that the result is the same.
  const int count = definitions.GetCount();
  const bool inHalves = count >= kInHalvesFrom;
  const int half = inHalves ? count / 2 : count;
  std::vector<std::uint32_t> secondCounts(inHalves ? m_table.size() : 0, 0);
  RunBothAtOnceIf(
      inHalves,
      [&] { forEachDefinitionKey(0, half, [&](std::size_t slot, int) { ++m_table[slot].count; }); },
      [&] { forEachDefinitionKey(half, count, [&](std::size_t slot, int) { ++secondCounts[slot]; }); });
  for (std::size_t i = 0; i < secondCounts.size(); ++i) m_table[i].count += secondCounts[i];

  for (const CCloseNameQuery& query : m_indexed) {
    const int slot = KindSlot(query.kind);
    const Plan plan = PlanFor(query, slot);
    for (const int place : plan.places) {
      ForEachLookupKey(query, slot, GramAt(query.name, plan.q, static_cast<std::size_t>(place)),
                       place, [&](GramKey key) { m_table[Find(key, Mix(key))].first = 0; });
    }
  }
  // The postings of each wanted key stand together, from its `first` on,
  // in the order of the definitions: the first half's, then the second's.
  std::uint32_t total = 0;
  for (std::size_t i = 0; i < m_table.size(); ++i) {
    Slot& slot = m_table[i];
    if (!slot.Wanted()) continue;
    slot.first = total;
    total += slot.count;
    if (inHalves) secondCounts[i] = slot.count - secondCounts[i];  // where the second half's start
    slot.count = 0;
  }
  m_postings.resize(total);
  RunBothAtOnceIf(
      inHalves,
      [&] {
        forEachDefinitionKey(0, half, [&](std::size_t slot, int j) {
          Slot& found = m_table[slot];
          if (found.Wanted()) m_postings[found.first + found.count++] = j;
        });
      },
      [&] {
        forEachDefinitionKey(half, count, [&](std::size_t slot, int j) {
          const Slot& found = m_table[slot];
          if (found.Wanted()) m_postings[found.first + secondCounts[slot]++] = j;
        });
      });
  // Each wanted key's count is that of its postings again.
  for (std::size_t i = 0; i < secondCounts.size(); ++i)
    if (m_table[i].Wanted()) m_table[i].count = secondCounts[i];

  for (int j = 0; j < definitions.GetCount(); ++j) {
    const std::string_view name = NameOf(j);
    if (KindSlot(definitions.At(j).kind) >= 0 && !name.empty() && name.size() <= 3)
      m_short.push_back(j);
  }
}

int CCloseNameIndex::KindSlot(int kind) const {
  const auto it = std::find(m_kinds.begin(), m_kinds.end(), kind);
  return it == m_kinds.end() ? -1 : static_cast<int>(it - m_kinds.begin());
}

// Never 0 for a name of at least one byte: the section's slot takes 7
// bits, the length 12, the gram 25 and the place 20. Names longer than the
// scanner's pieces, or more than 127 sections, share keys, which only adds
// candidates.
CCloseNameIndex::GramKey CCloseNameIndex::KeyOf(int slot, std::size_t length, std::uint32_t gram,
                                                std::size_t place) const {
  return (static_cast<GramKey>(slot & 0x7F) << 57) | (static_cast<GramKey>(length & 0xFFF) << 45) |
         (static_cast<GramKey>(gram) << 20) | static_cast<GramKey>(place & 0xFFFFF);
}

bool CCloseNameIndex::MayHold(std::uint64_t hash) const {
  const std::size_t bit = hash >> m_filterShift;
  return (m_filter[bit / 64] >> (bit % 64)) & 1;
}

std::size_t CCloseNameIndex::Find(GramKey key, std::uint64_t hash) const {
  const std::size_t mask = m_table.size() - 1;
  for (std::size_t i = static_cast<std::size_t>(hash) & mask;; i = (i + 1) & mask) {
    if (m_table[i].key == key || m_table[i].key == 0) return i;
  }
}

void CCloseNameIndex::Insert(GramKey key) {
  const std::uint64_t hash = Mix(key);
  Slot& slot = m_table[Find(key, hash)];
  slot.key = key;
  const std::size_t bit = hash >> m_filterShift;
  m_filter[bit / 64] |= std::uint64_t{1} << (bit % 64);
}

template <typename Visit>
void CCloseNameIndex::ForEachLookupKey(const CCloseNameQuery& query, int slot,
                                       std::uint32_t gram, int place, Visit visit,
                                       int onlyGrow) const {
  // A name `grow` bytes longer whose gram stands `shift` places later took
  // at least |shift| insertions or deletions before it and |grow - shift|
  // after it.
  const int length = static_cast<int>(query.name.size());
  for (int grow = -query.limit; grow <= query.limit; ++grow) {
    if (length + grow < 1 || (onlyGrow != kAnyGrow && grow != onlyGrow)) continue;
    for (int shift = -query.limit; shift <= query.limit; ++shift) {
      if (place + shift < 0 || std::abs(shift) + std::abs(grow - shift) > query.limit) continue;
      visit(KeyOf(slot, static_cast<std::size_t>(length + grow), gram,
                  static_cast<std::size_t>(place + shift)));
    }
  }
}

std::uint64_t CCloseNameIndex::Spread(const CCloseNameQuery& query, int slot,
                                      std::uint32_t gram, int place) const {
  std::uint64_t total = 0;
  ForEachLookupKey(query, slot, gram, place,
                   [&](GramKey key) { total += m_table[Find(key, Mix(key))].count; });
  return total;
}

// The rarest of the grams that surely survive find the close names among
// the fewest candidates.
CCloseNameIndex::Plan CCloseNameIndex::PlanFor(const CCloseNameQuery& query, int slot) const {
  const std::size_t size = query.name.size();
  Plan plan;
  const auto [q, spoilt] = GramSize(size, query.limit);
  plan.q = q;
  if (q == 0) return plan;
  // With `spoilt` + h grams, a close name keeps at least h of them: taking
  // up to two more than needed lets few names pass.
  const std::size_t grams = size + 1 - static_cast<std::size_t>(q);
  const std::size_t extra = std::min<std::size_t>(2, grams - spoilt);
  const std::size_t needed = spoilt + extra;
  plan.minHits = static_cast<int>(extra);
  std::vector<std::pair<std::uint64_t, int>> byRarity;
  for (std::size_t place = 0; place + static_cast<std::size_t>(plan.q) <= size; ++place) {
    const int at = static_cast<int>(place);
    byRarity.emplace_back(Spread(query, slot, GramAt(query.name, plan.q, place), at), at);
  }
  std::partial_sort(byRarity.begin(), byRarity.begin() + static_cast<std::ptrdiff_t>(needed),
                    byRarity.end());
  for (std::size_t i = 0; i < needed; ++i) plan.places.push_back(byRarity[i].second);
  return plan;
}

bool CCloseNameIndex::Candidates(const CCloseNameQuery& query, std::vector<int>& found,
                                 CScratch& scratch, int grow) const {
  const int slot = KindSlot(query.kind);
  if (slot < 0 || !std::binary_search(m_indexed.begin(), m_indexed.end(), query, QueryLess))
    return false;
  if (scratch.m_planKind != query.kind || scratch.m_planLimit != query.limit ||
      scratch.m_planName != query.name) {
    scratch.m_plan = PlanFor(query, slot);
    scratch.m_planName.assign(query.name);
    scratch.m_planKind = query.kind;
    scratch.m_planLimit = query.limit;
  }
  const Plan& plan = scratch.m_plan;
  if (plan.q == 0) {
    // Short names have no grams: m_short holds each definition once.
    for (const int j : m_short) {
      if (m_definitions.At(j).kind != query.kind) continue;
      if (NameOf(j).size() == query.name.size() + static_cast<std::size_t>(grow)) found.push_back(j);
    }
    return true;
  }
  // A definition for each place whose gram it holds, then only those held
  // at enough places. One that holds a gram twice within reach of a place
  // counts twice, which lets it through when it need not: it is compared
  // all the same. Counting in a table by definition rather than sorting
  // the hits keeps a lookup linear in them: names that share a long start
  // ("Bank 1204") make even the rarest grams common.
  std::vector<std::uint8_t>& hits = scratch.m_hits;
  std::vector<int>& touched = scratch.m_touched;
  if (hits.size() < static_cast<std::size_t>(m_definitions.GetCount()))
    hits.resize(static_cast<std::size_t>(m_definitions.GetCount()), 0);
  touched.clear();
  for (const int place : plan.places) {
    const std::uint32_t gram = GramAt(query.name, plan.q, static_cast<std::size_t>(place));
    ForEachLookupKey(query, slot, gram, place, [&](GramKey key) {
      const Slot& at = m_table[Find(key, Mix(key))];
      if (at.key == 0 || !at.Wanted()) return;
      for (std::uint32_t p = at.first; p < at.first + at.count; ++p) {
        const int j = m_postings[p];
        std::uint8_t& n = hits[static_cast<std::size_t>(j)];
        if (n == 0) touched.push_back(j);
        if (n < 0xFF) ++n;
      }
    }, grow);
  }
  for (const int j : touched) {
    std::uint8_t& n = hits[static_cast<std::size_t>(j)];
    if (n >= plan.minHits) found.push_back(j);
    n = 0;
  }
  return true;
}
