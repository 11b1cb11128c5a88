// The Info box: the version line and who made the program.
#ifndef VELTRANE_UI_INFO_DLG_H_
#define VELTRANE_UI_INFO_DLG_H_

#include "platform/desktop/dialog.h"

class CInfoDlg : public CDialog {
 public:
  CInfoDlg();
  ~CInfoDlg() override;

  // Its Exit button ends the box with 0.
  void OnInfoExit();

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  bool OnCommand(int id) override;
};

#endif  // VELTRANE_UI_INFO_DLG_H_
