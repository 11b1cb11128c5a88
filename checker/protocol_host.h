// What writing a protocol needs from its surroundings: the dialog supplies a
// save dialog, a message box and the shell; the command line supplies its
// options instead.
#ifndef VELTRANE_CHECKER_PROTOCOL_HOST_H_
#define VELTRANE_CHECKER_PROTOCOL_HOST_H_

#include <string>

#include "platform/dialogs.h"

class CProtocolHost {
 public:
  virtual ~CProtocolHost() = default;

  // Runs the save dialog. Returns IDOK with the chosen full path in `path`,
  // IDCANCEL, or another value when the dialog failed.
  virtual int DoSaveDialog(const CFileDialogParams& params,
                           std::string& path) = 0;
  // Shows `text` with the buttons of `type`; returns the button pressed.
  virtual int MessageBox(const std::string& text, unsigned type) = 0;
  // Opens `path` in the user's viewer; failures are not reported.
  virtual void ShellOpen(const std::string& path) = 0;
};

#endif  // VELTRANE_CHECKER_PROTOCOL_HOST_H_
