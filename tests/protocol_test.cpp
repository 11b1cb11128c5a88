#include "checker/protocol.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "tests/check_fixture.h"
#include "tests/ten_line_example.h"

namespace {

using ::testing::_;
using ::testing::DoAll;
using ::testing::Field;
using ::testing::Return;
using ::testing::SetArgReferee;
using ::testing::StrictMock;

std::string ProtocolOf(const std::string& content) {
  ScratchDir dir;
  CCheckRun run;
  CheckContent(run, dir, content);
  std::string text;
  EmitProtocol(*run.m_pDefinitions, *run.m_pReferences, run.m_strDisplayName,
               [&text](std::string_view piece) { text.append(piece); });
  return text;
}

const char kHeader[] = "Veltrane Protocol\nFile: \"P\"\n\n";

struct ProtocolCase {
  const char* label;
  std::string file;
  std::string findings;  // everything between header and trailer
  int count;
};

// The case's label, so that test names and failure reports stay short.
void PrintTo(const ProtocolCase& c, std::ostream* os) { *os << c.label; }

class ProtocolTextTest : public ::testing::TestWithParam<ProtocolCase> {};

TEST_P(ProtocolTextTest, IsByteExact) {
  const ProtocolCase& c = GetParam();
  EXPECT_EQ(ProtocolOf(c.file), kHeader + c.findings + "Number of errors " +
                                    std::to_string(c.count));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProtocolTextTest,
    ::testing::Values(
        ProtocolCase{"TenLineExample", kTenLineExample, kTenLineFindings, 4},
        ProtocolCase{"NoFindings", ".Instrument Definitions\n[I]\n", "", 0},
        ProtocolCase{"EmptyFile", "", "", 0},
        // A valid file without a final line end is not broken.
        ProtocolCase{"LastLineWithoutLineEndResolves",
                     ".Controller Names\n[Standard]\n.Instrument Definitions\n[I]\n"
                     "Control=Standard",
                     "", 0},
        // Findings on such a line still start lines of their own.
        ProtocolCase{"RecordOfLineWithoutLineEnd",
                     ".Instrument Definitions\n[I]\nControl",
                     "Line 3: Control\nError: Label \"Control\" not found\n\n", 1},
        ProtocolCase{"PieceOfLongLineGetsALineEnd",
                     ".Note Names\n[" + std::string(260, 'n') + "]\n",
                     "Line 2: [" + std::string(253, 'n') + "\n" +
                         "Error: Label \"\" not used\n\n",
                     1},
        // A duplicate is found across a label of another kind in between.
        ProtocolCase{"DuplicateAcrossOtherKind",
                     ".Patch Names\n[A]\n.Note Names\n[A]\n.Patch Names\n[A]\n"
                     ".Instrument Definitions\n[I]\nPatch[*]=A\nKey[*,*]=A\n",
                     "Line 6: [A]\nWarning: Label \"A\" already in line 2\n"
                     "Line 6: [A]\nError: Label \"A\" not used\n\n",
                     2},
        ProtocolCase{"ThreeTimesInOneSection",
                     ".Note Names\n[K]\n[K]\n[K]\n",
                     "Line 3: [K]\nWarning: Label \"K\" already in line 2\n"
                     "Line 4: [K]\nWarning: Label \"K\" already in line 2\n"
                     "Line 2: [K]\nError: Label \"K\" not used\n\n"
                     "Line 3: [K]\nError: Label \"K\" not used\n\n"
                     "Line 4: [K]\nError: Label \"K\" not used\n\n",
                     5},
        ProtocolCase{"KindZeroIsNeverADuplicate", "[Z]\n[Z]\n",
                     "Line 1: [Z]\nError: Label \"Z\" not used\n\n"
                     "Line 2: [Z]\nError: Label \"Z\" not used\n\n",
                     2},
        ProtocolCase{"SameNameOtherKindIsNoDuplicate",
                     ".Controller Names\n[S]\n.RPN Names\n[S]\n"
                     ".Instrument Definitions\n[I]\nControl=S\nRPN=S\n",
                     "", 0},
        ProtocolCase{"UnusedInSortedOrderNotFoundInFileOrder",
                     ".Patch Names\n[b]\n[a]\n.Instrument Definitions\n[I]\n"
                     "Patch[*]=z\nPatch[*]=y\n",
                     "Line 3: [a]\nError: Label \"a\" not used\n\n"
                     "Line 2: [b]\nError: Label \"b\" not used\n\n"
                     "Line 6: Patch[*]=z\nError: Label \"z\" not found\n\n"
                     "Line 7: Patch[*]=y\nError: Label \"y\" not found\n\n",
                     4},
        ProtocolCase{"NulBytesAreWrittenAsRead",
                     std::string(".Patch Names\n[a\0b]\n", 19),
                     std::string("Line 2: [a\0b]\nError: Label \"a\0b\" not used\n\n",
                                 43),
                     1}),
    [](const auto& info) { return std::string(info.param.label); });

class MockHost : public CProtocolHost {
 public:
  MOCK_METHOD(int, DoSaveDialog, (const CFileDialogParams&, std::string&),
              (override));
  MOCK_METHOD(int, MessageBox, (const std::string&, unsigned), (override));
  MOCK_METHOD(void, ShellOpen, (const std::string&), (override));
};

// A check run whose lists are resolved and whose protocol is about to be
// written, with a scratch folder for the protocol.
class WriteProtocolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CheckContent(run, dir, ".Note Names\n[Drums]\n");
    protocol = dir.File("protocol.txt");
  }
  void ChooseFile(const std::string& path, int result = IDOK) {
    EXPECT_CALL(host, DoSaveDialog(_, _))
        .WillOnce(DoAll(SetArgReferee<1>(path), Return(result)));
  }

  const std::string expected =
      TextFileBytes(std::string(kHeader) +
                    "Line 2: [Drums]\nError: Label \"Drums\" not used\n\n"
                    "Number of errors 1");
  ScratchDir dir;
  CCheckRun run;
  StrictMock<MockHost> host;
  std::string protocol;
};

TEST_F(WriteProtocolTest, AsksWithTheProtocolDialogAndOpensTheResult) {
  EXPECT_CALL(host,
              DoSaveDialog(
                  AllOf(Field(&CFileDialogParams::bOpenFileDialog, false),
                        Field(&CFileDialogParams::title, "Select Protfile"),
                        Field(&CFileDialogParams::defaultExt, "txt"),
                        Field(&CFileDialogParams::flags, OFN_PATHMUSTEXIST),
                        Field(&CFileDialogParams::filter,
                              "Prot File (*.txt)|*.txt||")),
                  _))
      .WillOnce(DoAll(SetArgReferee<1>(protocol), Return(IDOK)));
  EXPECT_CALL(host, ShellOpen(protocol));
  EXPECT_EQ(run.WriteProtocol(host), CCheckRun::ProtocolOutcome::written);
  EXPECT_EQ(ReadBytes(protocol), expected);
  EXPECT_EQ(run.m_nErrorCount, 1);
  EXPECT_EQ(run.m_pProtocolFile, nullptr);
}

TEST_F(WriteProtocolTest, CancelWritesNothing) {
  ChooseFile(protocol, IDCANCEL);
  EXPECT_EQ(run.WriteProtocol(host), CCheckRun::ProtocolOutcome::cancelled);
  CFileStatus status;
  EXPECT_FALSE(CFile::GetStatus(protocol, status));
  EXPECT_EQ(run.m_nErrorCount, 0);
}

TEST_F(WriteProtocolTest, FailedDialogAbandonsAtTheOpen) {
  ChooseFile(protocol, 0);
  EXPECT_EQ(run.WriteProtocol(host), CCheckRun::ProtocolOutcome::openFailed);
  CFileStatus status;
  EXPECT_FALSE(CFile::GetStatus(protocol, status));
}

TEST_F(WriteProtocolTest, ExistingEmptyFileIsWrittenWithoutAsking) {
  WriteBytes(protocol, "");
  ChooseFile(protocol);
  EXPECT_CALL(host, ShellOpen(protocol));
  EXPECT_EQ(run.WriteProtocol(host), CCheckRun::ProtocolOutcome::written);
  EXPECT_EQ(ReadBytes(protocol), expected);
}

TEST_F(WriteProtocolTest, RefusedOverwriteLeavesTheFile) {
  WriteBytes(protocol, "keep me");
  ChooseFile(protocol);
  EXPECT_CALL(host, MessageBox("Overwrite existing file?", MB_YESNO))
      .WillOnce(Return(IDNO));
  EXPECT_EQ(run.WriteProtocol(host),
            CCheckRun::ProtocolOutcome::overwriteRefused);
  EXPECT_EQ(ReadBytes(protocol), "keep me");
}

TEST_F(WriteProtocolTest, ConsentReplacesALongerFileWhole) {
  WriteBytes(protocol, std::string(5000, 'o'));
  ChooseFile(protocol);
  EXPECT_CALL(host, MessageBox(_, _)).WillOnce(Return(IDYES));
  EXPECT_CALL(host, ShellOpen(protocol));
  EXPECT_EQ(run.WriteProtocol(host), CCheckRun::ProtocolOutcome::written);
  EXPECT_EQ(ReadBytes(protocol), expected);
}

TEST_F(WriteProtocolTest, UnopenableFileAbandonsWithTheReason) {
  const std::string path = dir.File("no/such/folder/protocol.txt");
  ChooseFile(path);
  EXPECT_EQ(run.WriteProtocol(host), CCheckRun::ProtocolOutcome::openFailed);
  EXPECT_EQ(std::string(run.m_protocolOpenError.what()),
            path + ": No such file or directory");
}

TEST_F(WriteProtocolTest, NeverWritesOverTheCheckedFile) {
  const std::string input = dir.File("input.ins");
  const std::string before = ReadBytes(input);
  ChooseFile(input);
  EXPECT_EQ(run.WriteProtocol(host), CCheckRun::ProtocolOutcome::sameAsInput);
  EXPECT_EQ(ReadBytes(input), before);
}

#ifndef _WIN32  // Windows has no device that is always full
TEST_F(WriteProtocolTest, WriteErrorThrowsAndOpensNothing) {
  ChooseFile("/dev/full");
  EXPECT_THROW(run.WriteProtocol(host), CFileException);
}
#endif

}  // namespace
