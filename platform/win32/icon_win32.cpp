// Icons on Windows: the icon resources of the executable.
#include "platform/win32/windows_names.h"

#include "platform/desktop/dialog.h"

HICON AfxLoadIcon(int id) {
  return ::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id));
}
