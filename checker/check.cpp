#include "checker/check.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>

#include "checker/blanks.h"
#include "checker/both_at_once.h"
#include "checker/finding_text.h"
#include "checker/line_source.h"
#include "checker/lint.h"
#include "checker/note_finder.h"
#include "checker/reference_fix.h"
#include "checker/resolve.h"
#include "checker/scanner.h"
#include "checker/suppression.h"

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

CFinding MakeFinding(FindingKind kind, const CLabelList& list, const CLabelEntry& entry) {
  CFinding finding;
  finding.kind = kind;
  finding.name = entry.name;
  finding.line = entry.line;
  finding.text = entry.Text();
  finding.place = list.PlaceOf(entry);
  finding.section = entry.kind;
  return finding;
}

// Equal names stand together in the sorted list. Within such a run, every
// definition after the first of its kind is a duplicate of that first one,
// whatever other kinds stand between them. Labels before any section
// (kind 0) are never duplicates.
void AddDuplicates(const CLabelList& definitions, std::vector<CFinding>& findings) {
  std::vector<std::pair<int, int>> firstOfKind;  // (kind, definition index)
  for (int j = 0; j < definitions.GetCount(); ++j) {
    const CLabelEntry& entry = definitions.At(j);
    if (j == 0 || entry.name != definitions.At(j - 1).name) firstOfKind.clear();
    if (entry.kind == 0) continue;
    const std::pair<int, int>* first = nullptr;
    for (const auto& seen : firstOfKind)
      if (seen.first == entry.kind) first = &seen;
    if (!first) {
      firstOfKind.emplace_back(entry.kind, j);
      continue;
    }
    CFinding finding = MakeFinding(FindingKind::duplicate, definitions, entry);
    const CLabelEntry& firstEntry = definitions.At(first->second);
    finding.firstLine = firstEntry.line;
    finding.firstPlace = definitions.PlaceOf(firstEntry);
    findings.push_back(std::move(finding));
  }
}

// With `notes`, a label line without "]" gets a note that says why its
// list has no name.
void AddUnmatched(const CLabelList& list, FindingKind kind, bool notes,
                  std::vector<CFinding>& findings) {
  for (int j = 0; j < list.GetCount(); ++j) {
    const CLabelEntry& entry = list.At(j);
    if (entry.used) continue;
    CFinding finding = MakeFinding(kind, list, entry);
    if (notes && entry.unclosed) {
      CNote note;
      note.kind = NoteKind::noClosingBracket;
      note.line = entry.line;
      note.place = finding.place;
      note.message = NoClosingBracketMessage();
      finding.note = std::move(note);
    }
    findings.push_back(std::move(finding));
  }
}

// The note on a reference not found that points at the list it likely means.
CNote ListNote(const CListHint& hint, const CLabelList& definitions, const CCodePage& codePage) {
  const CLabelEntry& list = definitions.At(hint.definition);
  CNote note;
  note.kind = hint.kind;
  note.name = list.name;
  note.line = list.line;
  note.place = definitions.PlaceOf(list);
  note.section = list.kind;
  note.wanted = hint.wanted;
  note.message = ListNoteMessage(hint.kind, codePage.ToUtf8(list.name), note.place.line,
                                 list.kind, hint.wanted);
  return note;
}

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

// Whether `finding`, a reference not found, is a Patch or Key value that
// holds digits, dots and dashes only: a number, or a range written other
// than as a built-in list's name.
bool LooksNumbered(const CFinding& finding) {
  if (!NumberedListsName(finding.section)) return false;
  const std::string_view value = TrimBlanks(finding.name);
  return value.find_first_of("0123456789") != std::string_view::npos &&
         value.find_first_not_of("0123456789.-") == std::string_view::npos;
}

// A comment after a reference that names a list only with the comment:
// programs that keep the comment read a working reference there, which
// cutting the comment would break, so such a finding keeps no fix.
void KeepNamingValues(CCheckResult& result) {
  std::optional<CTrimmedLabels> labels;
  for (CFinding& finding : result.ruleFindings) {
    if (finding.kind != FindingKind::commentAfterValue || !finding.fix) continue;
    const std::optional<CLabelLine> label =
        ReadLabelLine(finding.place.lineText, finding.section, result.codePage);
    if (!label || label->definition) continue;
    // The value as programs read it that keep the comment, or cut it and
    // keep the blanks before it: the fix leaves neither.
    const std::size_t semicolon = result.codePage.Find(label->name, ';');
    const std::string_view cut = label->name.substr(0, semicolon);
    const bool cutNames = cut != TrimEndBlanks(cut) && result.FirstDefinition(cut, label->kind) >= 0;
    if (cutNames || result.FirstDefinition(label->name, label->kind) >= 0 ||
        result.FirstDefinition(TrimBlanks(label->name), label->kind) >= 0) {
      finding.fix.reset();
      continue;
    }
    // What the fix leaves names, for programs that keep blanks, the list of
    // that very name; for those that trim, the list of that name trimmed:
    // when several lists have it, another one, perhaps.
    const std::string_view kept = TrimEndBlanks(cut);
    if (result.FirstDefinition(kept, label->kind) >= 0) {
      if (!labels) labels.emplace(*result.definitions);
      if (labels->Count(label->kind, TrimBlanks(kept)) > 1) finding.fix.reset();
    }
  }
}

// Whether a reference not found names, as some programs read it (without
// its comment, or with the blanks around it and the lists' trimmed), a
// list other than `guess`: no guess replaces what those programs find.
bool NamesOtherList(const CCheckResult& result, const CTrimmedLabels& labels,
                    const CFinding& finding, int guess) {
  const std::string_view name = finding.name;
  const std::string_view cut = name.substr(0, result.codePage.Find(name, ';'));
  for (const std::string_view reading : {cut, TrimEndBlanks(cut)}) {
    const int found = result.FirstDefinition(reading, finding.section);
    if (found >= 0 && found != guess) return true;
  }
  for (const std::string_view reading : {TrimBlanks(cut), TrimBlanks(name)}) {
    const int count = labels.Count(finding.section, reading);
    if (count > 1 || (count == 1 && labels.First(finding.section, reading) != guess)) return true;
  }
  return false;
}

// Whether the physical line around `at` (up to LF) is one that every
// program reads alike: no longer than a piece, and without a lone CR,
// which ends a line for some programs and not for others. Edits inside
// other lines would change where programs split them.
bool InPlainLine(const CStdioFile& file, std::uint64_t at) {
  constexpr std::uint64_t kReach = kLongestWholeLine + 2;
  const std::uint64_t from = at > kReach ? at - kReach : 0;
  char buffer[2 * kReach];
  const std::size_t wanted = static_cast<std::size_t>(at - from + kReach);
  std::size_t got = 0;
  while (got < wanted) {
    const std::size_t n = file.ReadBytesAt(from + got, buffer + got, wanted - got);
    if (n == 0) break;
    got += n;
  }
  const std::string_view bytes(buffer, got);
  const std::size_t here = static_cast<std::size_t>(at - from);
  const std::size_t lf = here == 0 ? std::string_view::npos : bytes.rfind('\n', here - 1);
  if (lf == std::string_view::npos && from > 0) return false;
  const std::size_t begin = lf == std::string_view::npos ? 0 : lf + 1;
  std::size_t end = bytes.find('\n', here);
  if (end == std::string_view::npos) {
    if (got == wanted && from + got < file.GetSourceLength()) return false;
    end = bytes.size();
  }
  std::string_view line = bytes.substr(begin, end - begin);
  if (line.ends_with('\r') && end < bytes.size()) line.remove_suffix(1);
  return line.size() <= kLongestWholeLine && line.find('\r') == std::string_view::npos;
}

// Leaves no fix that edits inside a line that programs read differently.
// An insertion at a line's start leaves that line as it is. The line rules
// that see whole lines make no such fix; the others are looked at here.
void KeepOddLinesWhole(const CStdioFile& file, CCheckResult& result) {
  const auto seesWholeLines = [](FindingKind kind) {
    return kind == FindingKind::commentAfterValue || kind == FindingKind::duplicateNumber ||
           kind == FindingKind::gapInInstrument || kind == FindingKind::noFinalLineEnd ||
           kind == FindingKind::unusedSuppression;
  };
  const auto lineStart = [&](std::uint64_t at) {
    char before = '\n';
    return at == 0 || (file.ReadBytesAt(at - 1, &before, 1) == 1 && before == '\n');
  };
  for (std::vector<CFinding>* findings : {&result.findings, &result.ruleFindings}) {
    for (CFinding& finding : *findings) {
      if (!finding.fix || seesWholeLines(finding.kind)) continue;
      for (const CEdit& edit : finding.fix->edits) {
        const bool plain = edit.begin == edit.end
                               ? lineStart(edit.begin) || InPlainLine(file, edit.begin)
                               : InPlainLine(file, edit.begin) &&
                                     (lineStart(edit.end) || InPlainLine(file, edit.end - 1));
        if (!plain) {
          finding.fix.reset();
          break;
        }
      }
    }
  }
}

// Below this many references to look up, a second thread costs more than
// it saves.
constexpr std::size_t kNotesInTwoFrom = 256;

void AddNotes(CCheckResult& result, bool notes, bool trimmed) {
  std::vector<CFinding*> unexplained;
  std::optional<CTrimmedLabels> labels;
  std::optional<CTrimmedReferences> references;
  for (CFinding& finding : result.findings) {
    if (finding.kind != FindingKind::notFound) continue;
    if (trimmed) {
      if (!labels) labels.emplace(*result.definitions);
      if (!references) references.emplace(result, *labels);
      if (references->Explain(finding, notes)) continue;
    }
    if (notes && LooksNumbered(finding)) {
      // "Patch[0]=1" or "Key[0,0]=0..128" means a built-in list of
      // numbers far more likely than a list of a close name.
      finding.note = MakeNote(NoteKind::numberedList, finding.place, finding.section,
                              NumberedListValueMessage());
      continue;
    }
    if (notes) unexplained.push_back(&finding);
  }
  // Built only once a file has a label not found, so a clean file costs no
  // index.
  if (unexplained.empty()) return;
  if (!labels) labels.emplace(*result.definitions);
  const CNoteFinder finder(*result.definitions, *result.references, *result.definitionIndex,
                           result.codePage);
  // Each finding's note depends on nothing but the lists, so the findings
  // can be split between two threads with the same result.
  const auto hint = [&](std::size_t begin, std::size_t end) {
    for (std::size_t i = begin; i < end; ++i) {
      CFinding& finding = *unexplained[i];
      if (const std::optional<CListHint> hint = finder.NoteFor(finding.name, finding.section)) {
        finding.note = ListNote(*hint, *result.definitions, result.codePage);
        if (!NamesOtherList(result, *labels, finding, hint->definition))
          finding.fix = ReferenceFix(finding, result.codePage);
      }
    }
  };
  RunInHalves(unexplained.size(), kNotesInTwoFrom, hint);
}

// The notes on lists not used that speak of lines the scan keeps nothing
// of: the header of no section a list stands after, and the first Patch or
// Key line that names a built-in list of numbers. They are looked for only
// when a list not used may need them, and cost memory for those lists
// alone, whatever the file holds.
class CUnusedListNotes {
 public:
  CUnusedListNotes(const CStdioFile& file, CCheckResult& result) : m_result(result) {
    std::vector<CFinding*> unused;
    bool numbered = false;
    for (CFinding& finding : result.findings) {
      if (finding.kind != FindingKind::unused || finding.note ||
          finding.section == kInstrumentDefinitions)
        continue;
      unused.push_back(&finding);
      numbered = numbered || IsNumberedList(finding);
    }
    if (unused.empty()) return;
    if (numbered) FindNumberedKeys(file);
    std::stable_sort(unused.begin(), unused.end(), [](const CFinding* a, const CFinding* b) {
      return a->place.lineOffset < b->place.lineOffset;
    });
    FindUnknownHeaders(file, unused);
    for (std::size_t i = 0; i < unused.size(); ++i) Explain(*unused[i], m_headerOf[i]);
  }

 private:
  static bool IsNumberedList(const CFinding& finding) {
    return NumberedListsName(finding.section) && IsNumberedListName(finding.name);
  }

  // A list named as a built-in list is rare: then every line is read.
  void FindNumberedKeys(const CStdioFile& file) {
    CLineSource source(file);
    source.ForEach([&](const CSourceLine& line) {
      const std::string_view text = line.text;
      if (!text.starts_with("Patch") && !text.starts_with("Key")) return true;
      const ReferenceKey* key = FindReferenceKey(text);
      const std::size_t equals = m_result.codePage.Find(text, '=');
      if (!key || equals == std::string_view::npos) return true;
      const std::string_view value = text.substr(equals + 1);
      if (!IsNumberedListName(value)) return true;
      auto& first = m_numberedKeys[{key->kind, std::string(value)}];
      if (first.line == 0) {
        first = line.PlaceOf(equals + 1, text.size());
        first.lineText = Keep(m_result, first.lineText);
      }
      return true;
    });
  }

  // For each of `unused`, in file order, the header of no section it stands
  // after, if any: the "." line last before it, found by a search for "."
  // after LF in the raw bytes, which costs far less than reading lines.
  void FindUnknownHeaders(const CStdioFile& file, const std::vector<CFinding*>& unused) {
    constexpr std::uint64_t kNone = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t last = kNone;  // the last "." line so far, if it names no section
    std::size_t next = 0;        // the first of `unused` not yet passed
    std::vector<std::uint64_t> headers(unused.size(), kNone);
    const auto passTo = [&](std::uint64_t offset) {
      for (; next < unused.size() && unused[next]->place.lineOffset < offset; ++next)
        headers[next] = last;
    };
    constexpr std::size_t kBlock = 1 << 18;
    std::vector<char> block(kBlock);
    char before = '\n';  // the byte before the block
    for (std::uint64_t offset = 0; next < unused.size();) {
      const std::size_t n = file.ReadBytesAt(offset, block.data(), kBlock);
      if (n == 0) break;
      const char* const begin = block.data();
      const char* const end = begin + n;
      const auto nextDot = [end](const char* from) {
        return static_cast<const char*>(
            std::memchr(from, '.', static_cast<std::size_t>(end - from)));
      };
      for (const char* dot = nextDot(begin); dot; dot = nextDot(dot + 1)) {
        if ((dot == begin ? before : dot[-1]) != '\n') continue;
        const std::uint64_t at = offset + static_cast<std::uint64_t>(dot - begin);
        passTo(at);
        // Every header is shorter than this.
        constexpr std::size_t kLongestHeader = 32;
        std::string_view text(dot, std::min<std::size_t>(kLongestHeader, end - dot));
        std::string read;
        if (text.size() < kLongestHeader) {
          read.resize(kLongestHeader);
          read.resize(file.ReadBytesAt(at, read.data(), read.size()));
          text = read;
        }
        last = FindSectionHeader(text) == kNoSection ? at : kNone;
      }
      before = end[-1];
      offset += n;
    }
    passTo(kNone);
    // Each header a note names, placed once.
    std::vector<std::uint64_t> named;
    for (const std::uint64_t header : headers)
      if (header != kNone && (named.empty() || named.back() != header)) named.push_back(header);
    const std::vector<int> lines = LinesOf(file, named);
    for (std::size_t i = 0; i < named.size(); ++i) {
      std::string text(kHeaderKept, '\0');
      text.resize(file.ReadBytesAt(named[i], text.data(), text.size()));
      text.resize(std::min({text.size(), text.find('\n'), text.find('\r')}));
      CPlace place;
      place.line = lines[i];
      place.lineOffset = named[i];
      place.end = static_cast<std::uint32_t>(text.size());
      place.lineText = Keep(m_result, text);
      m_headers[named[i]] = place;
    }
    for (const std::uint64_t header : headers)
      m_headerOf.push_back(header == kNone ? nullptr : &m_headers[header]);
  }

  // The physical line each of `offsets`, in file order, stands in: one
  // after each LF, CR LF or lone CR before it.
  static std::vector<int> LinesOf(const CStdioFile& file, const std::vector<std::uint64_t>& offsets) {
    std::vector<int> lines;
    constexpr std::size_t kBlock = 1 << 18;
    std::vector<char> block(kBlock);
    int line = 1;
    char previous = '\0';
    for (std::uint64_t offset = 0; lines.size() < offsets.size();) {
      const std::size_t n = file.ReadBytesAt(offset, block.data(), kBlock);
      if (n == 0) break;
      for (std::size_t i = 0; i < n && lines.size() < offsets.size(); ++i) {
        // A CR counts once the byte after it shows it is no CR LF.
        if (previous == '\r' && block[i] != '\n') ++line;
        if (offset + i == offsets[lines.size()]) lines.push_back(line);
        if (block[i] == '\n') ++line;
        previous = block[i];
      }
      offset += n;
    }
    lines.resize(offsets.size(), line);
    return lines;
  }

  void Explain(CFinding& finding, const CPlace* header) {
    if (IsNumberedList(finding)) {
      const auto it = m_numberedKeys.find({finding.section, std::string(finding.name)});
      const bool keyFound = it != m_numberedKeys.end();
      finding.note = MakeNote(NoteKind::numberedList, keyFound ? it->second : finding.place,
                              finding.section,
                              NumberedListNameMessage(finding.name, finding.section,
                                                      keyFound ? it->second.line : 0));
      return;
    }
    if (!header) return;
    finding.note = MakeNote(
        NoteKind::unknownHeader, *header, finding.section,
        UnknownHeaderMessage(m_result.codePage.ToUtf8(header->lineText.substr(0, 80)),
                             header->line, finding.section));
  }

  // Of a header's line, what a message quotes of it and a little more.
  static constexpr std::size_t kHeaderKept = 256;

  CCheckResult& m_result;
  std::map<std::uint64_t, CPlace> m_headers;  // by offset
  std::vector<const CPlace*> m_headerOf;      // for each list, in file order
  std::map<std::pair<int, std::string>, CPlace> m_numberedKeys;
};

// A UTF-8 byte-order mark makes the first line start with three bytes
// that are neither "." nor "[" nor a key, so that line is skipped. Worth a
// note only when the line would have counted.
std::optional<CNote> ByteOrderMarkNote(std::string_view firstPiece, const CCodePage& codePage) {
  if (!firstPiece.starts_with(kByteOrderMark)) return std::nullopt;
  std::string_view hidden = firstPiece.substr(kByteOrderMark.size());
  while (hidden.ends_with('\n') || hidden.ends_with('\r')) hidden.remove_suffix(1);
  hidden = hidden.substr(0, hidden.find('\r'));
  std::string_view what;
  if (FindSectionHeader(hidden) != kNoSection) {
    what = "section header";
  } else if (hidden.starts_with('[')) {
    what = "label line";
  } else if (FindReferenceKey(hidden)) {
    what = "key line";
  }
  if (what.empty()) return std::nullopt;
  CNote note;
  note.kind = NoteKind::byteOrderMark;
  note.line = 1;
  note.place.line = 1;
  note.place.end = static_cast<std::uint32_t>(kByteOrderMark.size());
  note.message = ByteOrderMarkMessage(codePage.ToUtf8(hidden), what);
  return note;
}

}  // namespace

CCheckResult CheckFile(CStdioFile& file, const CCheckOptions& options) {
  CCheckResult result;
  result.codePage = options.codePage;
  result.definitions = std::make_unique<CLabelList>();
  result.references = std::make_unique<CLabelList>();

  std::string firstPiece;
  file.SeekToBegin();
  file.ReadString(firstPiece);

  std::vector<CSuppression> suppressions;
  std::vector<CFinding> listFindings;
  std::vector<CBasedOnOwner> basedOnOwners;
  if (options.rules) result.lineEnd = FirstLineEnd(file);
  const std::uint64_t split = SplitPoint(file, options.splitFrom);
  const auto scan = [&] {
    ScanLabelsSplitAt(file, split, *result.definitions, *result.references, options.codePage,
                      &result.sections);
  };
  // The lists, once scanned: sorted, resolved and checked.
  const auto crossReferences = [&] {
    // One reading gives what a definitions pass and a references pass
    // would; the references play no part in sorting and pre-marking
    // definitions.
    CLabelList& definitions = *result.definitions;
    if (options.rules && ChecksBasedOn(*options.rules))
      basedOnOwners = FindBasedOnOwners(definitions, *result.references);
    // In the order they were read, which is the order of their memory; the
    // mark moves with its entry.
    for (int j = 0; j < definitions.GetCount(); ++j) {
      if (definitions.GetKind(j) == kInstrumentDefinitions) definitions.MarkUsed(j);
    }
    definitions.Sort(options.codePage);
    result.definitionIndex = std::make_unique<CDefinitionIndex>(definitions);
    result.resolution =
        ResolveReferences(definitions, *result.references, *result.definitionIndex);

    const auto findings = [&] {
      AddDuplicates(definitions, result.findings);
      AddUnmatched(definitions, FindingKind::unused, options.notes, result.findings);
      AddUnmatched(*result.references, FindingKind::notFound, false, result.findings);
      for (CFinding& finding : result.findings) {
        finding.message = FindingMessage(finding.kind, options.codePage.ToUtf8(finding.name),
                                         finding.firstPlace.line);
      }
      if (options.notes || options.rules) AddNotes(result, options.notes, options.rules != nullptr);
      if (options.notes) {
        if (std::optional<CNote> note = ByteOrderMarkNote(firstPiece, options.codePage))
          result.fileNotes.push_back(std::move(*note));
      }
    };
    // The list rules read the resolved lists and write only their own
    // findings, so they may run beside the cross-references' findings. Not
    // beside the notes, though: their index is the check's largest, and
    // the list rules' tables would add to it.
    std::vector<CReferenceNote> referenceNotes;
    const auto listRules = [&] {
      if (options.rules)
        LintLists(*options.rules, options.notes, result, basedOnOwners, listFindings,
                  &referenceNotes);
    };
    RunBothAtOnceIf(options.rules && !options.notes, findings, listRules);
    // Notes of the list rules on references not found, made after the
    // findings' own, which they replace.
    if (!referenceNotes.empty()) {
      std::unordered_map<const char*, CNote*> byName;
      for (CReferenceNote& note : referenceNotes)
        byName[result.references->At(note.reference).name.data()] = &note.note;
      for (CFinding& finding : result.findings) {
        if (finding.kind != FindingKind::notFound) continue;
        if (const auto it = byName.find(finding.name.data()); it != byName.end())
          finding.note = std::move(*it->second);
      }
    }
  };
  if (options.rules && options.rules->NeedsLinePass()) {
    // Every line is read for the rules anyway: the lists are taken from the
    // same reading, on as many threads as a scan would use. Only a line
    // longer than a piece, which reads as several, makes them scanned anew.
    CLabelLists labels{*result.definitions, *result.references, result.sections};
    if (!LintLines(file, *options.rules, options.notes, split > 0, result, suppressions, &labels)) {
      result.definitions = std::make_unique<CLabelList>();
      result.references = std::make_unique<CLabelList>();
      result.sections.clear();
      scan();
    }
    crossReferences();
  } else if (options.rules) {
    // The cross-references alone: the lines are read only for suppression
    // comments, and only when the file has one, which finding that out
    // takes a reading of its own. That reading, and the lines', write
    // nothing the cross-references read or write, so on a file large
    // enough to be read in parts they run beside them. A file read in one
    // piece is read from its position, which reading by position moves on
    // some systems: then one comes after the other.
    const auto lines = [&] {
      LintLines(file, *options.rules, options.notes, split > 0, result, suppressions);
    };
    const auto scanned = [&] {
      scan();
      crossReferences();
    };
    RunBothAtOnceIf(split > 0, scanned, lines);
  } else {
    scan();
    crossReferences();
  }
  // Read after every other reading of the file is done, for the lines it
  // keeps join those that the line rules keep.
  if (options.notes) CUnusedListNotes notes(file, result);
  if (options.rules) {
    // After the line rules' findings, as if the lists were linted last.
    result.ruleFindings.reserve(result.ruleFindings.size() + listFindings.size());
    for (CFinding& finding : listFindings) result.ruleFindings.push_back(std::move(finding));
    KeepNamingValues(result);
    KeepOddLinesWhole(file, result);
    ReportFindings(*options.rules, suppressions, result);
  }
  return result;
}

CCheckResult CheckBytes(std::string_view bytes, const CCheckOptions& options,
                        const std::string& name) {
  CStdioFile file;
  file.OpenMemory(bytes, name);
  return CheckFile(file, options);
}

CPlace PlaceIn(const CCheckResult& result, const CLabelEntry& entry) {
  const bool reference = entry.ownLineText && result.references->KeepsLineOf(entry);
  return (reference ? *result.references : *result.definitions).PlaceOf(entry);
}

int ColumnOf(std::string_view lineText, std::uint32_t offset, const CCodePage& codePage) {
  // Past the kept start of a very long line, each byte counts as one.
  const std::size_t kept = std::min<std::size_t>(offset, lineText.size());
  return static_cast<int>(codePage.CountCharacters(lineText.substr(0, kept)) +
                          (offset - kept)) + 1;
}

bool CCheckResult::ReportsErrorsOrWarnings() const {
  return std::any_of(reported.begin(), reported.end(), [](const CFinding* finding) {
    return finding->GetSeverity() != Severity::note;
  });
}
