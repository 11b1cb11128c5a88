// Reading a file whole and replacing its content in one step: the new bytes
// go to a new file beside it, which is flushed and then renamed over the
// old one, so that a reader sees either the old file or the new, never
// half of one, and a failure leaves the old file as it was.
#ifndef VELTRANE_PLATFORM_FILE_REPLACE_H_
#define VELTRANE_PLATFORM_FILE_REPLACE_H_

#include <string>
#include <string_view>

#include "platform/file.h"

// Reads every byte of the regular file `path` as stored. Returns false, with
// the reason in `error`, when it cannot be opened or read or is no regular
// file.
bool ReadWholeFile(const std::string& path, std::string& bytes, CFileException& error);

enum class ReplaceOutcome {
  replaced,
  // The file no longer holds the bytes it was expected to: nothing written.
  changedMeanwhile,
  // Nothing written either; the reason is in the exception.
  failed,
};

// Replaces the content of the file `path` with `bytes`, provided it still
// holds `expected`. Through a symbolic link the link's target is replaced
// and the link stays. The new file gets the old one's permissions (and, on
// POSIX, its owner where the system allows). On `failed`, `error` names the
// file or folder and the reason; on anything but `replaced`, no file has
// changed and no new file is left behind.
ReplaceOutcome ReplaceFileContent(const std::string& path, std::string_view expected,
                                  std::string_view bytes, CFileException& error);

namespace file_replace {

// The system's half of ReplaceFileContent; each returns false with `error`
// filled in.

// The file a path finally names, symbolic links followed.
bool ResolveTarget(const std::string& path, std::string& target, CFileException& error);
// Creates a new file in the folder of `target`, under a name no other file
// has, with `bytes`, flushed to the disk and with `target`'s permissions.
bool WriteBeside(const std::string& target, std::string_view bytes, std::string& temporary,
                 CFileException& error);
// Renames `temporary` over `target`, replacing it.
bool RenameOver(const std::string& temporary, const std::string& target, CFileException& error);

}  // namespace file_replace

#endif  // VELTRANE_PLATFORM_FILE_REPLACE_H_
