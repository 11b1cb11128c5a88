// Runs the engine over a file made from a string, as the dialog and the
// command line do.
#ifndef VELTRANE_TESTS_CHECK_FIXTURE_H_
#define VELTRANE_TESTS_CHECK_FIXTURE_H_

#include <string>

#include "checker/check_run.h"
#include "tests/test_util.h"

// Writes `content` to a file in `dir`, opens it into `run` as the input
// file and runs the check. The display name is "P".
inline void CheckContent(CCheckRun& run, const ScratchDir& dir,
                         const std::string& content) {
  const std::string path = dir.File("input.ins");
  WriteBytes(path, content);
  run.m_pInputFile = std::make_unique<CStdioFile>();
  if (!run.m_pInputFile->Open(path, CFile::modeRead | CFile::shareExclusive))
    throw CFileException(path, 0);
  run.m_strDisplayName = "P";
  run.RunCheck();
}

#endif  // VELTRANE_TESTS_CHECK_FIXTURE_H_
