#include "ui/info_dlg.h"

#include "res/resource.h"

CInfoDlg::CInfoDlg() : CDialog(IDD_INFO) {}

CInfoDlg::~CInfoDlg() = default;

void CInfoDlg::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
}

bool CInfoDlg::OnCommand(int id) {
  static constexpr CMessageMapEntry<CInfoDlg> kMessageMap[] = {
      {IDC_INFO_EXIT, &CInfoDlg::OnInfoExit},
  };
  return DispatchMessageMap<CInfoDlg>(*this, kMessageMap, id);
}

void CInfoDlg::OnInfoExit() { EndDialog(0); }
