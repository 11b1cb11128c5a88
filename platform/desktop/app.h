// The application object of a dialog program: one global instance whose
// InitInstance the platform calls once at start-up with the command line.
#ifndef VELTRANE_PLATFORM_DESKTOP_APP_H_
#define VELTRANE_PLATFORM_DESKTOP_APP_H_

#include <string>

class CDialog;

class CWinApp {
 public:
  // Registers this object as the application. Exactly one may exist.
  CWinApp();
  virtual ~CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  // Called once by AfxWinMain. Returning false ends the program at once
  // instead of running a message loop of the application's own.
  virtual bool InitInstance() { return false; }

  std::string m_lpCmdLine;  // the arguments after the program name
  std::string m_pszAppName;
  CDialog* m_pMainWnd = nullptr;
};

// The registered application, or nullptr.
CWinApp* AfxGetApp();
// The application's name, the caption of message boxes that have none of
// their own; "" before AfxWinMain has named the application.
const std::string& AfxGetAppName();

// The arguments after the program name joined with single blanks, which is
// how a command line of one string reaches the application.
std::string JoinArguments(int argc, const char* const* argv);
// The file name of `programPath` without its folder and extension. On
// Windows a backslash separates folders too.
std::string AppNameFromPath(const std::string& programPath);

// Names the application after argv[0], hands it the joined arguments and
// calls InitInstance. Returns the program's exit status.
int AfxWinMain(int argc, const char* const* argv);
// The same for a system that hands a program its command line as one text:
// the program's path and the text after the program name.
int AfxWinMain(const std::string& programPath, const std::string& commandLine);

#endif  // VELTRANE_PLATFORM_DESKTOP_APP_H_
