// libFuzzer entry: each input is written to a scratch file and checked the
// way veltrane-check checks a file. Besides crashes and sanitizer reports it
// stops on results that break the engine's own promises: pieces longer than
// 254 characters or with a line end inside, bytes lost or invented by the
// reader, the two ways of reading disagreeing, unsorted definitions, a
// trailer that disagrees with the count, and a protocol file that differs
// from the protocol text.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "app/input_file.h"
#include "checker/check_run.h"
#include "checker/note_finder.h"
#include "checker/protocol.h"

namespace {

[[noreturn]] void Violated(const char* promise) {
  std::fprintf(stderr, "veltrane_fuzz: broken promise: %s\n", promise);
  std::abort();
}

void Expect(bool ok, const char* promise) {
  if (!ok) Violated(promise);
}

// A file in the temporary folder, made on first use and removed at exit.
class ScratchFile {
 public:
  explicit ScratchFile(const char* stem) {
    const char* dir = std::getenv("TMPDIR");
    m_path = std::string(dir && *dir ? dir : "/tmp") + "/" + stem + "-XXXXXX";
    const int fd = ::mkstemp(m_path.data());
    if (fd < 0) Violated("a scratch file can be made");
    ::close(fd);
  }
  ~ScratchFile() { ::unlink(m_path.c_str()); }
  const std::string& path() const { return m_path; }

 private:
  std::string m_path;
};

const std::string& InputPath() {
  static const ScratchFile file("veltrane-fuzz-input");
  return file.path();
}

const std::string& ProtocolPath() {
  static const ScratchFile file("veltrane-fuzz-protocol");
  return file.path();
}

void WriteAll(const std::string& path, std::string_view bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) Violated("the scratch file can be written");
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  if (std::fclose(f) != 0 || !ok) Violated("the scratch file can be written");
}

std::string ReadAll(const std::string& path) {
  std::string bytes;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return bytes;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;)
    bytes.append(buffer, n);
  std::fclose(f);
  return bytes;
}

// The file as text mode must hand it out: every CR LF as "\n", nothing else
// changed.
std::string TextModeView(std::string_view bytes) {
  std::string text;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
      continue;
    text.push_back(bytes[i]);
  }
  return text;
}

// Both ways of reading pieces must agree with that view, piece by piece.
void CheckPieces(std::string_view bytes) {
  CStdioFile copied, inPlace;
  if (!copied.Open(InputPath(), CFile::modeRead | CFile::typeText) ||
      !inPlace.Open(InputPath(), CFile::modeRead | CFile::typeText))
    Violated("the input opens");
  std::string piece, joined;
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
    joined += piece;
  }
  Expect(joined == TextModeView(bytes), "the pieces are the text, whole");
}

// The command line's answers: write to the scratch protocol, replacing it.
class FuzzHost : public CProtocolHost {
 public:
  int DoSaveDialog(const CFileDialogParams&, std::string& path) override {
    path = ProtocolPath();
    return IDOK;
  }
  int MessageBox(const std::string&, unsigned) override { return IDYES; }
  void ShellOpen(const std::string&) override {}
};

void CheckRun() {
  CCheckRun run;
  bool opened = false;
  run.m_pInputFile = OpenInputFile(InputPath(), opened);
  Expect(opened, "the input opens");
  run.m_strDisplayName = MakeDisplayName(InputPath());
  run.RunCheck();
  Expect(!run.m_pInputFile, "the check run releases the input");

  const CLabelList& defs = *run.m_pDefinitions;
  for (int j = 1; j < defs.GetCount(); ++j)
    Expect(defs.At(j - 1).name <= defs.At(j).name, "definitions are sorted");

  std::string text;
  const int errors = EmitProtocol(
      defs, *run.m_pReferences, run.m_strDisplayName,
      [&text](std::string_view piece) { text.append(piece); });
  Expect(text.ends_with("\nNumber of errors " + std::to_string(errors)),
         "the trailer gives the count");

  // Every note points at a definition that is there, under the section the
  // note names.
  const CNoteFinder notes(defs, *run.m_pReferences);
  for (int i = 0; i < run.m_pReferences->GetCount(); ++i) {
    const CLabelEntry& reference = run.m_pReferences->At(i);
    if (reference.used) continue;
    const std::optional<CNote> note = notes.NoteFor(reference.name, reference.kind);
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

  FuzzHost host;
  Expect(run.WriteProtocol(host) == CCheckRun::ProtocolOutcome::written,
         "the protocol is written");
  Expect(run.m_nErrorCount == errors, "the file counts what the text counts");
  Expect(ReadAll(ProtocolPath()) == text, "the file holds the text");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  WriteAll(InputPath(), bytes);
  CheckPieces(bytes);
  CheckRun();
  return 0;
}
