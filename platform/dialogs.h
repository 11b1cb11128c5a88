// The values that message boxes and file dialogs speak in, with the numbers
// the program was designed around (on Windows, the system's own names), and
// the parameters of a file dialog.
#ifndef VELTRANE_PLATFORM_DIALOGS_H_
#define VELTRANE_PLATFORM_DIALOGS_H_

#include <string>

#ifdef _WIN32
#include "platform/win32/windows_names.h"
#else
// Results of a modal dialog or message box.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Message box types.
constexpr unsigned MB_OK = 0x0;
constexpr unsigned MB_YESNO = 0x4;

// File dialog flags.
constexpr unsigned OFN_PATHMUSTEXIST = 0x800;
constexpr unsigned OFN_FILEMUSTEXIST = 0x1000;
#endif

// What an open or save file dialog is asked to show.
struct CFileDialogParams {
  bool bOpenFileDialog = true;  // false: a save dialog
  std::string title;            // empty: the toolkit's own title
  std::string defaultExt;       // appended when the typed name has none
  unsigned flags = 0;
  std::string filter;           // "Text (*.x)|*.x||"
};

#endif  // VELTRANE_PLATFORM_DIALOGS_H_
