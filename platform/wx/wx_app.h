// Runs the registered application (CWinApp) with wxWidgets as the window
// system.
#ifndef VELTRANE_PLATFORM_WX_WX_APP_H_
#define VELTRANE_PLATFORM_WX_WX_APP_H_

// Starts the toolkit, runs AfxWinMain with the arguments as they were given
// (before the toolkit takes its own options out of them) and returns the
// program's exit status.
int RunWxApplication(int argc, char** argv);

#endif  // VELTRANE_PLATFORM_WX_WX_APP_H_
