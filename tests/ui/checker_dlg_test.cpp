#include "ui/checker_dlg.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <tuple>

#include "app/checker_app.h"
#include "res/resource.h"
#include "tests/test_util.h"
#include "tests/ui/fake_site.h"

namespace {

constexpr char kNoFile[] = "File does not exist";

constexpr char kInput[] =
    ".Patch Names\n[GM]\n1=Piano\n.Instrument Definitions\n[Synth]\n"
    "Patch[*]=GM\nKey[*,*]=Missing Notes\n";

// The protocol file's bytes: text mode writes the system's line ends.
std::string ProtocolOf(const std::string& displayName) {
  return TextFileBytes("Veltrane Protocol\nFile: \"" + displayName +
                       "\"\n\nLine 7: Key[*,*]=Missing Notes\n"
                       "Error: Label \"Missing Notes\" not found\n\n"
                       "Number of errors 1");
}

// Holds a file open with sharing denied through an open of its own, as
// another program that has the file open would.
class ForeignLock {
 public:
  explicit ForeignLock(const std::string& path) {
    EXPECT_TRUE(m_file.Open(path, CFile::modeRead | CFile::shareExclusive));
  }

 private:
  CFile m_file;
};

// True when nobody holds `path` with sharing denied, i.e. the dialog has
// let go of it.
bool IsReleased(const std::string& path) {
  CFile probe;
  return probe.Open(path, CFile::modeRead | CFile::shareExclusive);
}

class CheckerDlgTest : public ::testing::Test {
 protected:
  CheckerDlgTest() {
    theApp.m_pszAppName = "veltrane";
    input = dir.File("synth.ins");
    WriteBytes(input, kInput);
  }

  void Init(const std::string& commandLine = "") {
    m_commandLine = commandLine;
    dlg.m_pszCommandLine = m_commandLine.c_str();
    ASSERT_TRUE(dlg.InitDialog(site));
  }

  // A new dialog on a fresh site, initialised with `commandLine`, which
  // must outlive the dialog's initialisation.
  std::unique_ptr<CCheckerDlg> NewDialog(const std::string& commandLine) {
    site = FakeSite();
    auto fresh = std::make_unique<CCheckerDlg>();
    fresh->m_pszCommandLine = commandLine.c_str();
    fresh->InitDialog(site);
    return fresh;
  }

  // Starts with `input` loaded, as if given on the command line.
  void InitLoaded() {
    Init(input);
    ASSERT_EQ(site.State(), "loaded");
  }

  // A path of exactly `length` characters to an existing file.
  std::string PathOfLength(std::size_t length) {
    const std::string prefix = dir.path() + "/";
    const std::string path =
        prefix + std::string(length - prefix.size() - 4, 'n') + ".ins";
    WriteBytes(path, kInput);
    return path;
  }

  void Check(int saveResult, const std::string& protocolPath) {
    site.fileAnswers.push_back({saveResult, protocolPath});
    dlg.DispatchCommand(IDC_CHECK);
  }

  void ExpectOneFileDialog(const CFileDialogParams& want) const {
    ASSERT_EQ(site.fileDialogs.size(), 1u);
    const CFileDialogParams& got = site.fileDialogs[0];
    EXPECT_EQ(std::tie(got.bOpenFileDialog, got.title, got.defaultExt,
                       got.flags, got.filter),
              std::tie(want.bOpenFileDialog, want.title, want.defaultExt,
                       want.flags, want.filter));
  }

  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto& m : site.messages) texts.push_back(m.text);
    return texts;
  }

  ScratchDir dir;
  std::string input;
  FakeSite site;
  CCheckerDlg dlg;

 private:
  std::string m_commandLine;
};

TEST_F(CheckerDlgTest, StartsWithoutFileAndShowsNothing) {
  Init();
  EXPECT_EQ(site.State(), "no file");
  EXPECT_TRUE(site.messages.empty());
  EXPECT_EQ(dlg.m_szInputPath, "");
  // The window gets icon 128 as its big and then its small icon.
  const HICON icon = AfxLoadIcon(IDR_MAINFRAME);
  EXPECT_NE(icon, HICON{});
  const std::vector<std::pair<HICON, bool>> icons = {{icon, true},
                                                     {icon, false}};
  EXPECT_EQ(site.icons, icons);
}

TEST_F(CheckerDlgTest, MinimisedWindowPaintsTheIconInTheMiddle) {
  Init();
  const HICON icon = AfxLoadIcon(IDR_MAINFRAME);
  const int cx = GetSystemMetrics(SM_CXICON);
  const int cy = GetSystemMetrics(SM_CYICON);
  struct {
    bool iconic;
    CSize client;
    std::vector<FakeSite::Drawn> drawn;
  } cases[] = {
      {false, {100, 80}, {}},
      // Odd and even leftovers both round up: (w - icon + 1) / 2.
      {true, {cx + 10, cy + 11}, {{5, 6, icon}}},
      {true, {cx, cy}, {{0, 0, icon}}},
      // Smaller than the icon: the integer division goes towards zero.
      {true, {cx - 4, cy - 3}, {{-1, -1, icon}}},
  };
  for (const auto& c : cases) {
    site.iconic = c.iconic;
    site.client = c.client;
    site.drawn.clear();
    dlg.OnPaint();
    EXPECT_EQ(site.drawn, c.drawn) << c.client.cx << "x" << c.client.cy;
  }
  EXPECT_EQ(dlg.OnQueryDragIcon(), icon);
}

TEST_F(CheckerDlgTest, CommandLineForms) {
  const std::string spaced = dir.File("My Synth.ins");
  WriteBytes(spaced, kInput);
  const std::string tilde = dir.File("SYNTH~1.INS");
  WriteBytes(tilde, kInput);
  const std::string longPath = PathOfLength(259);
  const std::string tooLong = PathOfLength(260);
  struct Case {
    std::string commandLine;
    std::string path;  // the loaded path, "" when refused
  };
  const Case cases[] = {
      {input, input},
      {"\"" + spaced + "\"", spaced},
      {dir.File("My \"Synth.ins\""), spaced},
      // No short names here: the "~" path is kept and opens as it is.
      {tilde, tilde},
      {longPath, longPath},
      // Refused, never cut to 259 characters.
      {tooLong, ""},
      {dir.File("missing.ins"), ""},
      {input + " " + spaced, ""},
      {dir.path(), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.commandLine);
    auto fresh = NewDialog(c.commandLine);
    CCheckerDlg& fresh_dlg = *fresh;
    EXPECT_EQ(fresh_dlg.m_szInputPath, c.path);
    if (c.path.empty()) {
      EXPECT_EQ(site.State(), "no file");
      EXPECT_EQ(site.messages,
                std::vector<FakeSite::Message>({{kNoFile, "veltrane", MB_OK}}));
      EXPECT_EQ(fresh_dlg.InputFile(), nullptr);
      EXPECT_EQ(fresh_dlg.DisplayName(), "");
    } else {
      EXPECT_EQ(site.State(), "loaded");
      EXPECT_TRUE(site.messages.empty());
      EXPECT_EQ(fresh_dlg.DisplayName(),
                c.path.size() <= 70 ? c.path : "..." + c.path.substr(c.path.size() - 67));
    }
  }
}

TEST_F(CheckerDlgTest, CommandLineFileLockedByAnotherProgram) {
  ForeignLock lock(input);
  Init(input);
  EXPECT_EQ(site.State(), "no file");
  EXPECT_EQ(Texts(), std::vector<std::string>{kNoFile});
}

TEST_F(CheckerDlgTest, LoadAsksForAnInstrumentDefinitionFile) {
  Init();
  dlg.DispatchCommand(IDC_LOAD);
  ExpectOneFileDialog(
      {true, "", "ins", 0x1800u, "InsFiles (*.ins)|*.ins||"});
}

TEST_F(CheckerDlgTest, LoadOutcomes) {
  const std::string longPath = PathOfLength(259);
  const std::string tooLong = PathOfLength(260);
  const std::string locked = dir.File("locked.ins");
  WriteBytes(locked, kInput);
  ForeignLock lock(locked);
  struct Case {
    int result;
    std::string path;
    std::string state;
    bool message;
  };
  const Case cases[] = {
      {IDCANCEL, input, "no file", false},
      {IDOK, input, "loaded", false},
      {IDOK, longPath, "loaded", false},
      // Any result but Cancel takes the dialog's path.
      {-1, input, "loaded", false},
      {IDOK, "", "no file", true},
      {IDOK, dir.File("missing.ins"), "no file", true},
      {IDOK, dir.path(), "no file", true},
      {IDOK, locked, "no file", true},
      {IDOK, tooLong, "no file", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path + " result " + std::to_string(c.result));
    auto fresh = NewDialog("");
    CCheckerDlg& load_dlg = *fresh;
    site.fileAnswers.push_back({c.result, c.path});
    load_dlg.DispatchCommand(IDC_LOAD);
    EXPECT_EQ(site.State(), c.state);
    EXPECT_EQ(Texts(), c.message ? std::vector<std::string>{kNoFile}
                                 : std::vector<std::string>{});
    EXPECT_EQ(load_dlg.InputFile() != nullptr, c.state == "loaded");
    // Load never touches the command-line path.
    EXPECT_EQ(load_dlg.m_szInputPath, "");
  }
}

TEST_F(CheckerDlgTest, CheckWritesProtocolAndOpensIt) {
  InitLoaded();
  const std::string protocol = dir.File("protocol.txt");
  Check(IDOK, protocol);

  ExpectOneFileDialog(
      {false, "Select Protfile", "txt", 0x800u, "Prot File (*.txt)|*.txt||"});

  EXPECT_EQ(ReadBytes(protocol), ProtocolOf(input));
  EXPECT_EQ(site.opened, std::vector<std::string>{protocol});
  EXPECT_TRUE(site.messages.empty());
  EXPECT_EQ(site.State(), "no file");
  EXPECT_EQ(dlg.ErrorCount(), 1);
  EXPECT_EQ(dlg.InputFile(), nullptr);
  EXPECT_EQ(dlg.Result(), nullptr);
  EXPECT_TRUE(IsReleased(input));
}

TEST_F(CheckerDlgTest, OverwriteNeedsConsent) {
  const std::string protocol = dir.File("old.txt");
  struct Case {
    int answer;
    bool replaced;
  };
  for (const Case c : {Case{IDYES, true}, Case{IDNO, false}}) {
    SCOPED_TRACE(c.answer);
    WriteBytes(protocol, "keep me");
    auto fresh = NewDialog(input);
    CCheckerDlg& check_dlg = *fresh;
    site.messageAnswers.push_back(c.answer);
    site.fileAnswers.push_back({IDOK, protocol});
    check_dlg.DispatchCommand(IDC_CHECK);
    EXPECT_EQ(site.messages, std::vector<FakeSite::Message>(
                                 {{"Overwrite existing file?", "veltrane", MB_YESNO}}));
    EXPECT_EQ(ReadBytes(protocol), c.replaced ? ProtocolOf(input) : "keep me");
    EXPECT_EQ(site.opened.size(), c.replaced ? 1u : 0u);
    // Refusing abandons the run: the file is loaded again for another try.
    EXPECT_EQ(site.State(), c.replaced ? "no file" : "loaded");
  }
}

TEST_F(CheckerDlgTest, AbandonedRunLoadsTheFileAgain) {
  const std::string missingDir = dir.File("no/such/folder/p.txt");
  struct Case {
    const char* what;
    int result;
    std::string path;
    std::string message;  // "" for none
  };
  const Case cases[] = {
      {"cancelled", IDCANCEL, dir.File("p.txt"), ""},
      {"open failed", IDOK, missingDir,
       missingDir + ": No such file or directory"},
      {"the input itself", IDOK, input,
       input + ": is the file being checked; choose another file for the "
               "protocol"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto fresh = NewDialog(input);
    CCheckerDlg& check_dlg = *fresh;
    site.fileAnswers.push_back({c.result, c.path});
    check_dlg.DispatchCommand(IDC_CHECK);
    EXPECT_EQ(Texts(), c.message.empty() ? std::vector<std::string>{}
                                         : std::vector<std::string>{c.message});
    EXPECT_TRUE(site.opened.empty());
    EXPECT_EQ(check_dlg.Result(), nullptr);

    // Check is offered once more, on the same file, held as Load holds it
    // (on Windows nobody else can read it meanwhile).
    EXPECT_EQ(site.State(), "loaded");
    ASSERT_NE(check_dlg.InputFile(), nullptr);
    EXPECT_FALSE(IsReleased(input));
    EXPECT_EQ(check_dlg.DisplayName(), input);
    site.messages.clear();
    site.fileAnswers.push_back({IDOK, dir.File("second.txt")});
    check_dlg.DispatchCommand(IDC_CHECK);
    EXPECT_EQ(ReadBytes(dir.File("second.txt")), ProtocolOf(input));
    EXPECT_EQ(site.State(), "no file");
    EXPECT_TRUE(IsReleased(input));
    EXPECT_EQ(ReadBytes(input), kInput);
    std::remove(dir.File("second.txt").c_str());
    site.opened.clear();
  }
}

TEST_F(CheckerDlgTest, AbandonedRunOffersLoadWhenTheFileIsGone) {
  InitLoaded();
  // The file goes away while the user picks the protocol file.
  site.whileFileDialog = [this] { std::remove(input.c_str()); };
  Check(IDCANCEL, "");
  EXPECT_EQ(site.State(), "no file");
  EXPECT_EQ(dlg.InputFile(), nullptr);
  EXPECT_TRUE(site.messages.empty());
}

#ifndef _WIN32  // Windows has no device that is always full
TEST_F(CheckerDlgTest, WriteErrorIsReportedAndRunEnds) {
  InitLoaded();
  Check(IDOK, "/dev/full");
  EXPECT_EQ(Texts(), std::vector<std::string>{
                         "/dev/full: No space left on device"});
  EXPECT_TRUE(site.opened.empty());
  EXPECT_EQ(site.State(), "no file");
  EXPECT_EQ(dlg.ProtocolFile(), nullptr);
  EXPECT_EQ(dlg.Result(), nullptr);
  EXPECT_TRUE(site.ended == std::nullopt);
}
#endif

TEST_F(CheckerDlgTest, CheckWithoutFileDoesNothing) {
  Init();
  dlg.OnCheck();
  EXPECT_TRUE(site.fileDialogs.empty());
  EXPECT_TRUE(site.messages.empty());
  EXPECT_EQ(site.State(), "no file");
}

TEST_F(CheckerDlgTest, ExitReleasesFileAndEndsWithZero) {
  InitLoaded();
  EXPECT_FALSE(IsReleased(input));
  dlg.DispatchCommand(IDOK);  // Exit, and Enter
  EXPECT_TRUE(IsReleased(input));
  EXPECT_EQ(site.ended, 0);
}

TEST_F(CheckerDlgTest, InfoRunsTheInfoBoxUntilItsExit) {
  Init();
  FakeBackend backend;
  backend.clicks = {IDC_INFO_EXIT};
  dlg.DispatchCommand(IDC_INFO);
  EXPECT_EQ(backend.templates, std::vector<int>{IDD_INFO});
  EXPECT_EQ(backend.sites.at(0).ended, 0);
  EXPECT_TRUE(site.ended == std::nullopt);
}

TEST(CheckerAppTest, InitInstanceRunsMainDialogWithCommandLine) {
  ScratchDir dir;
  const std::string input = dir.File("a b.ins");
  WriteBytes(input, kInput);
  FakeBackend backend;
  theApp.m_lpCmdLine = "\"" + input + "\"";
  EXPECT_FALSE(theApp.InitInstance());
  EXPECT_EQ(backend.templates, std::vector<int>{IDD_CHECKER_DIALOG});
  EXPECT_EQ(backend.sites.at(0).State(), "loaded");
  EXPECT_EQ(theApp.m_pMainWnd, nullptr);
  // The dialog has ended; the file is free again.
  EXPECT_TRUE(IsReleased(input));
  theApp.m_lpCmdLine.clear();
}

}  // namespace
