// The parts of a file dialog that every backend shares: how a filter is
// written and what the save dialog does with a name typed without extension.
#ifndef VELTRANE_PLATFORM_DESKTOP_FILE_DIALOG_H_
#define VELTRANE_PLATFORM_DESKTOP_FILE_DIALOG_H_

#include <string>

// "Text (*.txt)|*.txt||" without the empty pairs that end it:
// "Text (*.txt)|*.txt".
std::string TrimFilter(const std::string& filter);

// `path` with "." and `defaultExt` appended when its file name has no
// extension, and unchanged otherwise or when `defaultExt` is empty.
std::string AppendDefaultExtension(const std::string& path,
                                   const std::string& defaultExt);

#endif  // VELTRANE_PLATFORM_DESKTOP_FILE_DIALOG_H_
