// The Windows headers, for the few shared headers whose names (IDOK,
// MB_YESNO, OFN_*, WS_*, HICON, ...) Windows defines too: on Windows those
// names must be the system's own, or the two definitions would clash in
// every file that sees both.
//
// windows.h also renames functions by macro (MessageBox to MessageBoxA).
// Every header that declares such a name includes this one first on
// Windows, so the rename is the same in every file and the program's own
// CDialogSite::MessageBox links as CDialogSite::MessageBoxA throughout.
#ifndef VELTRANE_PLATFORM_WIN32_WINDOWS_NAMES_H_
#define VELTRANE_PLATFORM_WIN32_WINDOWS_NAMES_H_

#ifndef _WIN32
#error "platform/win32/windows_names.h is for the Windows build"
#endif

// std::min and std::max stay usable, and the rarely wanted parts of
// windows.h (sockets, OLE, ...) stay out.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// Lean windows.h leaves out the common dialogs, whose OFN_* flags the
// program passes.
#include <commdlg.h>

#endif  // VELTRANE_PLATFORM_WIN32_WINDOWS_NAMES_H_
