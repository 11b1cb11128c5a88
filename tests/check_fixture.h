// Runs the engine over a file made from a string, as the dialog and the
// command line do.
#ifndef VELTRANE_TESTS_CHECK_FIXTURE_H_
#define VELTRANE_TESTS_CHECK_FIXTURE_H_

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

#endif  // VELTRANE_TESTS_CHECK_FIXTURE_H_
