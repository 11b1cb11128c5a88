// The dialog framework the program's windows are written against: a dialog
// class with data exchange, init and command handlers, buttons bound to
// control ids, and the seam (CDialogSite) through which a dialog reaches its
// window. A toolkit backend implements the seam; tests script it.
#ifndef VELTRANE_PLATFORM_DESKTOP_DIALOG_H_
#define VELTRANE_PLATFORM_DESKTOP_DIALOG_H_

#include <span>
#include <string>

#include "platform/dialogs.h"

#ifndef _WIN32
// An icon is named by its resource id; 0 is no icon. (On Windows, the
// system's icon handle.)
using HICON = int;

constexpr int SM_CXICON = 11;
constexpr int SM_CYICON = 12;
// The icon width (SM_CXICON) or height (SM_CYICON) the window system draws
// icons at; 0 for anything else.
int GetSystemMetrics(int index);
#endif

// Loads icon `id` from the program's resources; no icon ({}) when there is
// none.
HICON AfxLoadIcon(int id);

// The icon size the window system draws icons at, where a backend picks it.
constexpr int kIconSize = 32;

struct CSize {
  int cx = 0;
  int cy = 0;
};

// What a dialog asks of the window it runs in. One site per open dialog.
class CDialogSite {
 public:
  virtual ~CDialogSite() = default;

  virtual void EnableControl(int id, bool enable) = 0;
  // Shows a modal message box owned by the dialog; returns the button
  // pressed (IDOK, IDYES, IDNO).
  virtual int MessageBox(const std::string& text, const std::string& caption,
                         unsigned type) = 0;
  // Runs a modal open or save dialog. Returns IDOK with the full path in
  // `path`, IDCANCEL, or another value when the dialog failed.
  virtual int DoFileDialog(const CFileDialogParams& params,
                           std::string& path) = 0;
  // Opens `path` in the user's viewer; failures are not reported.
  virtual void ShellOpen(const std::string& path) = 0;
  // Ends the modal loop of the dialog; DoModal then returns `result`.
  virtual void EndDialog(int result) = 0;
  virtual void SetIcon(HICON icon, bool big) = 0;
  virtual bool IsIconic() const = 0;
  virtual CSize GetClientSize() const = 0;
  // Draws `icon` at (x, y) of the client area. Only valid during OnPaint.
  virtual void DrawIcon(int x, int y, HICON icon) = 0;
};

class CDialog;

// Makes a window of a dialog's template, runs it modally and returns the
// value it ended with, or -1 when no window could be made.
class CDialogBackend {
 public:
  virtual ~CDialogBackend() = default;
  virtual int DoModal(CDialog& dialog) = 0;
};

// Installs the backend every DoModal uses. `backend` must outlive its use.
void AfxSetDialogBackend(CDialogBackend* backend);

class CDataExchange {
 public:
  explicit CDataExchange(CDialogSite& site) : m_site(site) {}
  CDialogSite& m_site;
};

// A push button of a dialog, bound to its control by DDX_Control.
class CButton {
 public:
  // REQUIRES: the button is bound.
  void EnableWindow(bool enable);
  int GetDlgCtrlID() const { return m_id; }

 private:
  friend void DDX_Control(CDataExchange*, int, CButton&);
  CDialogSite* m_site = nullptr;
  int m_id = 0;
};

// Binds `button` to control `id` of the dialog being initialised.
void DDX_Control(CDataExchange* pDX, int id, CButton& button);

// One row of a dialog's message map: a control's click and its handler.
template <class Dialog>
struct CMessageMapEntry {
  int id;
  void (Dialog::*handler)();
};

// Runs the handler that `map` gives for `id`; false when there is none.
template <class Dialog>
bool DispatchMessageMap(Dialog& dialog,
                        std::span<const CMessageMapEntry<Dialog>> map,
                        int id) {
  for (const auto& entry : map) {
    if (entry.id != id) continue;
    (dialog.*entry.handler)();
    return true;
  }
  return false;
}

class CDialog {
 public:
  explicit CDialog(int templateId) : m_nIDTemplate(templateId) {}
  virtual ~CDialog() = default;
  CDialog(const CDialog&) = delete;
  CDialog& operator=(const CDialog&) = delete;

  int GetTemplateId() const { return m_nIDTemplate; }

  // Runs the dialog modally through the installed backend; returns the
  // value passed to EndDialog, or -1 when the dialog could not be shown.
  int DoModal();
  // REQUIRES: the dialog is running.
  void EndDialog(int result);

  // For backends. Attaches the dialog to its new window, binds controls and
  // runs OnInitDialog; returns its result (true: the backend sets focus).
  bool InitDialog(CDialogSite& site);
  // For backends, when the window is gone.
  void DetachSite() { m_pSite = nullptr; }
  // For backends: a control was clicked. Runs the message map's handler, or
  // OnOK / OnCancel for IDOK / IDCANCEL. A file exception that escapes the
  // handler is shown in a message box, and the dialog goes on.
  void DispatchCommand(int id);

  // Escape and the close box.
  virtual void OnCancel() { EndDialog(IDCANCEL); }
  virtual void OnOK() { EndDialog(IDOK); }
  // The window needs painting; the default leaves it to the toolkit.
  virtual void OnPaint() {}
  virtual HICON OnQueryDragIcon() { return {}; }

 protected:
  virtual void DoDataExchange(CDataExchange*) {}
  virtual bool OnInitDialog() { return true; }
  // The dialog's message map; returns false when it has no entry for `id`.
  virtual bool OnCommand(int) { return false; }

  // A message box owned by the dialog; an empty caption shows the
  // application's name. REQUIRES: the dialog is running.
  int MessageBox(const std::string& text, const std::string& caption = "",
                 unsigned type = MB_OK);
  // REQUIRES: the dialog is running.
  CDialogSite& Site() { return *m_pSite; }
  const CDialogSite& Site() const { return *m_pSite; }

 private:
  int m_nIDTemplate;
  CDialogSite* m_pSite = nullptr;
};

#endif  // VELTRANE_PLATFORM_DESKTOP_DIALOG_H_
