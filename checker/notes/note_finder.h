// Hints for references that name no list: where the list the author most
// likely meant is. They stand beside the findings and never count as one.
#ifndef VELTRANE_CHECKER_NOTE_FINDER_H_
#define VELTRANE_CHECKER_NOTE_FINDER_H_

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "checker/notes/close_name_index.h"
#include "checker/definition_index.h"
#include "checker/label_list.h"

// One hint for a reference that matched no definition: the list it most
// likely means.
struct CListHint {
  NoteKind kind = NoteKind::onlyUnused;  // otherSection, closeName or onlyUnused
  int definition = -1;                   // the list's index in the definitions
  int wanted = 0;                        // the SectionKind the reference needs
};

// Finds the hint for each reference not found, from lists that a check has
// sorted and resolved. Building it indexes only the sections that have a
// reference not found, and of their names only the rare grams those
// references are looked up by, so a clean file costs nothing and each
// lookup meets few candidates.
// Lists that no reference can match, a later definition of a name and kind
// (marked shadowed) or a list without a name, are never hinted at.
// REQUIRES: both lists and `index` outlive the finder and stay unchanged;
// `definitions` is sorted by name and resolved with `index`.
class CNoteFinder {
 public:
  CNoteFinder(const CLabelList& definitions, const CLabelList& references,
              const CDefinitionIndex& index, const CCodePage& codePage = CCodePage());

  // The first hint that applies to a reference named `name` of section
  // `kind`: a list of that name under another section (the first in sorted
  // order); else a close name in the right section, ignoring case and
  // blanks or within a Damerau-Levenshtein distance of 2 (1 for references
  // of 6 characters or fewer; in UTF-8 a well-formed sequence is one
  // character, elsewhere a byte is), an unused list before a used one, then the
  // closest; a used one gives way to the one unused list whose name it
  // starts or extends. Nothing when two lists are equally close (or several
  // unused lists extend it); else the only list of the right section that
  // nothing uses. Nothing when none applies.
  // REQUIRES: a reference of `references` with that name and kind matched
  // no definition.
  std::optional<CListHint> NoteFor(std::string_view name, int kind) const;
  // The room one thread's look-ups count in, and the notes of the names it
  // looked up last, for a name referred to again and again.
  class CScratch {
   public:
    CScratch() = default;

   private:
    friend class CNoteFinder;
    struct Remembered {
      bool held = false;
      int kind = 0;
      std::string name;
      std::optional<CListHint> note;
    };
    static constexpr std::size_t kRemembered = 64;  // a few names, whatever the file
    CCloseNameIndex::CScratch m_index;
    std::array<Remembered, kRemembered> m_remembered;
  };
  // The same, counting in `scratch`, which is best kept from one reference
  // to the next.
  // REQUIRES: `scratch` serves this finder alone, one thread at a time.
  std::optional<CListHint> NoteFor(std::string_view name, int kind, CScratch& scratch) const;

 private:
  using Posting = std::pair<std::uint64_t, int>;  // (key, definition index)

  std::optional<CListHint> OtherSection(std::string_view name, int kind) const;
  // Nothing, with `undecided` set, when two lists are equally likely.
  std::optional<CListHint> CloseName(std::string_view name, int kind, bool& undecided,
                                     CCloseNameIndex::CScratch& scratch) const;
  // Whether, with case and blanks left out, one name starts the other.
  static bool Extends(std::string_view name, std::string_view other);
  std::optional<CListHint> OnlyUnused(int kind) const;
  // A list a reference could match: the first of its name and kind, and
  // with a name.
  static bool Matchable(const CLabelEntry& entry) {
    return !entry.shadowed && !entry.name.empty();
  }
  // The index of `kind` among m_kinds, or -1.
  int KindSlot(int kind) const;
  // Adds the definitions that the postings list under `key` to `found`.
  static void Lookup(const std::vector<Posting>& postings, std::uint64_t key,
                     std::vector<int>& found);

  // The distance of two names, in characters of the code page.
  int Distance(std::string_view a, std::string_view b, int limit) const;

  const CLabelList& m_definitions;
  const CDefinitionIndex& m_index;
  CCodePage m_codePage;
  // In UTF-8, each definition's name with every character as one byte, for
  // the index: two names that many edits apart are at most that many apart
  // in these, so the index still finds every close name.
  std::vector<std::string> m_oneByteNames;
  std::vector<std::string> m_oneByteQueries;
  // The sections that have a reference not found; the tables below cover
  // only these.
  std::vector<int> m_kinds;
  // Definitions by their section and name with case and blanks left out.
  std::vector<Posting> m_folded;
  std::unique_ptr<CCloseNameIndex> m_closeNames;
  struct Unused {
    int count = 0;
    int first = -1;  // the index of the first unused definition
    std::vector<int> all;  // the unused definitions, in sorted order
  };
  std::vector<Unused> m_unused;  // by the slot of the section in m_kinds
};

#endif  // VELTRANE_CHECKER_NOTE_FINDER_H_
