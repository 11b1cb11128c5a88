// Turning the program's command-line text into the path of the input file.
#ifndef VELTRANE_UI_COMMAND_LINE_H_
#define VELTRANE_UI_COMMAND_LINE_H_

#include <cstddef>
#include <optional>
#include <string>

// The longest input path the program accepts, from the command line or the
// open-file dialog. Longer paths are refused, never cut short.
constexpr std::size_t kMaxInputPath = 259;

// The whole text is one path: every double quote is dropped wherever it
// stands and blanks are kept. A path with a "~" is taken for a short name
// and replaced by its long form where the file system has one; if the
// lookup fails the path is used as it is. Returns nullopt when the path
// after quote removal is longer than kMaxInputPath.
std::optional<std::string> NormaliseCommandLine(const std::string& text);

#endif  // VELTRANE_UI_COMMAND_LINE_H_
