// libFuzzer entry: each input is checked the way veltrane-check checks a
// file, read from memory through the same reader, buffer and edges as a
// file. Besides crashes and sanitizer reports it stops on results that
// break the engine's own promises: pieces longer than 254 characters or
// with a line end inside, bytes lost or invented by the reader, piece
// offsets that are not where the piece starts, unsorted definitions, a
// trailer that disagrees with the count, findings placed anywhere but on
// their name in the line as an editor counts lines, notes that name no
// list a reference could reach, a scan in two halves that differs from one
// reading. Inputs are read
// byte by byte or in a double-byte code page, chosen by their bytes. One
// input in kFileSample also goes through a real input file and a real
// protocol file (consent, open, write, close), which must read and hold
// exactly what memory gave.
#include <cstdint>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "checker/input_file.h"
#include "checker/check_run.h"
#include "checker/protocol.h"
#include "checker/protocol_file.h"
#include "checker/rules/rule_selection.h"
#include "fuzz/promise.h"
#include "fuzz/scratch_folder.h"
#include "tests/result_digest.h"

namespace {

// Chosen by the input's bytes rather than by a counter, so that a finding
// replays the same way on its own.
constexpr std::size_t kFileSample = 64;
// The notes' index costs more than the whole check of a small file, so its
// promises are checked on one input in kNotesSample, chosen the same way.
constexpr std::size_t kNotesSample = 8;
// Large files are scanned, and their lines linted, as two halves at once;
// one input in kHalvesSample is checked that way too, without rules and
// with every rule on, which must give the same result to the last place
// and flag. A thread costs a few milliseconds under the sanitizers,
// so that a larger share would slow the whole run down by a quarter.
constexpr std::size_t kHalvesSample = 16;

const ScratchFolder& Scratch() {
  static const ScratchFolder folder("veltrane-fuzz");
  return folder;
}

// The protocol names this file in both ways of checking, so that their texts
// can be compared byte for byte.
const std::string& InputPath() {
  static const std::string path = Scratch().File("input.ins");
  return path;
}

// Takes `piece` off the front of `bytes` as text mode must hand them out:
// every CR LF as "\n", nothing else changed. False when they differ.
bool TakeTextModePiece(std::string_view& bytes, std::string_view piece) {
  for (const char c : piece) {
    const std::size_t taken = bytes.starts_with("\r\n") ? 2 : 1;
    const char expected = taken == 2 ? '\n' : bytes.empty() ? '\0' : bytes.front();
    if (bytes.empty() || c != expected) return false;
    bytes.remove_prefix(taken);
  }
  return true;
}

// The reader must give the bytes in text mode, piece by piece, each with
// the offset where it starts in the bytes. ReadString is a copy of
// ReadPiece, so reading the copy checks both.
void CheckPieces(CStdioFile& file, std::string_view bytes) {
  const std::size_t size = bytes.size();
  std::string piece;
  while (file.ReadString(piece)) {
    Expect(file.GetPieceOffset() == size - bytes.size(), "a piece's offset is where it starts");
    Expect(!piece.empty() && piece.size() <= CStdioFile::kMaxPiece,
           "a piece has 1 to 254 characters");
    Expect(piece.find('\n') == std::string::npos ||
               piece.find('\n') == piece.size() - 1,
           "a line end only ends a piece");
    Expect(TakeTextModePiece(bytes, piece), "a piece is the next of the text");
  }
  Expect(bytes.empty(), "the pieces are the text, whole");
}

// The lines of `bytes` as editors count them: the offset each starts at.
std::vector<std::size_t> LineStarts(std::string_view bytes) {
  std::vector<std::size_t> starts = {0};
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\n' || (bytes[i] == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n')))
      starts.push_back(i + 1);
  }
  return starts;
}

// A place is on its name: in the line it says, which starts where it says
// and holds what it says, and the name's bytes stand at its range.
void CheckPlace(const CPlace& place, std::string_view name, std::string_view bytes,
                const std::vector<std::size_t>& starts) {
  Expect(place.line >= 1 && static_cast<std::size_t>(place.line) <= starts.size(),
         "a place is in a line of the file");
  if (place.line < 1 || static_cast<std::size_t>(place.line) > starts.size()) return;
  const std::size_t start = starts[static_cast<std::size_t>(place.line) - 1];
  Expect(place.lineOffset == start, "a place's line starts where the line does");
  std::size_t end = static_cast<std::size_t>(place.line) < starts.size()
                        ? starts[static_cast<std::size_t>(place.line)] - 1
                        : bytes.size();
  if (end > start && bytes[end - 1] == '\r' && end < bytes.size() && bytes[end] == '\n') --end;
  const std::string_view line = bytes.substr(start, end - start);
  Expect(place.lineText == line.substr(0, place.lineText.size()) &&
             (place.lineText.size() == line.size() || place.lineText.size() == 64 * 1024),
         "a place holds its whole line");
  Expect(place.begin <= place.end && place.end <= line.size(), "a name's range is in its line");
  Expect(line.substr(place.begin, place.end - place.begin) ==
             name.substr(0, place.end - place.begin),
         "a place's range holds the name");
  Expect(place.end - place.begin == name.size() || place.end == line.size(),
         "only a line end cuts a name's range short");
}

// Every finding is placed on its name; every note that names a list names
// one a reference could reach, of the file, under the section it says.
void CheckResult(const CCheckResult& result, std::string_view bytes) {
  const std::vector<std::size_t> starts = LineStarts(bytes);
  const CLabelList& defs = *result.definitions;
  for (const CFinding& finding : result.findings) {
    CheckPlace(finding.place, finding.name, bytes, starts);
    if (finding.kind == FindingKind::duplicate)
      CheckPlace(finding.firstPlace, finding.name, bytes, starts);
    if (!finding.note || !RuleOf(finding.note->kind).suggestsList) continue;
    const CNote& note = *finding.note;
    Expect(finding.kind == FindingKind::notFound, "only a reference not found gets a list");
    bool listed = false;
    for (int j = 0; j < defs.GetCount(); ++j) {
      const CLabelEntry& d = defs.At(j);
      if (d.line == note.line && d.name == note.name && d.kind == note.section &&
          !d.shadowed && !d.name.empty())
        listed = true;
    }
    Expect(listed, "a note names a reachable list of the file");
    Expect(note.wanted == finding.section, "a note is for the reference's section");
    CheckPlace(note.place, note.name, bytes, starts);
    if (note.kind == NoteKind::closeName)
      Expect(note.section == finding.section, "a close name is a list of the right section");
  }
}

// Runs the check on `input`, which must be open, in `codePage`, and returns
// the protocol text with its count in `errors`.
std::string CheckRun(CCheckedInput& checked, std::unique_ptr<CStdioFile> input,
                     const CCheckOptions& options, int& errors) {
  checked = CheckInputFile(input, options);
  Expect(!input, "the check releases the input");
  const CCodePage& codePage = options.codePage;

  const CLabelList& defs = *checked.result.definitions;
  for (int j = 1; j < defs.GetCount(); ++j)
    Expect(codePage.Compare(defs.At(j - 1).name, defs.At(j).name) <= 0,
           "definitions are sorted");

  std::string text;
  errors = EmitProtocol(checked.result, MakeDisplayName(InputPath()),
                        [&text](std::string_view piece) { text.append(piece); });
  Expect(text.ends_with("\nNumber of errors " + std::to_string(errors)),
         "the trailer gives the count");
  return text;
}

std::unique_ptr<CStdioFile> OpenBytes(std::string_view bytes) {
  auto file = std::make_unique<CStdioFile>();
  file->OpenMemory(bytes, InputPath());
  return file;
}

std::unique_ptr<CStdioFile> OpenFile() {
  bool opened = false;
  auto file = OpenInputFile(InputPath(), opened);
  Expect(opened, "the input opens");
  return file;
}

// The file layer: the input read from a file must give what memory gave,
// and the protocol file must hold the text.
void CheckThroughFiles(std::string_view bytes, const CCodePage& codePage,
                       const std::string& text, int errors) {
  WriteWholeFile(InputPath(), bytes);
  CheckPieces(*OpenFile(), bytes);

  CCheckedInput checked;
  int fileErrors = 0;
  Expect(CheckRun(checked, OpenFile(), CCheckOptions{codePage, false}, fileErrors) == text,
         "a file and memory give the same protocol");
  std::unique_ptr<CStdioFile> protocolFile;
  CFileException openError;
  Expect(WriteProtocolFile(Scratch().File("protocol.txt"), checked.result,
                           MakeDisplayName(InputPath()), checked.Status(), [] { return true; },
                           protocolFile, openError) == ProtocolFileOutcome::written,
         "the protocol is written");
  Expect(checked.result.ErrorCount() == errors && fileErrors == errors,
         "the file counts what the text counts");
  Expect(ReadWholeFile(Scratch().File("protocol.txt")) == text,
         "the file holds the text");
}

// Every rule on: the protocol's findings stay as they were, and every
// reported finding stands in the file, in order of places, with a fix whose
// edits lie in the file, in order and apart.
void CheckRules(std::string_view bytes, const CCodePage& codePage, bool notes,
                const CCheckResult& plain, bool halves) {
  static const CRuleSelection kAll = SelectRules(std::vector<std::string>{"ALL"}, {});
  CCheckOptions options{codePage, notes};
  options.rules = &kAll;
  const CCheckResult result = CheckBytes(bytes, options, InputPath());
  if (halves) {
    CCheckOptions inParts = options;
    inParts.splitFrom = 1;
    Expect(DigestOf(CheckBytes(bytes, inParts, InputPath())) == DigestOf(result),
           "the rules in two parts at once report what one reading reports");
  }
  Expect(result.ErrorCount() == plain.ErrorCount(), "rules leave the protocol's count");
  int line = 0;
  for (const CFinding* finding : result.reported) {
    const CPlace& place = finding->place;
    Expect(place.line >= line, "findings come by place");
    line = place.line;
    Expect(place.line >= 1 && place.lineOffset <= bytes.size(), "a finding has a place");
    Expect(place.begin <= place.end, "a range is in order");
    const std::string_view text = place.lineText;
    Expect(bytes.substr(place.lineOffset, text.size()) == text,
           "a finding's line is the file's line");
    if (!finding->fix) continue;
    std::uint64_t end = 0;
    for (const CEdit& edit : finding->fix->edits) {
      Expect(edit.begin >= end && edit.begin <= edit.end && edit.end <= bytes.size(),
             "a fix's edits lie in the file, in order and apart");
      end = edit.end;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::size_t hash = std::hash<std::string_view>()(bytes);
  // Byte by byte most of the time, as on Linux; the double-byte code pages
  // with their different lead-byte ranges now and then.
  static const CCodePage kCodePages[] = {CCodePage(), CCodePage(),
                                         *CCodePage::FromNumber(932),
                                         *CCodePage::FromNumber(936)};
  const CCodePage& codePage = kCodePages[(hash / kFileSample) % std::size(kCodePages)];
  CheckPieces(*OpenBytes(bytes), bytes);
  // Notes are made on a sample only: see kNotesSample.
  const bool notes = hash / kFileSample / std::size(kCodePages) % kNotesSample == 0;
  CCheckedInput checked;
  int errors = 0;
  const std::string text = CheckRun(checked, OpenBytes(bytes), CCheckOptions{codePage, notes}, errors);
  CheckResult(checked.result, bytes);
  if (hash / 7 % kHalvesSample == 0) {
    CCheckOptions halves{codePage, notes};
    halves.splitFrom = 1;
    Expect(DigestOf(CheckBytes(bytes, halves, InputPath())) == DigestOf(checked.result),
           "two halves at once give what one reading gives");
  }
  CheckRules(bytes, codePage, notes, checked.result, hash / 11 % kHalvesSample == 0);
  if (hash % kFileSample == 0) CheckThroughFiles(bytes, codePage, text, errors);
  return 0;
}
