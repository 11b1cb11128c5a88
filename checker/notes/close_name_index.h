// Finds, among many list names, the few that may be within a small edit
// distance of a given name, without comparing it with all of them.
#ifndef VELTRANE_CHECKER_CLOSE_NAME_INDEX_H_
#define VELTRANE_CHECKER_CLOSE_NAME_INDEX_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "checker/label_list.h"

// One name to look up: its bytes, its section and the largest distance
// that counts as close.
struct CCloseNameQuery {
  std::string_view name;
  int kind = 0;
  int limit = 0;
};

// Built for a known set of queries: it counts, for each gram of each query
// at each place, how many names hold it there, and keeps the definitions
// of only the rarest of them.
class CCloseNameIndex {
 private:
  // The places whose grams a query is looked up by, and their size q;
  // q = 0 when the name is too short and m_short serves instead.
  struct Plan {
    int q = 0;
    std::vector<int> places;
    int minHits = 1;  // a close name holds the grams of at least this many
  };

 public:
  // Indexes the definitions with a name for `queries`. Each limit is 1 or 2.
  // `names`, when given, stands for the definitions' names, one for each
  // (a name with each character as one byte, say).
  // REQUIRES: `definitions` and `names` outlive the index and stay unchanged.
  CCloseNameIndex(const CLabelList& definitions, const std::vector<CCloseNameQuery>& queries,
                  const std::vector<std::string>* names = nullptr);

  // The room a lookup counts each definition's hits in: one for each
  // thread that looks up, kept from lookup to lookup, as clearing room for
  // every definition at every lookup would cost more than the lookup.
  class CScratch {
   public:
    CScratch() = default;

   private:
    friend class CCloseNameIndex;
    std::vector<std::uint8_t> m_hits;  // by definition; all zero between lookups
    std::vector<int> m_touched;        // the definitions with hits
    // The plan of the last query, which is looked up length by length.
    std::string m_planName;
    int m_planKind = -1;
    int m_planLimit = -1;
    Plan m_plan;
  };

  // Appends to `found`, each once and in no particular order, the indices
  // of definitions of the query's section whose names are `grow` bytes
  // longer than the query's (shorter when negative) and that may be within
  // its limit: all that are, and some that are not. A distance is at least
  // the difference of the lengths, so a caller that already holds a name
  // as close need not look at the lengths further off. The queries past a
  // budget of about two million gram keys (thousands of broken references)
  // get none, so that memory stays bounded on hostile files.
  // A name looked up within 2 may be looked up within 1 as well, which
  // finds fewer candidates, unless the index ran out of room for that;
  // false, with none appended, when the index holds no such query.
  // REQUIRES: `scratch` serves this index alone, one thread at a time.
  bool Candidates(const CCloseNameQuery& query, std::vector<int>& found, CScratch& scratch,
                  int grow) const;

 private:
  // A gram of one or two bytes, at a place, in names of a section and a
  // length, as one exact number.
  using GramKey = std::uint64_t;

  struct Slot {
    GramKey key = 0;  // 0: empty
    std::uint32_t count = 0;
    // Wanted keys: where their postings start; kNotWanted for the others.
    std::uint32_t first = kNotWanted;

    static constexpr std::uint32_t kNotWanted = 0xFFFFFFFF;
    bool Wanted() const { return first != kNotWanted; }
  };

  int KindSlot(int kind) const;
  std::string_view NameOf(int definition) const {
    return m_names ? std::string_view((*m_names)[static_cast<std::size_t>(definition)])
                   : m_definitions.At(definition).name;
  }
  GramKey KeyOf(int slot, std::size_t length, std::uint32_t gram, std::size_t place) const;
  // False when no query may look up the key of `hash` (its Mix); true when
  // one may.
  bool MayHold(std::uint64_t hash) const;
  // The table slot of `key`, whose Mix is `hash`, or of the empty slot
  // where it belongs.
  std::size_t Find(GramKey key, std::uint64_t hash) const;
  void Insert(GramKey key);
  // How many definitions hold `gram` near `place` in a name of a length
  // close to that of the query.
  std::uint64_t Spread(const CCloseNameQuery& query, int slot, std::uint32_t gram,
                       int place) const;
  Plan PlanFor(const CCloseNameQuery& query, int slot) const;
  // Calls `visit(key)` for every key a plan's gram at `place` is looked up
  // by, in names `grow` bytes longer, or of every length within reach when
  // `grow` is kAnyGrow.
  static constexpr int kAnyGrow = 1 << 20;
  template <typename Visit>
  void ForEachLookupKey(const CCloseNameQuery& query, int slot, std::uint32_t gram, int place,
                        Visit visit, int grow = kAnyGrow) const;

  const CLabelList& m_definitions;
  const std::vector<std::string>* m_names;
  std::vector<CCloseNameQuery> m_indexed;  // the queries that fit the budget
  std::vector<int> m_kinds;      // the sections of the queries
  std::vector<Slot> m_table;     // open addressing, a power of two in size
  // A bit for each hash of the keys in m_table: most grams of most names
  // are no query's, and the bits, unlike the table, stay in the cache.
  std::vector<std::uint64_t> m_filter;
  int m_filterShift = 44;        // Mix(key) >> m_filterShift is its bit
  // The definitions that hold each wanted key, key after key.
  std::vector<int> m_postings;
  std::vector<int> m_short;      // definitions of names of 1 to 3 bytes
};

#endif  // VELTRANE_CHECKER_CLOSE_NAME_INDEX_H_
