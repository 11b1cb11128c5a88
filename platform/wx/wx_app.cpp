#include "platform/wx/wx_app.h"

#include <wx/app.h>
#include <wx/image.h>

#include <string>
#include <vector>

#include "platform/desktop/app.h"
#include "platform/wx/wx_dialog.h"

namespace {

std::vector<std::string> g_arguments;

class CWxApp : public wxApp {
 public:
  // The arguments belong to the program, so the toolkit's own option
  // parsing stays out of it.
  bool OnInit() override {
    wxInitAllImageHandlers();
    return true;
  }

  int OnRun() override {
    CWxDialogBackend backend;
    AfxSetDialogBackend(&backend);
    std::vector<const char*> argv;
    for (const std::string& arg : g_arguments) argv.push_back(arg.c_str());
    const int status = AfxWinMain(static_cast<int>(argv.size()), argv.data());
    AfxSetDialogBackend(nullptr);
    return status;
  }
};

}  // namespace

wxIMPLEMENT_APP_NO_MAIN(CWxApp);

int RunWxApplication(int argc, char** argv) {
  g_arguments.assign(argv, argv + argc);
  return wxEntry(argc, argv);
}
