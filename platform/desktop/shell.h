// Handing files to the desktop, and the names the file system knows them by.
#ifndef VELTRANE_PLATFORM_DESKTOP_SHELL_H_
#define VELTRANE_PLATFORM_DESKTOP_SHELL_H_

#include <string>

// Opens `path` in the user's default application: on Windows with the
// shell's "open" verb, elsewhere with `xdg-open`, started directly with an
// argument vector (no shell parses the path). Returns at once; whether the
// viewer starts is not reported.
void ShellOpen(const std::string& path);

// The long form of a short (8.3) path (on Windows, GetLongPathNameA; the
// name differs so that windows.h's macro of that name cannot touch it).
// Returns false when the file system has no such names or the lookup
// fails; `longPath` is then unchanged.
bool ExpandShortPath(const std::string& shortPath, std::string& longPath);

#endif  // VELTRANE_PLATFORM_DESKTOP_SHELL_H_
