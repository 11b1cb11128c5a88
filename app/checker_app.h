// The application: runs the main dialog with the command line and ends
// when the dialog ends.
#ifndef VELTRANE_APP_CHECKER_APP_H_
#define VELTRANE_APP_CHECKER_APP_H_

#include "platform/desktop/app.h"

class CCheckerApp : public CWinApp {
 public:
  // Runs the main dialog modally. Returns false: the program then ends.
  bool InitInstance() override;
};

extern CCheckerApp theApp;

#endif  // VELTRANE_APP_CHECKER_APP_H_
