// Writing a check protocol to a file without losing anything: an existing
// file with content is replaced only with consent, and the checked file
// never. The dialog asks its user; the command line has --force.
#ifndef VELTRANE_CHECKER_PROTOCOL_FILE_H_
#define VELTRANE_CHECKER_PROTOCOL_FILE_H_

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "checker/check.h"
#include "platform/file.h"

enum class ProtocolFileOutcome {
  written,
  overwriteRefused,  // `mayReplace` kept an existing non-empty file
  openFailed,        // the protocol file could not be opened; see `openError`
  sameAsInput,       // the path names the checked file itself
};

// Writes the protocol of `result` for `displayName` to `path`. When a
// non-empty file is there, `mayReplace` is asked first and the file is
// removed only when it says yes; an empty or unreadable one counts as
// absent. When `input` is given and `path` names that file, nothing is
// asked or written. The file object lives in `file` while it is written
// (and stays there, unopened, when the open fails) and is released once
// written. Throws CFileException when the old file cannot be removed or
// the protocol cannot be written.
ProtocolFileOutcome WriteProtocolFile(const std::string& path, const CCheckResult& result,
                                      std::string_view displayName, const CFileStatus* input,
                                      const std::function<bool()>& mayReplace,
                                      std::unique_ptr<CStdioFile>& file,
                                      CFileException& openError);

#endif  // VELTRANE_CHECKER_PROTOCOL_FILE_H_
