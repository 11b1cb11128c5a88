// The main dialog: Load, Check, Info and Exit, leading the user from one
// loaded file through its check to the next. It owns the run state.
#ifndef VELTRANE_UI_CHECKER_DLG_H_
#define VELTRANE_UI_CHECKER_DLG_H_

#include <string>

#include "checker/check_run.h"
#include "platform/desktop/dialog.h"

// Exactly one of Load and Check is enabled: Check while a file is loaded
// ("File loaded"), Load otherwise ("No file"). Exit and Info always are.
class CCheckerDlg : public CDialog, public CCheckRun {
 public:
  CCheckerDlg();
  ~CCheckerDlg() override;

  // Releases what an earlier load or run left, asks for an .ins file and
  // opens it exclusively. Failures show "File does not exist" and leave the
  // buttons as they were.
  void OnLoad();
  // Checks the loaded file and writes the protocol to a file the user picks,
  // which then opens in the viewer. Ends in "No file" whether the protocol
  // was written, abandoned or failed; a file error propagates after the
  // state is reset, for the dialog's dispatch to report. Does nothing when
  // no file is loaded.
  void OnCheck();
  // Releases files and lists and ends the dialog with 0.
  void OnExit();
  void OnInfo();
  void OnPaint() override;
  HICON OnQueryDragIcon() override;

  CButton m_btnCheck;
  CButton m_btnLoad;
  HICON m_hIcon;
  // Command-line text handed over by the application; must outlive the
  // dialog's initialisation.
  const char* m_pszCommandLine = "";
  // The normalised command-line path; "" when there was none or it failed.
  std::string m_szInputPath;

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  // Loads the command-line file, if any.
  bool OnInitDialog() override;
  bool OnCommand(int id) override;

 private:
  class ProtocolHost;

  // Opens `path` as the input file; on success names it and shows "File
  // loaded". Returns false, holding no file, when the open fails.
  bool LoadInputFile(const std::string& path);
  void ShowFileLoaded();
  void ShowNoFile();
  // Ends a run however it went: nothing stays open, Load is offered.
  void FinishRun();
};

#endif  // VELTRANE_UI_CHECKER_DLG_H_
