#include "checker/scanner.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "checker/both_at_once.h"

namespace {

struct SectionHeader {
  std::string_view literal;
  SectionKind kind;
};

// Tested in this order; a piece selects the first header it starts with.
constexpr SectionHeader kHeaders[] = {
    {".Patch Names", kPatchNames},
    {".Note Names", kNoteNames},
    {".Controller Names", kControllerNames},
    {".RPN Names", kRpnNames},
    {".NRPN Names", kNrpnNames},
    {".Instrument Definitions", kInstrumentDefinitions},
};

// Tested in this order.
constexpr ReferenceKey kKeys[] = {
    {kBasedOnKey, kNoSection, false}, {kControlKey, kControllerNames, false},
    {kRpnKey, kRpnNames, false},      {kNrpnKey, kNrpnNames, false},
    {kPatchKey, kPatchNames, true},   {kKeyKey, kNoteNames, true},
};

// Whether a piece that starts with `c` can be a label or key line. Most
// lines of a large file are entries such as "12=Warm Pad", which this
// passes over with one look-up.
constexpr auto kMayName = [] {
  std::array<bool, 256> may{};
  may[static_cast<unsigned char>('[')] = true;
  for (const ReferenceKey& key : kKeys) may[static_cast<unsigned char>(key.prefix.front())] = true;
  return may;
}();

// The first bytes of lines that neither name a label nor open a section,
// which the reader may pass over.
constexpr auto kPassOver = [] {
  std::array<bool, 256> pass{};
  for (std::size_t c = 0; c < pass.size(); ++c) pass[c] = !kMayName[c] && c != '.';
  return pass;
}();

}  // namespace

const std::array<bool, 256> kMayNameOrOpen = [] {
  std::array<bool, 256> may{};
  for (std::size_t c = 0; c < may.size(); ++c) may[c] = !kPassOver[c];
  return may;
}();

namespace {

// A piece that starts with "." never counts as a label or key line; it
// selects a section when it starts with one of the headers, and otherwise
// leaves the section as it was. Headers are kept with their physical line
// when `headers` is given.
void ApplyHeader(std::string_view piece, int line, int& kind, std::vector<CSectionHeader>* headers) {
  const int header = FindSectionHeader(piece);
  if (header == kNoSection) return;
  kind = header;
  if (headers) headers->push_back({line, header});
}

// The name of a label line whose first "]" is at `close` (npos: none).
std::string_view DefinitionName(std::string_view piece, std::size_t close) {
  if (close == std::string_view::npos || close < 1) return {};
  return piece.substr(1, close - 1);
}

// The value of a key line: all after the first "=", or the whole piece
// without one, less its line end.
std::string_view ReferenceValue(std::string_view piece, const CCodePage& codePage) {
  const std::size_t eq = codePage.Find(piece, '=');
  std::string_view value =
      eq == std::string_view::npos ? piece : piece.substr(eq + 1);
  if (value.ends_with('\n')) value.remove_suffix(1);
  return value;
}

// Follows the file's physical lines as its pieces come, so that each name
// can be placed as an editor shows it. A line ends at LF, CR LF (read as
// "\n", which ends a piece) or a lone CR (which stays inside a piece); a
// line longer than a piece goes on in the next one. Most lines are one
// piece of their own, and those cost a search for CR and nothing else.
class LineTracker {
 public:
  // Starts on `piece`, which begins at file offset `offset`; `hasCr` says
  // whether it holds a CR at all, as the reader found on its way.
  // Every piece passes through here, so the usual one, a line of its own
  // without a CR, costs a few instructions; the rest goes the long way.
  void BeginPiece(std::string_view piece, std::uint64_t offset, bool hasCr) {
    m_piece = piece;
    m_offset = offset;
    if (m_bAtLineStart) {
      ++m_line;
      m_lineStart = offset;
      m_bAtLineStart = false;
    }
    if (!m_crs.empty()) m_crs.clear();
    if (hasCr || !m_waiting.empty()) BeginUnusualPiece(hasCr);
  }

  // Places the name that starts at byte `begin` of the piece in `list`'s
  // entry `index`. Its line may end only in a later piece; then the entry
  // waits for it.
  void Place(CLabelList& list, int index, std::size_t begin) {
    std::size_t crsBefore = 0;
    while (crsBefore < m_crs.size() && m_crs[crsBefore] < begin) ++crsBefore;
    const bool startsHere = crsBefore > 0 || m_lineStart == m_offset;
    const std::size_t lineBegin = crsBefore > 0 ? m_crs[crsBefore - 1] + 1 : 0;
    const std::uint64_t lineStart = crsBefore > 0 ? m_offset + lineBegin : m_lineStart;

    const int line = m_line + static_cast<int>(crsBefore);
    const std::uint64_t nameBegin = m_offset + begin - lineStart;

    const bool endsHere = crsBefore < m_crs.size() || m_piece.ends_with('\n');
    if (endsHere) {
      const std::size_t lineEnd =
          crsBefore < m_crs.size() ? m_crs[crsBefore] : m_piece.size() - 1;
      const std::string_view tail = m_piece.substr(lineBegin, lineEnd - lineBegin);
      if (startsHere) {
        list.SetPlace(index, line, lineStart, nameBegin, tail, m_piece);
      } else {
        list.SetPlace(index, line, lineStart, nameBegin, Carried(tail));
      }
      return;
    }
    m_waiting.push_back(Waiting{&list, index, line, lineStart, nameBegin});
  }

  // Done with the piece: the lines it ended are complete.
  void EndPiece() {
    if (m_crs.empty() && m_carry.empty() && m_piece.ends_with('\n')) {
      m_bAtLineStart = true;
      return;
    }
    EndUnusualPiece();
  }

  // Whether the next piece starts a line, with nothing of earlier lines
  // pending.
  bool AtLineStart() const { return m_bAtLineStart; }
  // `count` whole lines, each a piece of its own, went by unseen.
  void PassLines(int count) { m_line += count; }
  // The number of the last physical line begun.
  int Lines() const { return m_line; }

  // The file ended: a line without an end is complete.
  void EndFile() { FinishWaiting(m_carry); }

 private:
  // A piece with lone CRs, or one that ends the line of waiting entries.
  void BeginUnusualPiece(bool hasCr) {
    if (hasCr) {
      for (std::size_t k = m_piece.find('\r'); k != std::string_view::npos;
           k = m_piece.find('\r', k + 1))
        m_crs.push_back(k);
    }
    // Entries of earlier pieces whose line ends in this one.
    if (!m_waiting.empty() && (!m_crs.empty() || m_piece.ends_with('\n'))) {
      const std::size_t lineEnd = m_crs.empty() ? m_piece.size() - 1 : m_crs.front();
      FinishWaiting(Carried(m_piece.substr(0, lineEnd)));
    }
  }

  void EndUnusualPiece() {
    const bool endsLine = m_piece.ends_with('\n');
    m_line += static_cast<int>(m_crs.size());
    const std::size_t rest = m_crs.empty() ? 0 : m_crs.back() + 1;
    if (!m_crs.empty()) {
      m_lineStart = m_offset + rest;
      m_carry.clear();
    }
    if (endsLine) {
      m_bAtLineStart = true;
      m_carry.clear();
    } else if (rest < m_piece.size()) {
      // Kept only for lines longer than a piece, which are rare, and only
      // up to a limit, so that a line of a gigabyte costs no gigabyte.
      const std::string_view more = m_piece.substr(rest);
      m_carry.append(more.substr(0, kMaxKeptLine - std::min(kMaxKeptLine, m_carry.size())));
    }
  }

  struct Waiting {
    CLabelList* list;
    int index;
    int line;
    std::uint64_t lineOffset;
    std::uint64_t begin;
  };

  // The most bytes of one line kept as its text.
  static constexpr std::size_t kMaxKeptLine = 64 * 1024;

  // The bytes of the line in earlier pieces followed by `tail`, within the
  // limit.
  std::string Carried(std::string_view tail) const {
    std::string text = m_carry;
    text.append(tail.substr(0, kMaxKeptLine - std::min(kMaxKeptLine, text.size())));
    return text;
  }

  void FinishWaiting(const std::string& lineText) {
    for (const Waiting& w : m_waiting)
      w.list->SetPlace(w.index, w.line, w.lineOffset, w.begin, lineText);
    m_waiting.clear();
  }

  std::string_view m_piece;
  std::uint64_t m_offset = 0;
  int m_line = 0;
  std::uint64_t m_lineStart = 0;
  bool m_bAtLineStart = true;
  std::vector<std::size_t> m_crs;  // lone CRs of the piece
  std::string m_carry;             // the line's bytes in earlier pieces
  std::vector<Waiting> m_waiting;  // entries whose line has not ended yet
};

// Line numbers are ints; a file of more pieces or physical lines than that
// is refused rather than numbered wrongly.
constexpr int kMaxLine = std::numeric_limits<int>::max();

// A section kind that stands for "whatever section the file's earlier part
// ended in", for a part of the file scanned before that is known.
constexpr int kEarlierSection = -1;

// What a pass counted: the pieces, the physical lines, and the section in
// force at its end.
struct PassEnd {
  int pieces = 0;
  int lines = 0;
  int kind = kNoSection;
};

// Runs one pass from the file's current position, which must be the start
// of a line, in section `kind`: every piece goes to `handle` with its line
// number and the current section kind, headers excepted.
template <typename Handler>
PassEnd ScanPass(CStdioFile& file, int kind, Handler handle,
                 std::vector<CSectionHeader>* headers = nullptr) {
  int line = 0;
  LineTracker lines;
  // Pieces are read in place: most lines are skipped, and a skipped line
  // should cost no copy.
  std::string_view piece;
  for (;;) {
    // Too many pieces come of 2 GiB of empty lines; too many physical lines
    // of lone CRs, up to 254 in one piece.
    if (lines.AtLineStart()) {
      const std::uint64_t passed = file.SkipPieces(kPassOver);
      if (passed > static_cast<std::uint64_t>(kMaxLine - std::max(line, lines.Lines())))
        throw CFileException(file.GetFilePath(), EFBIG);
      line += static_cast<int>(passed);
      lines.PassLines(static_cast<int>(passed));
    }
    if (!file.ReadPiece(piece)) break;
    if (line == kMaxLine || lines.Lines() > kMaxLine - static_cast<int>(CStdioFile::kMaxPiece) - 1)
      throw CFileException(file.GetFilePath(), EFBIG);
    ++line;
    lines.BeginPiece(piece, file.GetPieceOffset(), file.PieceHasCr());
    if (piece.front() == '.')
      ApplyHeader(piece, lines.Lines(), kind, headers);
    else if (kMayName[static_cast<unsigned char>(piece.front())])
      handle(piece, line, kind, lines);
    lines.EndPiece();
  }
  lines.EndFile();
  return PassEnd{line, lines.Lines(), kind};
}

// Adds what the label or key line `piece` names, if anything, to `definitions`
// or `references`, and places it.
void AddLabel(std::string_view piece, int line, int kind, CLabelList& definitions,
              CLabelList& references, const CCodePage& codePage, LineTracker& lines) {
  const std::optional<CLabelLine> label = ReadLabelLine(piece, kind, codePage);
  if (!label) return;
  CLabelList& list = AddLabelLine(*label, piece, line, definitions, references);
  lines.Place(list, list.GetCount() - 1, label->nameBegin);
}

// Scans both parts of `file` split at `split`, the later one on a thread of
// its own, each with the handler `makeHandler` makes for its two lists. The
// later part's entries are appended to the lists as if one pass had read
// the whole file.
template <typename MakeHandler>
void ScanInParts(CStdioFile& file, std::uint64_t split, CLabelList& definitions,
                 CLabelList& references, std::vector<CSectionHeader>* headers,
                 MakeHandler makeHandler) {
  CStdioFile first;
  CStdioFile second;
  first.OpenPart(file, 0, split);
  second.OpenPart(file, split, std::numeric_limits<std::uint64_t>::max());
  CLabelList secondDefinitions;
  CLabelList secondReferences;
  std::vector<CSectionHeader> secondHeaders;
  PassEnd firstEnd;
  PassEnd secondEnd;
  RunBothAtOnce(
      [&] {
        firstEnd = ScanPass(first, kNoSection, makeHandler(definitions, references), headers);
      },
      [&] {
        secondEnd = ScanPass(second, kEarlierSection,
                             makeHandler(secondDefinitions, secondReferences),
                             headers ? &secondHeaders : nullptr);
      });

  if (secondEnd.pieces > kMaxLine - firstEnd.pieces || secondEnd.lines > kMaxLine - firstEnd.lines)
    throw CFileException(file.GetFilePath(), EFBIG);
  const auto shift = [&firstEnd](CLabelEntry& entry) {
    entry.line += firstEnd.pieces;
    if (entry.placeLine > 0) entry.placeLine += firstEnd.lines;
    if (entry.kind == kEarlierSection) entry.kind = static_cast<std::int16_t>(firstEnd.kind);
  };
  definitions.Append(secondDefinitions, shift);
  references.Append(secondReferences, shift);
  if (headers) {
    for (CSectionHeader header : secondHeaders) {
      header.line += firstEnd.lines;
      headers->push_back(header);
    }
  }
}

}  // namespace

std::uint64_t SplitPoint(const CStdioFile& file, std::uint64_t splitFrom) {
  const std::uint64_t size = file.GetSourceLength();
  if (size < splitFrom || size < 2) return 0;
  return LineStartFrom(file, size / 2);
}

std::uint64_t LineStartFrom(const CStdioFile& file, std::uint64_t from) {
  // A line of more than this from `from` on is not looked through.
  constexpr std::uint64_t kMaxSearch = 1 << 20;
  CStdioFile probe;
  probe.OpenPart(file, from, from + kMaxSearch);
  std::string_view piece;
  while (probe.ReadPiece(piece)) {
    if (!piece.ends_with('\n')) continue;
    // The piece after it starts where the LF ends.
    if (!probe.ReadPiece(piece)) return 0;
    return probe.GetPieceOffset();
  }
  return 0;
}

int FindSectionHeader(std::string_view piece) {
  for (const SectionHeader& header : kHeaders) {
    if (piece.starts_with(header.literal)) return header.kind;
  }
  return kNoSection;
}

const ReferenceKey* FindReferenceKey(std::string_view piece) {
  for (const ReferenceKey& key : kKeys) {
    if (piece.starts_with(key.prefix)) return &key;
  }
  return nullptr;
}

std::optional<CLabelLine> ReadLabelLine(std::string_view piece, int section,
                                       const CCodePage& codePage) {
  if (piece.empty()) return std::nullopt;
  CLabelLine label;
  if (piece.front() == '[') {
    const std::size_t close = codePage.Find(piece, ']');
    label.definition = true;
    label.name = DefinitionName(piece, close);
    label.kind = section;
    label.unclosed = close == std::string_view::npos;
    label.nameBegin = 1;
    return label;
  }
  const ReferenceKey* key = FindReferenceKey(piece);
  if (!key) return std::nullopt;
  const std::string_view value = ReferenceValue(piece, codePage);
  if (key->numberedListsOk && IsNumberedListName(value)) return std::nullopt;
  label.name = value;
  label.kind = key->kind == kNoSection ? section : key->kind;
  label.nameBegin = static_cast<std::size_t>(value.data() - piece.data());
  return label;
}

CLabelList& AddLabelLine(const CLabelLine& label, std::string_view piece, int line,
                         CLabelList& definitions, CLabelList& references) {
  CLabelList& list = label.definition ? definitions : references;
  list.Add(label.name, line, piece, label.kind);
  if (label.unclosed) list.MarkUnclosed(list.GetCount() - 1);
  return list;
}

bool IsNumberedListName(std::string_view value) {
  return std::find(std::begin(kNumberedLists), std::end(kNumberedLists), value) !=
         std::end(kNumberedLists);
}

bool NumberedListsName(int kind) {
  return std::any_of(std::begin(kKeys), std::end(kKeys), [kind](const ReferenceKey& key) {
    return key.numberedListsOk && key.kind == kind;
  });
}

std::string_view SectionHeaderText(int kind) {
  for (const SectionHeader& header : kHeaders) {
    if (header.kind == kind) return header.literal;
  }
  return "no section";
}

void ScanDefinitions(CStdioFile& file, CLabelList& definitions, const CCodePage& codePage) {
  file.SeekToBegin();
  CLabelList references;
  ScanPass(file, kNoSection, [&](std::string_view piece, int line, int kind, LineTracker& lines) {
    if (piece.front() == '[') AddLabel(piece, line, kind, definitions, references, codePage, lines);
  });
}

void ScanReferences(CStdioFile& file, CLabelList& references, const CCodePage& codePage) {
  file.SeekToBegin();
  CLabelList definitions;
  ScanPass(file, kNoSection, [&](std::string_view piece, int line, int kind, LineTracker& lines) {
    if (piece.front() != '[') AddLabel(piece, line, kind, definitions, references, codePage, lines);
  });
}

void ScanLabels(CStdioFile& file, CLabelList& definitions, CLabelList& references,
                const CCodePage& codePage, std::uint64_t splitFrom,
                std::vector<CSectionHeader>* headers) {
  ScanLabelsSplitAt(file, SplitPoint(file, splitFrom), definitions, references, codePage, headers);
}

void ScanLabelsSplitAt(CStdioFile& file, std::uint64_t split, CLabelList& definitions,
                       CLabelList& references, const CCodePage& codePage,
                       std::vector<CSectionHeader>* headers) {
  const auto makeHandler = [&codePage](CLabelList& defs, CLabelList& refs) {
    return [&defs, &refs, &codePage](std::string_view piece, int line, int kind,
                                     LineTracker& lines) {
      AddLabel(piece, line, kind, defs, refs, codePage, lines);
    };
  };
  if (split > 0) {
    ScanInParts(file, split, definitions, references, headers, makeHandler);
    return;
  }
  // After SplitPoint's positional reads, which on Windows move the file's
  // position.
  file.SeekToBegin();
  ScanPass(file, kNoSection, makeHandler(definitions, references), headers);
}
