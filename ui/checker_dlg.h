// The main dialog: Load, Check, Info and Exit, leading the user from one
// loaded file through its check to the next. It owns the run state and
// keeps it to itself; the engine does the checking.
#ifndef VELTRANE_UI_CHECKER_DLG_H_
#define VELTRANE_UI_CHECKER_DLG_H_

#include <memory>
#include <optional>
#include <string>

#include "checker/check_run.h"
#include "platform/desktop/dialog.h"

// Exactly one of Load and Check is enabled: Check while a file is loaded
// ("File loaded"), Load otherwise ("No file"). Exit and Info always are.
class CCheckerDlg : public CDialog {
 public:
  CCheckerDlg();
  ~CCheckerDlg() override;

  // Releases what an earlier load or run left, asks for an .ins file and
  // opens it exclusively. Failures show "File does not exist" and leave the
  // buttons as they were.
  void OnLoad();
  // Checks the loaded file and writes the protocol to a file the user picks,
  // which then opens in the viewer. Ends in "No file" once the protocol is
  // written or a file error occurred (which propagates after the state is
  // reset, for the dialog's dispatch to report). When the user abandons the
  // protocol, the same file is loaded again so that Check is offered once
  // more. Does nothing when no file is loaded.
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

  // The run state as it stands, for tests to look at.
  const CStdioFile* InputFile() const { return m_pInputFile.get(); }
  const CStdioFile* ProtocolFile() const { return m_pProtocolFile.get(); }
  const CCheckResult* Result() const { return m_pResult.get(); }
  int ErrorCount() const { return m_nErrorCount; }
  const std::string& DisplayName() const { return m_strDisplayName; }

  // How WriteProtocol ended. Only `written` means a protocol exists.
  enum class ProtocolOutcome {
    written,
    cancelled,         // the save dialog was cancelled
    overwriteRefused,  // the user kept an existing non-empty file
    openFailed,        // the protocol file could not be opened
    sameAsInput,       // the chosen path is the checked file itself
  };
  // Asks for the protocol path with the save dialog and writes the
  // protocol of the last check there, asking "Overwrite existing file?"
  // before an existing non-empty file is replaced, then opens it in the
  // viewer. On `openFailed`, m_protocolOpenError says why. Throws
  // CFileException when the old file cannot be removed or the protocol
  // cannot be written.
  // REQUIRES: RunCheck has completed.
  ProtocolOutcome WriteProtocol();

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  // Loads the command-line file, if any.
  bool OnInitDialog() override;
  bool OnCommand(int id) override;

 private:
  // Checks the input file into m_pResult, then closes and releases the
  // input file. Throws CFileException on a read error.
  // REQUIRES: m_pInputFile is set and open.
  void RunCheck();
  // Closes and releases the input and protocol files, if any.
  void ReleaseFiles();
  // Deletes the result and its lists, if any.
  void ReleaseLists();
  // Opens `path` as the input file; on success names it and shows "File
  // loaded". Returns false, holding no file, when the open fails.
  bool LoadInputFile(const std::string& path);
  void ShowFileLoaded();
  void ShowNoFile();
  // Ends a run however it went: nothing stays open, Load is offered.
  void FinishRun();

  // The path of the loaded file, to load it again after an abandoned run.
  std::string m_strLoadedPath;
  // The path the save dialog gave, for the messages that name it.
  std::string m_strProtocolPath;

  std::unique_ptr<CStdioFile> m_pInputFile;
  // The resolved lists and the findings of the last check.
  std::unique_ptr<CCheckResult> m_pResult;
  // The checked file, so that no protocol is ever written over it.
  std::optional<CFileStatus> m_inputStatus;
  int m_nErrorCount = 0;
  std::unique_ptr<CStdioFile> m_pProtocolFile;
  std::string m_strDisplayName;
  CFileException m_protocolOpenError;
};

#endif  // VELTRANE_UI_CHECKER_DLG_H_
