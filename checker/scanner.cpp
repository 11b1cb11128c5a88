#include "checker/scanner.h"

#include <cerrno>
#include <limits>
#include <string_view>

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

struct ReferenceKey {
  std::string_view prefix;
  int kind;              // kNoSection here means "the current section"
  bool numberedListsOk;  // "1..128" and "0..127" name built-in lists
};

// Tested in this order: "NRPN" never shadows "RPN" because no piece starts
// with both, and "Control" also catches "Controller..." lines on purpose.
constexpr ReferenceKey kKeys[] = {
    {"BasedOn", kNoSection, false},   {"Control", kControllerNames, false},
    {"RPN", kRpnNames, false},        {"NRPN", kNrpnNames, false},
    {"Patch", kPatchNames, true},     {"Key", kNoteNames, true},
};

// A piece that starts with "." never counts as a label or key line; it
// selects a section when it starts with one of the headers, and otherwise
// leaves the section as it was.
void ApplyHeader(std::string_view piece, int& kind) {
  for (const SectionHeader& header : kHeaders) {
    if (piece.starts_with(header.literal)) {
      kind = header.kind;
      return;
    }
  }
}

std::string_view DefinitionName(std::string_view piece, const CCodePage& codePage) {
  const std::size_t close = codePage.Find(piece, ']');
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

const ReferenceKey* FindKey(std::string_view piece) {
  for (const ReferenceKey& key : kKeys) {
    if (piece.starts_with(key.prefix)) return &key;
  }
  return nullptr;
}

// Runs one pass: every piece goes to `handle` with its line number and the
// current section kind, headers excepted.
template <typename Handler>
void ScanPass(CStdioFile& file, Handler handle) {
  file.SeekToBegin();
  int kind = kNoSection;
  int line = 0;
  // Pieces are read in place: most lines are skipped, and a skipped line
  // should cost no copy.
  std::string_view piece;
  while (file.ReadPiece(piece)) {
    // Line numbers are ints; a file of more pieces than that (2 GiB of
    // empty lines) is refused rather than numbered wrongly.
    if (line == std::numeric_limits<int>::max())
      throw CFileException(file.GetFilePath(), EFBIG);
    ++line;
    if (piece.front() == '.')
      ApplyHeader(piece, kind);
    else
      handle(piece, line, kind);
  }
}

void AddDefinition(std::string_view piece, int line, int kind, CLabelList& definitions,
                   const CCodePage& codePage) {
  if (piece.front() != '[') return;
  definitions.Add(DefinitionName(piece, codePage), line, piece, kind);
}

void AddReference(std::string_view piece, int line, int kind, CLabelList& references,
                  const CCodePage& codePage) {
  const ReferenceKey* key = FindKey(piece);
  if (!key) return;
  const std::string_view value = ReferenceValue(piece, codePage);
  if (key->numberedListsOk && (value == "1..128" || value == "0..127")) return;
  references.Add(value, line, piece, key->kind == kNoSection ? kind : key->kind);
}

}  // namespace

std::string_view SectionHeaderText(int kind) {
  for (const SectionHeader& header : kHeaders) {
    if (header.kind == kind) return header.literal;
  }
  return "no section";
}

void ScanDefinitions(CStdioFile& file, CLabelList& definitions, const CCodePage& codePage) {
  ScanPass(file, [&](std::string_view piece, int line, int kind) {
    AddDefinition(piece, line, kind, definitions, codePage);
  });
}

void ScanReferences(CStdioFile& file, CLabelList& references, const CCodePage& codePage) {
  ScanPass(file, [&](std::string_view piece, int line, int kind) {
    AddReference(piece, line, kind, references, codePage);
  });
}

void ScanLabels(CStdioFile& file, CLabelList& definitions, CLabelList& references,
                const CCodePage& codePage) {
  // A piece that starts with "[" is never a key line, so at most one of the
  // two adds an entry.
  ScanPass(file, [&](std::string_view piece, int line, int kind) {
    AddDefinition(piece, line, kind, definitions, codePage);
    AddReference(piece, line, kind, references, codePage);
  });
}
