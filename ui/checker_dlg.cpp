#include "ui/checker_dlg.h"

#include "checker/check_run.h"
#include "checker/input_file.h"
#include "checker/protocol_file.h"
#include "res/resource.h"
#include "ui/command_line.h"
#include "ui/info_dlg.h"

namespace {

constexpr char kFileDoesNotExist[] = "File does not exist";

}  // namespace

CCheckerDlg::CCheckerDlg()
    : CDialog(IDD_CHECKER_DIALOG), m_hIcon(AfxLoadIcon(IDR_MAINFRAME)) {}

CCheckerDlg::~CCheckerDlg() = default;

void CCheckerDlg::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Control(pDX, IDC_CHECK, m_btnCheck);
  DDX_Control(pDX, IDC_LOAD, m_btnLoad);
}

bool CCheckerDlg::OnCommand(int id) {
  // Exit is the default button: Enter ends the program through OnExit.
  static constexpr CMessageMapEntry<CCheckerDlg> kMessageMap[] = {
      {IDC_LOAD, &CCheckerDlg::OnLoad},
      {IDC_CHECK, &CCheckerDlg::OnCheck},
      {IDOK, &CCheckerDlg::OnExit},
      {IDC_INFO, &CCheckerDlg::OnInfo},
  };
  return DispatchMessageMap<CCheckerDlg>(*this, kMessageMap, id);
}

bool CCheckerDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  Site().SetIcon(m_hIcon, true);
  Site().SetIcon(m_hIcon, false);

  if (*m_pszCommandLine == '\0') {
    ShowNoFile();
    m_szInputPath.clear();
    return true;
  }
  const std::optional<std::string> path = NormaliseCommandLine(m_pszCommandLine);
  m_szInputPath = path.value_or("");
  if (!path || !LoadInputFile(m_szInputPath)) {
    MessageBox(kFileDoesNotExist);
    ShowNoFile();
    m_szInputPath.clear();
  }
  return true;
}

void CCheckerDlg::OnLoad() {
  m_strDisplayName.clear();
  ReleaseFiles();
  ReleaseLists();

  const CFileDialogParams params{true, "", "ins",
                                 OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST,
                                 "InsFiles (*.ins)|*.ins||"};
  std::string path;
  if (Site().DoFileDialog(params, path) == IDCANCEL) return;

  CFileStatus status;
  if (path.size() > kMaxInputPath || !CFile::GetStatus(path, status) ||
      !LoadInputFile(path)) {
    MessageBox(kFileDoesNotExist);
  }
}

void CCheckerDlg::OnCheck() {
  if (!m_pInputFile) return;
  ProtocolOutcome outcome = ProtocolOutcome::written;
  try {
    RunCheck();
    outcome = WriteProtocol();
  } catch (const CFileException&) {
    FinishRun();
    throw;
  }
  switch (outcome) {
    case ProtocolOutcome::written:
    case ProtocolOutcome::cancelled:
    case ProtocolOutcome::overwriteRefused:
      break;
    case ProtocolOutcome::openFailed:
      MessageBox(m_protocolOpenError.what());
      break;
    case ProtocolOutcome::sameAsInput:
      MessageBox(m_strProtocolPath +
                 ": is the file being checked; choose another file for the protocol");
      break;
  }
  FinishRun();
  // An abandoned run leaves the file unchecked: it is loaded again, as Load
  // would, so that Check is offered once more. If it can no longer be
  // opened, Load is offered instead.
  if (outcome != ProtocolOutcome::written) {
    const std::string path = m_strLoadedPath;
    LoadInputFile(path);
  }
}

CCheckerDlg::ProtocolOutcome CCheckerDlg::WriteProtocol() {
  const CFileDialogParams params{false, "Select Protfile", "txt", OFN_PATHMUSTEXIST,
                                 "Prot File (*.txt)|*.txt||"};
  std::string path;
  const int choice = Site().DoFileDialog(params, path);
  if (choice == IDCANCEL) return ProtocolOutcome::cancelled;
  if (choice != IDOK) path.clear();
  m_strProtocolPath = path;

  const ProtocolFileOutcome outcome = WriteProtocolFile(
      path, *m_pResult, m_strDisplayName, m_inputStatus ? &*m_inputStatus : nullptr,
      [this] { return MessageBox("Overwrite existing file?", "", MB_YESNO) == IDYES; },
      m_pProtocolFile, m_protocolOpenError);
  switch (outcome) {
    case ProtocolFileOutcome::written:
      break;
    case ProtocolFileOutcome::overwriteRefused:
      return ProtocolOutcome::overwriteRefused;
    case ProtocolFileOutcome::openFailed:
      return ProtocolOutcome::openFailed;
    case ProtocolFileOutcome::sameAsInput:
      return ProtocolOutcome::sameAsInput;
  }
  m_nErrorCount = m_pResult->ErrorCount();
  Site().ShellOpen(path);
  return ProtocolOutcome::written;
}

void CCheckerDlg::RunCheck() {
  m_nErrorCount = 0;
  m_pResult.reset();
  m_inputStatus.reset();
  // The dialog always follows the system's code page; the protocol shows
  // no notes.
  CCheckedInput checked = CheckInputFile(m_pInputFile, CCheckOptions{SystemCodePage(), false});
  m_pResult = std::make_unique<CCheckResult>(std::move(checked.result));
  m_inputStatus = checked.status;
}

void CCheckerDlg::ReleaseFiles() {
  m_pInputFile.reset();
  m_pProtocolFile.reset();
}

void CCheckerDlg::ReleaseLists() { m_pResult.reset(); }

void CCheckerDlg::OnExit() {
  ReleaseFiles();
  ReleaseLists();
  EndDialog(0);
}

void CCheckerDlg::OnInfo() {
  CInfoDlg dlg;
  dlg.DoModal();
}

void CCheckerDlg::OnPaint() {
  if (!Site().IsIconic()) return;
  const CSize client = Site().GetClientSize();
  Site().DrawIcon((client.cx - GetSystemMetrics(SM_CXICON) + 1) / 2,
                  (client.cy - GetSystemMetrics(SM_CYICON) + 1) / 2, m_hIcon);
}

HICON CCheckerDlg::OnQueryDragIcon() { return m_hIcon; }

bool CCheckerDlg::LoadInputFile(const std::string& path) {
  bool opened = false;
  m_pInputFile = OpenInputFile(path, opened);
  if (!opened) {
    m_pInputFile.reset();
    return false;
  }
  m_strDisplayName = MakeDisplayName(path);
  m_strLoadedPath = path;
  ShowFileLoaded();
  return true;
}

void CCheckerDlg::ShowFileLoaded() {
  m_btnCheck.EnableWindow(true);
  m_btnLoad.EnableWindow(false);
}

void CCheckerDlg::ShowNoFile() {
  m_btnCheck.EnableWindow(false);
  m_btnLoad.EnableWindow(true);
}

void CCheckerDlg::FinishRun() {
  ReleaseFiles();
  ReleaseLists();
  ShowNoFile();
}
