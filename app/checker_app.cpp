#include "app/checker_app.h"

#include "ui/checker_dlg.h"

CCheckerApp theApp;

bool CCheckerApp::InitInstance() {
  CCheckerDlg dlg;
  m_pMainWnd = &dlg;
  if (!m_lpCmdLine.empty()) {
    dlg.m_pszCommandLine = m_lpCmdLine.c_str();
  } else {
    dlg.m_szInputPath.clear();
  }
  dlg.DoModal();
  m_pMainWnd = nullptr;
  return false;
}
