// Dialog windows made by Windows itself from the templates compiled into
// the executable (res/veltrane.rc).
#ifndef VELTRANE_PLATFORM_WIN32_WIN32_DIALOG_H_
#define VELTRANE_PLATFORM_WIN32_WIN32_DIALOG_H_

#include "platform/desktop/dialog.h"

class CWin32DialogBackend : public CDialogBackend {
 public:
  // Runs the dialog's template with DialogBoxParamA: OnInitDialog, the
  // modal loop, the message map. Returns what the dialog ended with, or -1
  // when the template does not exist or no window could be made.
  int DoModal(CDialog& dialog) override;
};

#endif  // VELTRANE_PLATFORM_WIN32_WIN32_DIALOG_H_
