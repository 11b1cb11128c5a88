// The dialog program's entry on Windows: a GUI-subsystem program, handed its
// command line as one text, after the program name, as Windows gives it.
#include "platform/win32/windows_names.h"

#include <string>

#include "platform/desktop/app.h"
#include "platform/win32/win32_dialog.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR lpCmdLine, int) {
  char program[MAX_PATH] = "";
  ::GetModuleFileNameA(nullptr, program, MAX_PATH);
  CWin32DialogBackend backend;
  AfxSetDialogBackend(&backend);
  const int status = AfxWinMain(program, lpCmdLine ? lpCmdLine : "");
  AfxSetDialogBackend(nullptr);
  return status;
}
