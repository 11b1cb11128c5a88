// Dialog windows made with wxWidgets from the program's dialog templates.
#ifndef VELTRANE_PLATFORM_WX_WX_DIALOG_H_
#define VELTRANE_PLATFORM_WX_WX_DIALOG_H_

#include "platform/desktop/dialog.h"

class CWxDialogBackend : public CDialogBackend {
 public:
  // Builds the window of the dialog's template, runs OnInitDialog and the
  // modal loop. Returns -1 when the template does not exist.
  int DoModal(CDialog& dialog) override;
};

#endif  // VELTRANE_PLATFORM_WX_WX_DIALOG_H_
