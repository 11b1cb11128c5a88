// The notes of a check: what explains its findings.
#include "checker/notes/check_notes.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "checker/both_at_once.h"
#include "checker/finding_text.h"
#include "checker/fix/reference_fix.h"
#include "checker/fix/trimmed_reference_fix.h"
#include "checker/line_source.h"
#include "checker/notes/note_finder.h"
#include "checker/scanner.h"

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

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

// Whether `finding`, a reference not found, is a Patch or Key value that
// holds digits, dots and dashes only: a number, or a range written other
// than as a built-in list's name.
bool LooksNumbered(const CFinding& finding) {
  if (!NumberedListsName(finding.section)) return false;
  const std::string_view value = TrimBlanks(finding.name);
  return value.find_first_of("0123456789") != std::string_view::npos &&
         value.find_first_not_of("0123456789.-") == std::string_view::npos;
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
      if (!text.starts_with(kPatchKey) && !text.starts_with(kKeyKey)) return true;
      const ReferenceKey* key = FindReferenceKey(text);
      const std::size_t equals = m_result.codePage.Find(text, '=');
      if (!key || equals == std::string_view::npos) return true;
      const std::string_view value = text.substr(equals + 1);
      if (!IsNumberedListName(value)) return true;
      auto& first = m_numberedKeys[{key->kind, std::string(value)}];
      if (first.line == 0) {
        first = line.PlaceOf(equals + 1, text.size());
        first.lineText = m_result.kept.Keep(first.lineText);
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
      place.lineText = m_result.kept.Keep(text);
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

}  // namespace

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
    CNoteFinder::CScratch scratch;
    for (std::size_t i = begin; i < end; ++i) {
      CFinding& finding = *unexplained[i];
      if (const std::optional<CListHint> hint =
              finder.NoteFor(finding.name, finding.section, scratch)) {
        finding.note = ListNote(*hint, *result.definitions, result.codePage);
        if (!NamesOtherList(result, *labels, finding, hint->definition))
          finding.fix = ReferenceFix(finding, result.codePage);
      }
    }
  };
  RunInHalves(unexplained.size(), kNotesInTwoFrom, hint);
}

void AddUnusedListNotes(const CStdioFile& file, CCheckResult& result) {
  CUnusedListNotes notes(file, result);
}

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

