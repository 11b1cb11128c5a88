#include "checker/notes/note_finder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "checker/resolve.h"
#include "checker/notes/edit_distance.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Folded(std::string_view name) {
  std::string folded;
  for (const char c : name) {
    if (IsBlank(c)) continue;
    folded.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
  }
  return folded;
}

// Whether no reference can reach definition j: it has no name, or an
// earlier one in sorted order has its name and kind.
bool Unreachable(const CLabelList& definitions, int j) {
  const CLabelEntry& d = definitions.At(j);
  if (d.name.empty()) return true;
  for (int k = 0; k < j; ++k) {
    if (definitions.At(k).name == d.name && definitions.At(k).kind == d.kind) return true;
  }
  return false;
}

// The rules the plain way: every definition compared with the reference.
std::optional<CListHint> PlainNote(const CLabelList& definitions, std::string_view name,
                                   int kind, const CCodePage& codePage) {
  for (int j = 0; j < definitions.GetCount(); ++j) {
    const CLabelEntry& d = definitions.At(j);
    if (d.name == name && d.kind != kind && !Unreachable(definitions, j))
      return CListHint{NoteKind::otherSection, j, kind};
  }
  // In UTF-8 a character is a well-formed sequence; elsewhere a byte.
  auto characters = [&](std::string_view text) {
    std::u32string out;
    for (const char c : text) out.push_back(static_cast<unsigned char>(c));
    return codePage.IsUtf8() ? Utf8Characters(text) : out;
  };
  const int limit = characters(name).size() <= 6 ? 1 : 2;
  std::optional<std::tuple<bool, int, int>> best;
  for (int j = 0; j < definitions.GetCount() && !name.empty(); ++j) {
    const CLabelEntry& d = definitions.At(j);
    if (d.kind != kind || Unreachable(definitions, j)) continue;
    const int distance = Folded(d.name) == Folded(name)
                             ? 0
                             : BoundedEditDistance(characters(d.name), characters(name), 99);
    if (distance > limit) continue;
    const std::tuple<bool, int, int> rank{d.used, distance, j};
    if (!best || rank < *best) best = rank;
  }
  if (best) {
    if (std::get<0>(*best)) {
      // A used list gives way to the one unused list whose folded name
      // starts with the reference's, or the reference's with its.
      std::vector<int> extending;
      for (int j = 0; j < definitions.GetCount(); ++j) {
        const CLabelEntry& d = definitions.At(j);
        if (d.kind != kind || d.used || Unreachable(definitions, j)) continue;
        const std::string a = Folded(d.name);
        const std::string b = Folded(name);
        const bool starts = a.size() < b.size() ? b.starts_with(a) : a.starts_with(b);
        if (!a.empty() && !b.empty() && starts) extending.push_back(j);
      }
      if (extending.size() > 1) return std::nullopt;
      if (extending.size() == 1) return CListHint{NoteKind::closeName, extending[0], kind};
    }
    // Another list as close, and as used or unused: no guess.
    for (int j = 0; j < definitions.GetCount(); ++j) {
      const CLabelEntry& d = definitions.At(j);
      if (j == std::get<2>(*best) || d.kind != kind || Unreachable(definitions, j)) continue;
      const int distance = Folded(d.name) == Folded(name)
                               ? 0
                               : BoundedEditDistance(characters(d.name), characters(name), 99);
      if (d.used == std::get<0>(*best) && distance == std::get<1>(*best)) return std::nullopt;
    }
    return CListHint{NoteKind::closeName, std::get<2>(*best), kind};
  }
  int unused = -1;
  int count = 0;
  for (int j = 0; j < definitions.GetCount(); ++j) {
    const CLabelEntry& d = definitions.At(j);
    if (d.kind == kind && !d.used && !Unreachable(definitions, j) && count++ == 0) unused = j;
  }
  if (count != 1) return std::nullopt;
  return CListHint{NoteKind::onlyUnused, unused, kind};
}

std::string Describe(const std::optional<CListHint>& note) {
  if (!note) return "none";
  return std::to_string(static_cast<int>(note->kind)) + " definition " +
         std::to_string(note->definition) + " wanted " + std::to_string(note->wanted);
}

// The index finds close names among few candidates; whatever it leaves
// out must never be the answer. Many files of many near names over a small
// alphabet, in which every rule and every tie comes up, against the rules
// applied to every definition. In UTF-8 the alphabet has characters of two
// and three bytes, which the index must see as one character each.
// Names that share a long start and differ in a few digits ("Bank 1204")
// make every gram common, so the index leans on the lengths and on the
// closest name found so far; more of them, with longer names, try that.
struct AgreementCase {
  int codePage;
  std::vector<std::string> alphabet;
  std::string start;             // every name begins with it
  unsigned maxLetters = 12;      // after the start
  unsigned maxDefinitions = 60;
};

const AgreementCase kAgreementCases[] = {
    {0, {"a", "b", "A", "B", " ", "\t"}, "", 12, 60},
    {65001, {"a", "b", "A", "\xC3\xA9", "\xE3\x82\xBE", "\xE3\x82\xBD", " "}, "", 12, 60},
    // Broken sequences: each byte of one is a character of its own.
    {65001, {"a", "\xE3\x82", "\xBE", "\xC3\xA9", "\xE3\x82\xBE", " "}, "", 12, 60},
    {0, {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "x"}, "Bank ", 6, 400},
    {0, {"0", "1", "2", "x"}, "Patch Bank ", 4, 200},
    {65001, {"1", "2", "\xC3\xA9", "x"}, "B\xC3\xA4nk ", 5, 200},
};

TEST(NoteFinderTest, AgreesWithComparingEveryDefinition) {
  for (const AgreementCase& c : kAgreementCases) {
    SCOPED_TRACE(c.codePage);
    const CCodePage codePage = CCodePage::FromNumber(c.codePage).value_or(CCodePage());
    std::uint64_t state = 99;
    auto next = [&state](unsigned n) {
      state = state * 6364136223846793005ULL + 1442695040888963407ULL;
      return static_cast<unsigned>(state >> 33) % n;
    };
    const unsigned letters = static_cast<unsigned>(c.alphabet.size());
    // Names as lists of letters, so that edits change whole characters.
    using Word = std::vector<std::string>;
    auto word = [&] {
      Word w(next(c.maxLetters));
      for (std::string& letter : w) letter = c.alphabet[next(letters)];
      return w;
    };
    auto nearCopy = [&](Word w) {
      for (unsigned edits = 1 + next(3); edits > 0; --edits) {
        const std::size_t at = w.empty() ? 0 : next(static_cast<unsigned>(w.size()));
        const auto where = w.begin() + static_cast<std::ptrdiff_t>(at);
        switch (next(4)) {
          case 0: if (!w.empty()) w[at] = c.alphabet[next(letters)]; break;
          case 1: w.insert(where, c.alphabet[next(letters)]); break;
          case 2: if (!w.empty()) w.erase(where); break;
          case 3: if (at + 1 < w.size()) std::swap(w[at], w[at + 1]); break;
        }
      }
      return w;
    };
    auto text = [&c](const Word& w) {
      std::string s = c.start;
      for (const std::string& letter : w) s += letter;
      return s;
    };

    int notes = 0;
    const int files = c.maxDefinitions > 100 ? 150 : 300;
    for (int file = 0; file < files; ++file) {
      CLabelList definitions;
      CLabelList references;
      std::vector<Word> names;
      const unsigned definitionCount = 1 + next(c.maxDefinitions);
      for (unsigned i = 0; i < definitionCount; ++i) {
        // Now and then the very same name again, so that some lists are
        // second lists of their name and kind, which no note may name.
        names.push_back(names.empty() || next(2) ? word()
                        : next(5) == 0           ? names[next(static_cast<unsigned>(names.size()))]
                                                 : nearCopy(names[next(
                                                       static_cast<unsigned>(names.size()))]));
        const std::string name = text(names.back());
        definitions.Add(name, static_cast<int>(i + 1), name, static_cast<int>(next(3)));
      }
      for (unsigned i = 0; i < 40; ++i) {
        const std::string name =
            text(next(4) == 0 ? word() : nearCopy(names[next(static_cast<unsigned>(names.size()))]));
        references.Add(name, static_cast<int>(1000 + i), name, static_cast<int>(next(3)));
      }
      definitions.Sort(codePage);
      const CDefinitionIndex index(definitions);
      ResolveReferences(definitions, references, index);

      const CNoteFinder finder(definitions, references, index, codePage);
      // Kept from reference to reference, as the check keeps it: the
      // second round asks again for the names the first remembered, and
      // names that share a slot push each other out.
      CNoteFinder::CScratch scratch;
      std::vector<std::string> expected(static_cast<std::size_t>(references.GetCount()));
      for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < references.GetCount(); ++i) {
          const CLabelEntry& r = references.At(i);
          if (r.used) continue;
          std::string& want = expected[static_cast<std::size_t>(i)];
          if (round == 0) {
            const std::optional<CListHint> plain = PlainNote(definitions, r.name, r.kind, codePage);
            want = Describe(plain);
            if (plain) ++notes;
            ASSERT_EQ(Describe(finder.NoteFor(r.name, r.kind)), want)
                << "file " << file << " reference \"" << r.name << "\" kind " << r.kind;
          }
          ASSERT_EQ(Describe(finder.NoteFor(r.name, r.kind, scratch)), want)
              << "file " << file << " round " << round << " reference \"" << r.name
              << "\" kind " << r.kind;
        }
      }
    }
    // The files are made so that most references get one.
    EXPECT_GT(notes, files * 10);
  }
}

}  // namespace
