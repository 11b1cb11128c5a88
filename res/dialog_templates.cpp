// The two dialogs of the program. Positions and sizes are dialog units, so
// the layout scales with the dialog font on every backend.
#include "platform/desktop/dialog_template.h"
#include "platform/dialogs.h"
#include "res/resource.h"

namespace {

constexpr unsigned kButton = WS_TABSTOP | BS_PUSHBUTTON;

constexpr CControlTemplate kCheckerControls[] = {
    {IDOK, ControlKind::pushButton, "Exit", WS_TABSTOP | BS_DEFPUSHBUTTON,
     92, 116, 133, 14},
    {IDC_LOAD, ControlKind::pushButton, "Load Instrument Definition File",
     kButton, 92, 41, 133, 14},
    {IDC_CHECK, ControlKind::pushButton, "Check", kButton, 92, 78, 133, 14},
    {IDC_INFO, ControlKind::pushButton, "Info", kButton, 11, 161, 60, 14},
};

constexpr CControlTemplate kInfoControls[] = {
    {IDC_INFO_EXIT, ControlKind::pushButton, "Exit", kButton, 129, 66, 50, 14},
    {IDC_VERSION, ControlKind::staticText, "Veltrane Version 1.0", SS_CENTER,
     7, 16, 172, 8},
    {IDC_CREDIT, ControlKind::staticText,
     "Made by the Veltrane developers", SS_CENTER, 7, 32, 172, 8},
    {IDC_WEB, ControlKind::staticText, "Checks MIDI instrument definition files",
     SS_CENTER, 7, 46, 172, 8},
};

constexpr unsigned kModal = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;

constexpr CDialogTemplate kTemplates[] = {
    {IDD_CHECKER_DIALOG, "Veltrane", kModal | WS_VISIBLE, WS_EX_APPWINDOW,
     "MS Sans Serif", 8, 320, 182, kCheckerControls},
    {IDD_INFO, "Info", kModal, 0, "MS Sans Serif", 8, 186, 87, kInfoControls},
};

}  // namespace

const CDialogTemplate* FindDialogTemplate(int id) {
  for (const CDialogTemplate& t : kTemplates) {
    if (t.id == id) return &t;
  }
  return nullptr;
}
