#include "checker/check_run.h"

CCheckedInput CheckInputFile(std::unique_ptr<CStdioFile>& input, const CCheckOptions& options) {
  std::optional<CFileStatus> status;
  // Bytes read from memory have no file on disk that a protocol could
  // replace, so there is nothing to guard.
  if (!input->IsMemory()) status = input->GetStatus();
  CCheckedInput checked{CheckFile(*input, options), status};
  // Nothing was written to the input file, so a failing close loses nothing.
  input->Abort();
  input.reset();
  return checked;
}
