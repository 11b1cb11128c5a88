#include "platform/win32/win32_dialog.h"

#include <algorithm>
#include <vector>

#include "platform/desktop/shell.h"
#include "platform/win32/windows_names.h"

namespace {

// The longest path a file dialog hands back, with its terminator, as the
// program's other path buffers hold.
constexpr DWORD kFileNameBuffer = MAX_PATH;

// "Text (*.txt)|*.txt||" as the common dialogs take it: every "|" a NUL,
// and one more NUL so that the list ends in two even when the "||" is
// missing.
std::string MakeFilterText(const std::string& filter) {
  std::string text = filter;
  std::ranges::replace(text, '|', '\0');
  text.push_back('\0');
  return text;
}

// The dialogs now open, innermost last: a dialog that is not an
// application window of its own belongs to the one below it, as a box
// opened without a parent belongs to the main window.
std::vector<HWND> g_openDialogs;

// The window of one running dialog; the site of the CDialog it shows.
class CWin32DialogSite : public CDialogSite {
 public:
  CWin32DialogSite(HWND hwnd, CDialog& dialog)
      : m_hwnd(hwnd), m_dialog(dialog) {}

  CDialog& Dialog() { return m_dialog; }

  void EnableControl(int id, bool enable) override {
    HWND control = ::GetDlgItem(m_hwnd, id);
    if (!control) return;
    const bool hadFocus = ::GetFocus() == control;
    ::EnableWindow(control, enable);
    // A disabled control loses the keyboard focus. It goes back to the
    // first control that takes it (Exit in the main dialog), not to the
    // next one, so that Enter still means the default button.
    if (!enable && hadFocus) {
      HWND first = ::GetNextDlgTabItem(m_hwnd, nullptr, FALSE);
      if (first)
        ::SendMessageA(m_hwnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(first),
                       TRUE);
    }
  }

  int MessageBox(const std::string& text, const std::string& caption,
                 unsigned type) override {
    return ::MessageBoxA(m_hwnd, text.c_str(), caption.c_str(), type);
  }

  int DoFileDialog(const CFileDialogParams& params,
                   std::string& path) override {
    const std::string filter = MakeFilterText(params.filter);
    char file[kFileNameBuffer] = "";
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = m_hwnd;
    ofn.lpstrFilter = filter.c_str();
    ofn.lpstrFile = file;
    ofn.nMaxFile = kFileNameBuffer;
    ofn.lpstrTitle = params.title.empty() ? nullptr : params.title.c_str();
    ofn.lpstrDefExt =
        params.defaultExt.empty() ? nullptr : params.defaultExt.c_str();
    // Exactly the caller's flags: the open dialog's read-only check box,
    // for one, shows because OFN_HIDEREADONLY is not among them.
    ofn.Flags = params.flags;
    const BOOL chosen = params.bOpenFileDialog ? ::GetOpenFileNameA(&ofn)
                                               : ::GetSaveFileNameA(&ofn);
    if (chosen) {
      path = file;
      return IDOK;
    }
    // No error means the user cancelled; anything else (a name too long
    // for the buffer, say) is a failed dialog with no path.
    if (::CommDlgExtendedError() == 0) return IDCANCEL;
    path.clear();
    return 0;
  }

  void ShellOpen(const std::string& path) override { ::ShellOpen(path); }

  void EndDialog(int result) override { ::EndDialog(m_hwnd, result); }

  void SetIcon(HICON icon, bool big) override {
    ::SendMessageA(m_hwnd, WM_SETICON, big ? ICON_BIG : ICON_SMALL,
                   reinterpret_cast<LPARAM>(icon));
  }

  bool IsIconic() const override { return ::IsIconic(m_hwnd); }

  CSize GetClientSize() const override {
    RECT rect{};
    ::GetClientRect(m_hwnd, &rect);
    return {rect.right - rect.left, rect.bottom - rect.top};
  }

  void DrawIcon(int x, int y, HICON icon) override {
    if (m_hdc) ::DrawIcon(m_hdc, x, y, icon);
  }

  // The minimised window is painted by the dialog, on the icon's
  // background; otherwise the dialog manager paints.
  bool Paint() {
    if (!::IsIconic(m_hwnd)) return false;
    PAINTSTRUCT ps;
    m_hdc = ::BeginPaint(m_hwnd, &ps);
    ::SendMessageA(m_hwnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(m_hdc),
                   0);
    m_dialog.OnPaint();
    m_hdc = nullptr;
    ::EndPaint(m_hwnd, &ps);
    return true;
  }

 private:
  HWND m_hwnd;
  CDialog& m_dialog;
  HDC m_hdc = nullptr;  // set while OnPaint runs
};

// A dialog opens in the middle of the window it belongs to, or of the
// screen, instead of at the template's corner position.
void CenterWindow(HWND hwnd) {
  RECT window;
  RECT area;
  HWND owner = ::GetWindow(hwnd, GW_OWNER);
  if (!::GetWindowRect(hwnd, &window) ||
      !(owner ? ::GetWindowRect(owner, &area)
              : ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0))) {
    return;
  }
  const int x =
      area.left + ((area.right - area.left) - (window.right - window.left)) / 2;
  const int y =
      area.top + ((area.bottom - area.top) - (window.bottom - window.top)) / 2;
  ::SetWindowPos(hwnd, nullptr, std::max<int>(x, area.left),
                 std::max<int>(y, area.top), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

CWin32DialogSite* SiteOf(HWND hwnd) {
  return reinterpret_cast<CWin32DialogSite*>(
      ::GetWindowLongPtrA(hwnd, DWLP_USER));
}

INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam,
                            LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* dialog = reinterpret_cast<CDialog*>(lParam);
    auto* site = new CWin32DialogSite(hwnd, *dialog);
    ::SetWindowLongPtrA(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(site));
    g_openDialogs.push_back(hwnd);
    CenterWindow(hwnd);
    // TRUE: the dialog manager gives the focus to the first control.
    return dialog->InitDialog(*site) ? TRUE : FALSE;
  }
  CWin32DialogSite* site = SiteOf(hwnd);
  if (!site) return FALSE;
  switch (message) {
    case WM_COMMAND:
      // Buttons, and Enter and Escape, which the dialog manager turns into
      // the default button's IDOK and into IDCANCEL; the close box comes as
      // IDCANCEL too.
      if (HIWORD(wParam) == BN_CLICKED) {
        site->Dialog().DispatchCommand(LOWORD(wParam));
        return TRUE;
      }
      return FALSE;
    case WM_PAINT:
      return site->Paint() ? TRUE : FALSE;
    case WM_QUERYDRAGICON:
      // One of the messages whose result a dialog procedure returns itself.
      return reinterpret_cast<INT_PTR>(site->Dialog().OnQueryDragIcon());
    case WM_NCDESTROY:
      site->Dialog().DetachSite();
      std::erase(g_openDialogs, hwnd);
      ::SetWindowLongPtrA(hwnd, DWLP_USER, 0);
      delete site;
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

int CWin32DialogBackend::DoModal(CDialog& dialog) {
  HINSTANCE instance = ::GetModuleHandleA(nullptr);
  const LPCSTR name = MAKEINTRESOURCEA(dialog.GetTemplateId());
  if (!::FindResourceA(instance, name, RT_DIALOG)) return -1;
  // Owned by the dialog below it, a box stays above it and disables it
  // while it is open.
  HWND owner = g_openDialogs.empty() ? nullptr : g_openDialogs.back();
  return static_cast<int>(::DialogBoxParamA(instance, name, owner, DialogProc,
                                            reinterpret_cast<LPARAM>(&dialog)));
}
