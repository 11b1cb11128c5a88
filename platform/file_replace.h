// Reading a file whole and replacing its content in one step: the new bytes
// go to a new file beside it, which is flushed and then put in the old one's
// place, so that a reader sees either the old file or the new, never half of
// one, and a failure leaves the old file as it was.
#ifndef VELTRANE_PLATFORM_FILE_REPLACE_H_
#define VELTRANE_PLATFORM_FILE_REPLACE_H_

#include <functional>
#include <string>
#include <string_view>

#include "platform/file.h"

// Reads every byte of the regular file `path` as stored. Returns false, with
// the reason in `error`, when it cannot be opened or read or is no regular
// file.
bool ReadWholeFile(const std::string& path, std::string& bytes, CFileException& error);

enum class ReplaceOutcome {
  replaced,
  // Another program changed the file since it was read, or while it was
  // being replaced: what that program wrote is what the file holds.
  changedMeanwhile,
  // Nothing written; the reason is in the exception.
  failed,
};

// Replaces the content of the file `path` with `bytes`, provided it still
// holds `expected`. Through a symbolic link the link's target is replaced
// and the link stays. The new file gets the old one's permissions (and, on
// POSIX, its owner where the system allows, and its extended attributes and
// access lists). A file without any write permission bit is refused, even
// to the superuser, and so is a file with more than one name (hard links):
// a new file in its place would leave the other names with the old text.
// On `failed`, `error` names the file or folder and the reason; on anything
// but `replaced`, the file holds what it held (or what another program
// wrote meanwhile) and no new file is left behind. One replacement at a
// time in a process: on POSIX a handler of INT, TERM and HUP, installed
// while it runs, removes the new file when the program is stopped.
ReplaceOutcome ReplaceFileContent(const std::string& path, std::string_view expected,
                                  std::string_view bytes, CFileException& error);

namespace file_replace {

// The system's half of ReplaceFileContent.
ReplaceOutcome Replace(const std::string& path, std::string_view expected,
                       std::string_view bytes, CFileException& error);

// Seams for tests, which cannot otherwise reach the moments between the
// steps. Left empty and false by the programs.
struct CTestSeams {
  // Called with the file's resolved path after the last look at its content
  // and before the new file takes its place: another writer, timed in.
  std::function<void(const std::string& target)> beforeSwap;
  // Called once the new file is whole and flushed, before its name (if it
  // has one yet) is taken: an interruption, timed in.
  std::function<void(const std::string& target)> newFileWritten;
  // POSIX: take the ways of systems that lack an unnamed new file, or an
  // exchange of two names in one step.
  bool noUnnamedFile = false;
  bool noExchange = false;
};
CTestSeams& TestSeams();

}  // namespace file_replace

#endif  // VELTRANE_PLATFORM_FILE_REPLACE_H_
