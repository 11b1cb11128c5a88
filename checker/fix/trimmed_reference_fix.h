// A reference not found that names a list once the blanks around it, or
// its "; comment", are gone (VLT1003): its fix and its note; and what keeps
// the fixes of references from naming, for programs that read names
// otherwise, a list other than the one meant.
#ifndef VELTRANE_CHECKER_FIX_TRIMMED_REFERENCE_FIX_H_
#define VELTRANE_CHECKER_FIX_TRIMMED_REFERENCE_FIX_H_

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "checker/blanks.h"
#include "checker/check.h"
#include "checker/finding_text.h"
#include "checker/fix/reference_fix.h"
#include "checker/scanner.h"

// Where the last label line before `offset` starts, or `offset` when no
// label line stands before it: the place above which a comment taken from
// a key's value raises no gap inside an instrument.
class CLabelLineStarts {
 public:
  explicit CLabelLineStarts(const CLabelList& definitions) {
    for (int j = 0; j < definitions.GetCount(); ++j)
      m_starts.push_back(definitions.At(j).LineOffset());
    std::sort(m_starts.begin(), m_starts.end());
  }
  std::uint64_t Before(std::uint64_t offset) const {
    const auto it = std::lower_bound(m_starts.begin(), m_starts.end(), offset);
    return it == m_starts.begin() ? offset : *(it - 1);
  }

 private:
  std::vector<std::uint64_t> m_starts;
};

// The lists by their names without the blanks around them, as programs
// that trim blanks read labels: how many have each, and the first. Only
// the lists' indices are held, in the order of those names: it is built
// beside the check's largest tables, for every list of the file.
class CTrimmedLabels {
 public:
  explicit CTrimmedLabels(const CLabelList& definitions) : m_definitions(definitions) {
    m_order.resize(static_cast<std::size_t>(definitions.GetCount()));
    for (std::size_t j = 0; j < m_order.size(); ++j) m_order[j] = static_cast<int>(j);
    // Stable: of one name, the first list comes first.
    std::stable_sort(m_order.begin(), m_order.end(),
                     [this](int a, int b) { return KeyOf(a) < KeyOf(b); });
  }
  int Count(int kind, std::string_view trimmed) const {
    const auto [from, to] = Named(kind, trimmed);
    return static_cast<int>(to - from);
  }
  int First(int kind, std::string_view trimmed) const {
    const auto [from, to] = Named(kind, trimmed);
    return from == to ? -1 : *from;
  }

 private:
  using Key = std::pair<int, std::string_view>;
  Key KeyOf(int j) const {
    const CLabelEntry& entry = m_definitions.At(j);
    return {entry.kind, TrimBlanks(entry.name)};
  }
  std::pair<std::vector<int>::const_iterator, std::vector<int>::const_iterator> Named(
      int kind, std::string_view trimmed) const {
    const Key key{kind, trimmed};
    const auto from = std::partition_point(m_order.begin(), m_order.end(),
                                           [&](int j) { return KeyOf(j) < key; });
    const auto to = std::partition_point(from, m_order.end(),
                                         [&](int j) { return !(key < KeyOf(j)); });
    return {from, to};
  }
  const CLabelList& m_definitions;
  std::vector<int> m_order;
};

// A reference not found that names a list once the blanks around it, or
// its "; comment", are gone: what some programs read it as. Such a finding
// gets a note and a fix that does the same on purpose.
class CTrimmedReferences {
 public:
  CTrimmedReferences(CCheckResult& result, const CTrimmedLabels& labels)
      : m_result(result), m_trimmedLabels(labels) {}

  // True when `finding` is such a reference; then it has its fix and, with
  // `notes`, its note.
  bool Explain(CFinding& finding, bool notes) {
    const std::string_view name = finding.name;
    const std::size_t semicolon = m_result.codePage.Find(name, ';');
    const bool comment = semicolon != std::string_view::npos;
    const std::string_view trimmed = TrimBlanks(name.substr(0, comment ? semicolon : name.size()));
    if (trimmed.size() == name.size() || trimmed.empty()) return false;
    // Programs that keep the comment and trim the blanks read the whole
    // value: when that names a list, no cut keeps the meaning.
    if (comment && m_result.FirstDefinition(TrimBlanks(name), finding.section) >= 0) return false;
    // Nor when programs that cut the comment and keep the blanks find a
    // list of the name with them, which the trimmed name is not.
    const std::string_view cut = name.substr(0, comment ? semicolon : name.size());
    if (cut != trimmed && m_result.FirstDefinition(cut, finding.section) >= 0) return false;
    const int definition = m_result.FirstDefinition(trimmed, finding.section);
    if (definition < 0) return false;
    const CLabelList& definitions = *m_result.definitions;
    // Where another list's name is the same without its blanks, programs
    // that trim blanks may take that one: the trimmed reference would then
    // name one list here and another there.
    if (m_trimmedLabels.Count(finding.section, trimmed) > 1) return false;
    const CLabelEntry& list = definitions.At(definition);
    const CPlace& place = finding.place;
    const std::size_t lead = static_cast<std::size_t>(trimmed.data() - name.data());
    // The name must be all the rest of a line that programs read whole: of
    // a longer one, the check read only its first piece.
    if (place.Holds(name) && place.end == place.lineText.size() &&
        place.lineText.size() <= kLongestWholeLine) {
      const std::uint64_t begin = place.lineOffset + place.begin;
      CFix fix{true, comment ? MoveCommentTitle() : TrimReferenceTitle(lead > 0), {}};
      bool fits = true;
      if (comment) {
        // The key is what the line holds before the "=" that the name follows.
        std::string line = CommentLineAbove(
            place.lineText.substr(0, place.begin > 0 ? place.begin - 1 : 0), name.substr(semicolon + 1));
        fits = line.size() <= kLongestWholeLine;
        line.append(m_result.lineEnd);
        if (!m_labels) m_labels.emplace(definitions);
        const std::uint64_t above = m_labels->Before(place.lineOffset);
        fix.edits.push_back({above, above, std::move(line)});
      }
      if (lead > 0) fix.edits.push_back({begin, begin + lead, ""});
      fix.edits.push_back({begin + lead + trimmed.size(), begin + name.size(), ""});
      if (fits) finding.fix = std::move(fix);
    }
    if (notes) {
      CNote note;
      note.kind = comment ? NoteKind::commentInValue : NoteKind::trailingBlanks;
      note.name = list.name;
      note.line = list.line;
      note.place = definitions.PlaceOf(list);
      note.section = list.kind;
      note.wanted = finding.section;
      const std::string utf8 = m_result.codePage.ToUtf8(list.name);
      note.message = comment ? CommentInValueMessage(utf8, note.place.line)
                             : TrailingBlanksMessage(utf8, note.place.line, lead > 0);
      finding.note = std::move(note);
    }
    return true;
  }

 private:
  CCheckResult& m_result;
  std::optional<CLabelLineStarts> m_labels;
  const CTrimmedLabels& m_trimmedLabels;
};

// A comment after a reference that names a list only with the comment:
// programs that keep the comment read a working reference there, which
// cutting the comment would break, so such a finding keeps no fix.
void KeepNamingValues(CCheckResult& result);

// Whether a reference not found names, as some programs read it (without
// its comment, or with the blanks around it and the lists' trimmed), a
// list other than `guess`: no guess replaces what those programs find.
bool NamesOtherList(const CCheckResult& result, const CTrimmedLabels& labels,
                    const CFinding& finding, int guess);

#endif  // VELTRANE_CHECKER_FIX_TRIMMED_REFERENCE_FIX_H_
