// The dialog program's entry: picks the wxWidgets backend.
#include "platform/wx/wx_app.h"

int main(int argc, char** argv) { return RunWxApplication(argc, argv); }
