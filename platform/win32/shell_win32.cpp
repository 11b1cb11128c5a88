// The desktop services on Windows: the shell's "open" verb and the file
// system's long names.
#include "platform/win32/windows_names.h"
// shellapi.h needs the types of windows.h before it.
#include <shellapi.h>

#include "platform/desktop/shell.h"

namespace {

// Room for the long form, as the command line's lookup is allowed to use.
constexpr DWORD kLongPathBuffer = 512;

}  // namespace

void ShellOpen(const std::string& path) {
  ::ShellExecuteA(nullptr, "open", path.c_str(), nullptr, nullptr,
                  SW_SHOWNORMAL);
}

bool ExpandShortPath(const std::string& shortPath, std::string& longPath) {
  char buffer[kLongPathBuffer];
  const DWORD n =
      ::GetLongPathNameA(shortPath.c_str(), buffer, kLongPathBuffer);
  // 0 is a failure (no such file, say); a result of the buffer's size or
  // more is the room the long form would need, and the buffer holds
  // nothing usable.
  if (n == 0 || n >= kLongPathBuffer) return false;
  longPath.assign(buffer, n);
  return true;
}
