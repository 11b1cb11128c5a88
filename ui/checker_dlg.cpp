#include "ui/checker_dlg.h"

#include "ui/command_line.h"
#include "checker/input_file.h"
#include "res/resource.h"
#include "ui/info_dlg.h"

namespace {

constexpr char kFileDoesNotExist[] = "File does not exist";

}  // namespace

// Lends the dialog's save dialog, message box and shell to the protocol
// writer, and remembers the path the user chose for the messages that name it.
class CCheckerDlg::ProtocolHost : public CProtocolHost {
 public:
  explicit ProtocolHost(CCheckerDlg& dlg) : m_dlg(dlg) {}

  int DoSaveDialog(const CFileDialogParams& params,
                   std::string& path) override {
    const int result = m_dlg.Site().DoFileDialog(params, path);
    m_path = path;
    return result;
  }
  int MessageBox(const std::string& text, unsigned type) override {
    return m_dlg.MessageBox(text, "", type);
  }
  void ShellOpen(const std::string& path) override {
    m_dlg.Site().ShellOpen(path);
  }

  const std::string& path() const { return m_path; }

 private:
  CCheckerDlg& m_dlg;
  std::string m_path;
};

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
  ProtocolHost host(*this);
  try {
    RunCheck();
    switch (WriteProtocol(host)) {
      case ProtocolOutcome::written:
      case ProtocolOutcome::cancelled:
      case ProtocolOutcome::overwriteRefused:
        break;
      case ProtocolOutcome::openFailed:
        MessageBox(m_protocolOpenError.what());
        break;
      case ProtocolOutcome::sameAsInput:
        MessageBox(host.path() +
                   ": is the file being checked; choose another file for "
                   "the protocol");
        break;
    }
  } catch (const CFileException&) {
    FinishRun();
    throw;
  }
  FinishRun();
}

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
