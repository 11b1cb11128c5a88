// libFuzzer entry: each input is checked the way veltrane-check checks a
// file, read from memory through the same reader, buffer and edges as a
// file. Besides crashes and sanitizer reports it stops on results that
// break the engine's own promises: pieces longer than 254 characters or
// with a line end inside, bytes lost or invented by the reader, the two ways
// of reading disagreeing, unsorted definitions, a trailer that disagrees
// with the count, notes that name no definition of the file. Inputs are read
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

#include "checker/input_file.h"
#include "checker/check_run.h"
#include "checker/note_finder.h"
#include "checker/protocol.h"
#include "fuzz/promise.h"
#include "fuzz/scratch_folder.h"

namespace {

// Chosen by the input's bytes rather than by a counter, so that a finding
// replays the same way on its own.
constexpr std::size_t kFileSample = 64;
// The notes' index costs more than the whole check of a small file, so its
// promises are checked on one input in kNotesSample, chosen the same way.
constexpr std::size_t kNotesSample = 8;

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

// Both ways of reading pieces, `copied` by ReadString and `inPlace` by
// ReadPiece, must give the bytes in text mode, piece by piece alike.
void CheckPieces(CStdioFile& copied, CStdioFile& inPlace, std::string_view bytes) {
  std::string piece;
  std::string_view view;
  for (;;) {
    const bool more = copied.ReadString(piece);
    Expect(inPlace.ReadPiece(view) == more, "both readers end together");
    if (!more) break;
    Expect(view == piece, "both readers give the same piece");
    Expect(!piece.empty() && piece.size() <= CStdioFile::kMaxPiece,
           "a piece has 1 to 254 characters");
    Expect(piece.find('\n') == std::string::npos ||
               piece.find('\n') == piece.size() - 1,
           "a line end only ends a piece");
    Expect(TakeTextModePiece(bytes, piece), "a piece is the next of the text");
  }
  Expect(bytes.empty(), "the pieces are the text, whole");
}

// The command line's answers: write to the scratch protocol, replacing it.
class FuzzHost : public CProtocolHost {
 public:
  int DoSaveDialog(const CFileDialogParams&, std::string& path) override {
    path = Scratch().File("protocol.txt");
    return IDOK;
  }
  int MessageBox(const std::string&, unsigned) override { return IDYES; }
  void ShellOpen(const std::string&) override {}
};

// Every note points at a definition that is there, under the section the
// note names.
// The finder is made only for a file with a reference not found, as
// veltrane-check makes it.
void CheckNotes(const CLabelList& defs, const CLabelList& references) {
  std::optional<CNoteFinder> notes;
  for (int i = 0; i < references.GetCount(); ++i) {
    const CLabelEntry& reference = references.At(i);
    if (reference.used) continue;
    if (!notes) notes.emplace(defs, references);
    const std::optional<CNote> note = notes->NoteFor(reference.name, reference.kind);
    if (!note) continue;
    bool listed = false;
    for (int j = 0; j < defs.GetCount(); ++j) {
      const CLabelEntry& d = defs.At(j);
      if (d.line == note->line && d.name == note->name && d.kind == note->section) listed = true;
    }
    Expect(listed, "a note names a definition of the file");
    Expect(note->wanted == reference.kind, "a note is for the reference's section");
    if (note->kind == CNote::Kind::closeName)
      Expect(note->section == reference.kind && !note->name.empty(),
             "a close name is a named list of the right section");
  }
}

// Runs the check on `input`, which must be open, in `codePage`, and returns
// the protocol text with its count in `errors`.
std::string CheckRun(CCheckRun& run, std::unique_ptr<CStdioFile> input,
                     const CCodePage& codePage, int& errors) {
  run.m_pInputFile = std::move(input);
  run.m_strDisplayName = MakeDisplayName(InputPath());
  run.m_codePage = codePage;
  run.RunCheck();
  Expect(!run.m_pInputFile, "the check run releases the input");

  const CLabelList& defs = *run.m_pDefinitions;
  for (int j = 1; j < defs.GetCount(); ++j)
    Expect(codePage.Compare(defs.At(j - 1).name, defs.At(j).name) <= 0,
           "definitions are sorted");

  std::string text;
  errors = EmitProtocol(defs, *run.m_pReferences, run.m_strDisplayName,
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
  CheckPieces(*OpenFile(), *OpenBytes(bytes), bytes);

  CCheckRun run;
  int fileErrors = 0;
  Expect(CheckRun(run, OpenFile(), codePage, fileErrors) == text,
         "a file and memory give the same protocol");
  FuzzHost host;
  Expect(run.WriteProtocol(host) == CCheckRun::ProtocolOutcome::written,
         "the protocol is written");
  Expect(run.m_nErrorCount == errors && fileErrors == errors,
         "the file counts what the text counts");
  Expect(ReadWholeFile(Scratch().File("protocol.txt")) == text,
         "the file holds the text");
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
  CheckPieces(*OpenBytes(bytes), *OpenBytes(bytes), bytes);
  CCheckRun run;
  int errors = 0;
  const std::string text = CheckRun(run, OpenBytes(bytes), codePage, errors);
  if (hash / kFileSample / std::size(kCodePages) % kNotesSample == 0)
    CheckNotes(*run.m_pDefinitions, *run.m_pReferences);
  if (hash % kFileSample == 0) CheckThroughFiles(bytes, codePage, text, errors);
  return 0;
}
