// Checking the input file: how the dialog and the command line run the
// engine over a file they opened, and what a protocol written afterwards
// needs to know of it.
#ifndef VELTRANE_CHECKER_CHECK_RUN_H_
#define VELTRANE_CHECKER_CHECK_RUN_H_

#include <memory>
#include <optional>

#include "checker/check.h"
#include "platform/file.h"

// A checked input: the result, and the checked file's status so that no
// protocol is ever written over it.
struct CCheckedInput {
  CCheckResult result;
  std::optional<CFileStatus> status;  // none when the bytes came from memory

  const CFileStatus* Status() const { return status ? &*status : nullptr; }
};

// Checks `input` from its start, then closes and releases it. Throws
// CFileException on a read error; `input` then stays as it is.
// REQUIRES: `input` is set and open for reading.
CCheckedInput CheckInputFile(std::unique_ptr<CStdioFile>& input, const CCheckOptions& options);

#endif  // VELTRANE_CHECKER_CHECK_RUN_H_
