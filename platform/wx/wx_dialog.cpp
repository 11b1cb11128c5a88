#include "platform/wx/wx_dialog.h"

#include <wx/button.h>
#include <wx/dcclient.h>
#include <wx/dialog.h>
#include <wx/filedlg.h>
#include <wx/iconbndl.h>
#include <wx/image.h>
#include <wx/msgdlg.h>
#include <wx/mstream.h>
#include <wx/settings.h>
#include <wx/stattext.h>

#include <vector>

#include "platform/desktop/dialog_template.h"
#include "platform/desktop/file_dialog.h"
#include "platform/desktop/shell.h"

namespace {

wxString FromBytes(const std::string& text) {
  return wxString::FromUTF8(text.data(), text.size());
}

std::string ToBytes(const wxString& text) { return text.utf8_string(); }

wxImage IconImage(const CIconImage& image) {
  wxMemoryInputStream stream(image.png, image.pngSize);
  return wxImage(stream, wxBITMAP_TYPE_PNG);
}

// The dialogs now open, innermost last: a dialog that is not an
// application window of its own belongs to the one below it.
std::vector<wxWindow*> g_openDialogs;

// One window built from a template; the site of the CDialog it shows.
class CWxDialogWindow : public wxDialog, public CDialogSite {
 public:
  CWxDialogWindow(CDialog& dialog, const CDialogTemplate& t)
      : m_dialog(dialog), m_template(t) {
    wxWindow* owner = nullptr;
    if (!(t.exStyle & WS_EX_APPWINDOW) && !g_openDialogs.empty())
      owner = g_openDialogs.back();
    Create(owner, wxID_ANY, FromBytes(t.caption), wxDefaultPosition,
           wxDefaultSize, wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX |
                              (owner ? 0 : wxDIALOG_NO_PARENT));
    // Dialog units follow the template's font size, so the layout keeps
    // its proportions on every screen.
    wxFont font = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT);
    font.SetPointSize(t.fontPoints);
    SetFont(font);
    for (const CControlTemplate& c : t.controls) AddControl(c);
    SetClientSize(ConvertDialogToPixels(wxSize(t.cx, t.cy)));
    CentreOnScreen();

    Bind(wxEVT_BUTTON, [this](wxCommandEvent& event) {
      m_dialog.DispatchCommand(event.GetId());
    });
    Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& event) {
      if (event.GetKeyCode() == WXK_ESCAPE) {
        m_dialog.DispatchCommand(IDCANCEL);
      } else {
        event.Skip();
      }
    });
    Bind(wxEVT_CLOSE_WINDOW,
         [this](wxCloseEvent&) { m_dialog.DispatchCommand(IDCANCEL); });
    Bind(wxEVT_ACTIVATE, [this](wxActivateEvent& event) {
      if (event.GetActive()) CallAfter([this] { KeepFocus(); });
      event.Skip();
    });
    Bind(wxEVT_PAINT, [this](wxPaintEvent&) {
      wxPaintDC dc(this);
      m_paintDC = &dc;
      m_dialog.OnPaint();
      m_paintDC = nullptr;
    });
  }

  int Run() {
    g_openDialogs.push_back(this);
    const bool setFocus = m_dialog.InitDialog(*this);
    int result = m_result;
    if (!m_ended) {
      if (setFocus) CallAfter([this] { FocusFirstControl(); });
      result = ShowModal();
    }
    g_openDialogs.pop_back();
    m_dialog.DetachSite();
    return result;
  }

  void EnableControl(int id, bool enable) override {
    wxWindow* control = FindWindow(id);
    if (!control) return;
    control->Enable(enable);
    if (!enable) CallAfter([this] { KeepFocus(); });
  }

  int MessageBox(const std::string& text, const std::string& caption,
                 unsigned type) override {
    const long buttons = type == MB_YESNO ? wxYES_NO : wxOK;
    wxMessageDialog box(this, FromBytes(text), FromBytes(caption),
                        buttons | wxICON_NONE | wxCENTRE);
    switch (box.ShowModal()) {
      case wxID_YES: return IDYES;
      case wxID_NO: return IDNO;
      default: return IDOK;
    }
  }

  int DoFileDialog(const CFileDialogParams& params,
                   std::string& path) override {
    long style = params.bOpenFileDialog ? wxFD_OPEN : wxFD_SAVE;
    if (params.bOpenFileDialog && (params.flags & OFN_FILEMUSTEXIST))
      style |= wxFD_FILE_MUST_EXIST;
    const wxString title = params.title.empty()
                               ? wxString(wxFileSelectorPromptStr)
                               : FromBytes(params.title);
    wxFileDialog dialog(this, title, wxEmptyString, wxEmptyString,
                        FromBytes(TrimFilter(params.filter)), style);
    if (dialog.ShowModal() != wxID_OK) return IDCANCEL;
    path = ToBytes(dialog.GetPath());
    if (!params.bOpenFileDialog)
      path = AppendDefaultExtension(path, params.defaultExt);
    return IDOK;
  }

  void ShellOpen(const std::string& path) override { ::ShellOpen(path); }

  void EndDialog(int result) override {
    m_ended = true;
    m_result = result;
    if (IsModal()) EndModal(result);
  }

  void SetIcon(HICON icon, bool) override {
    // One bundle serves both: the window system picks the big and the
    // small image from it.
    wxIconBundle bundle;
    for (const CIconImage& image : FindIconImages(icon)) {
      wxIcon wxicon;
      wxicon.CopyFromBitmap(wxBitmap(IconImage(image)));
      bundle.AddIcon(wxicon);
    }
    if (!bundle.IsEmpty()) SetIcons(bundle);
  }

  bool IsIconic() const override { return IsIconized(); }

  CSize GetClientSize() const override {
    const wxSize size = wxDialog::GetClientSize();
    return {size.x, size.y};
  }

  void DrawIcon(int x, int y, HICON icon) override {
    if (!m_paintDC) return;
    for (const CIconImage& image : FindIconImages(icon)) {
      if (image.size != kIconSize) continue;
      m_paintDC->DrawBitmap(wxBitmap(IconImage(image)), x, y, true);
    }
  }

 private:
  void AddControl(const CControlTemplate& c) {
    const wxPoint pos = ConvertDialogToPixels(wxPoint(c.x, c.y));
    const wxSize size = ConvertDialogToPixels(wxSize(c.cx, c.cy));
    const wxString text = FromBytes(c.text);
    if (c.kind == ControlKind::staticText) {
      const long align =
          (c.style & SS_CENTER) ? wxALIGN_CENTRE_HORIZONTAL : wxALIGN_LEFT;
      new wxStaticText(this, c.id, text, pos, size, align | wxST_NO_AUTORESIZE);
      return;
    }
    auto* button = new wxButton(this, c.id, text, pos, size);
    if (c.style & BS_DEFPUSHBUTTON) button->SetDefault();
  }

  // A disabled control drops the focus, and a dialog without a focused
  // control gets no keys at all, not even Escape: the focus then goes back
  // where it started.
  void KeepFocus() {
    const wxWindow* focus = wxWindow::FindFocus();
    if (!IsActive() || (focus && focus->GetParent() == this &&
                        focus->IsEnabled())) {
      return;
    }
    FocusFirstControl();
  }

  // The first enabled control that takes the focus, in template order.
  void FocusFirstControl() {
    for (const CControlTemplate& c : m_template.controls) {
      wxWindow* control = FindWindow(c.id);
      if (control && (c.style & WS_TABSTOP) && control->IsEnabled()) {
        control->SetFocus();
        return;
      }
    }
  }

  CDialog& m_dialog;
  const CDialogTemplate& m_template;
  wxPaintDC* m_paintDC = nullptr;
  bool m_ended = false;
  int m_result = -1;
};

}  // namespace

int CWxDialogBackend::DoModal(CDialog& dialog) {
  const CDialogTemplate* t = FindDialogTemplate(dialog.GetTemplateId());
  if (!t) return -1;
  CWxDialogWindow window(dialog, *t);
  return window.Run();
}
