// Opening the file to be checked, and the name the protocol gives it.
#ifndef VELTRANE_CHECKER_INPUT_FILE_H_
#define VELTRANE_CHECKER_INPUT_FILE_H_

#include <memory>
#include <string>
#include <variant>

#include "checker/check_run.h"
#include "platform/file.h"

// Opens `path`, which must be a regular file, for reading as text, with
// sharing denied to everybody else.
// Always returns a file object; `opened` says whether the open succeeded and
// `error`, if given, why it did not.
std::unique_ptr<CStdioFile> OpenInputFile(const std::string& path,
                                          bool& opened,
                                          CFileException* error = nullptr);

// Opens `path` as OpenInputFile does, checks it and releases it. Returns
// the checked input, or why the file could not be opened or read.
std::variant<CCheckedInput, CFileException> CheckInputPath(const std::string& path,
                                                           const CCheckOptions& options);

// `path` itself when it has at most 70 characters, otherwise "..." and its
// last 67 characters.
std::string MakeDisplayName(const std::string& path);

#endif  // VELTRANE_CHECKER_INPUT_FILE_H_
