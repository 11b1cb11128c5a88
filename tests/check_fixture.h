// Runs the engine over a file made from a string, as the dialog and the
// command line do, and reads which lists and references it found used.
#ifndef VELTRANE_TESTS_CHECK_FIXTURE_H_
#define VELTRANE_TESTS_CHECK_FIXTURE_H_

#include <ostream>
#include <string>

#include "checker/check_run.h"
#include "tests/test_util.h"

// Writes `content` to a file in `dir`, opens it as the input file and
// checks it.
inline CCheckedInput CheckContent(const ScratchDir& dir, const std::string& content,
                                  const CCodePage& codePage = CCodePage()) {
  const std::string path = dir.File("input.ins");
  WriteBytes(path, content);
  auto input = std::make_unique<CStdioFile>();
  if (!input->Open(path, CFile::modeRead | CFile::shareExclusive))
    throw CFileException(path, 0);
  return CheckInputFile(input, CCheckOptions{codePage, false});
}

// Used flags as "D" (definitions, sorted order) and "R" (references, file
// order) strings of 1 and 0, e.g. {"10", "1"}.
struct Flags {
  std::string definitions;
  std::string references;
  bool operator==(const Flags&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Flags& f) {
  return os << "D=" << f.definitions << " R=" << f.references;
}

inline Flags UsedFlags(const CCheckResult& result) {
  Flags flags;
  for (int i = 0; i < result.definitions->GetCount(); ++i)
    flags.definitions += result.definitions->IsUsed(i) ? '1' : '0';
  for (int i = 0; i < result.references->GetCount(); ++i)
    flags.references += result.references->IsUsed(i) ? '1' : '0';
  return flags;
}

#endif  // VELTRANE_TESTS_CHECK_FIXTURE_H_
