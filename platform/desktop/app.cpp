#include "platform/desktop/app.h"

namespace {

CWinApp* g_app = nullptr;

#ifdef _WIN32
constexpr char kFolderSeparators[] = "/\\";
#else
constexpr char kFolderSeparators[] = "/";
#endif

}  // namespace

CWinApp::CWinApp() { g_app = this; }

CWinApp::~CWinApp() {
  if (g_app == this) g_app = nullptr;
}

CWinApp* AfxGetApp() { return g_app; }

const std::string& AfxGetAppName() {
  static const std::string kNone;
  return g_app ? g_app->m_pszAppName : kNone;
}

std::string JoinArguments(int argc, const char* const* argv) {
  std::string line;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) line += ' ';
    line += argv[i];
  }
  return line;
}

std::string AppNameFromPath(const std::string& programPath) {
  std::string name =
      programPath.substr(programPath.find_last_of(kFolderSeparators) + 1);
  const std::size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return name;
}

int AfxWinMain(int argc, const char* const* argv) {
  return AfxWinMain(argc > 0 ? argv[0] : "", JoinArguments(argc, argv));
}

int AfxWinMain(const std::string& programPath, const std::string& commandLine) {
  CWinApp* app = AfxGetApp();
  if (!app) return 1;
  app->m_pszAppName = AppNameFromPath(programPath);
  app->m_lpCmdLine = commandLine;
  // The program ends whatever InitInstance returns: a dialog program has
  // no message loop of its own to enter.
  app->InitInstance();
  return 0;
}
