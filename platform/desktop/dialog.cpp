#include "platform/desktop/dialog.h"

#include "platform/desktop/app.h"
#include "platform/file.h"

namespace {

CDialogBackend* g_backend = nullptr;

}  // namespace

void AfxSetDialogBackend(CDialogBackend* backend) { g_backend = backend; }

void CButton::EnableWindow(bool enable) { m_site->EnableControl(m_id, enable); }

void DDX_Control(CDataExchange* pDX, int id, CButton& button) {
  button.m_site = &pDX->m_site;
  button.m_id = id;
}

int CDialog::DoModal() { return g_backend ? g_backend->DoModal(*this) : -1; }

void CDialog::EndDialog(int result) { m_pSite->EndDialog(result); }

bool CDialog::InitDialog(CDialogSite& site) {
  m_pSite = &site;
  CDataExchange dx(site);
  DoDataExchange(&dx);
  return OnInitDialog();
}

void CDialog::DispatchCommand(int id) {
  try {
    if (OnCommand(id)) return;
    if (id == IDOK) OnOK();
    if (id == IDCANCEL) OnCancel();
  } catch (const CFileException& e) {
    // A failed read or write ends the action, not the program: the user
    // learns which file failed and why, and carries on.
    if (m_pSite) MessageBox(e.what());
  }
}

int CDialog::MessageBox(const std::string& text, const std::string& caption,
                        unsigned type) {
  return m_pSite->MessageBox(text, caption.empty() ? AfxGetAppName() : caption,
                             type);
}
