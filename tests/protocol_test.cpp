#include "checker/protocol.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "checker/protocol_file.h"
#include "tests/check_fixture.h"
#include "tests/ten_line_example.h"

namespace {

std::string ProtocolOf(const std::string& content) {
  ScratchDir dir;
  const CCheckedInput checked = CheckContent(dir, content);
  std::string text;
  EmitProtocol(checked.result, "P",
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

// A check run whose lists are resolved and whose protocol is about to be
// written, with a scratch folder for the protocol. `answer` is what the
// owner says when asked to replace a file; `asked` counts the questions.
class WriteProtocolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    checked = CheckContent(dir, ".Note Names\n[Drums]\n");
    protocol = dir.File("protocol.txt");
  }
  ProtocolFileOutcome Write(const std::string& path) {
    return WriteProtocolFile(path, checked.result, "P", checked.Status(),
                             [this] {
                               ++asked;
                               return answer;
                             },
                             protocolFile, openError);
  }

  const std::string expected =
      TextFileBytes(std::string(kHeader) +
                    "Line 2: [Drums]\nError: Label \"Drums\" not used\n\n"
                    "Number of errors 1");
  ScratchDir dir;
  CCheckedInput checked;
  std::unique_ptr<CStdioFile> protocolFile;
  CFileException openError;
  std::string protocol;
  bool answer = false;
  int asked = 0;
};

TEST_F(WriteProtocolTest, WritesTheProtocolAndReleasesTheFile) {
  EXPECT_EQ(Write(protocol), ProtocolFileOutcome::written);
  EXPECT_EQ(ReadBytes(protocol), expected);
  EXPECT_EQ(protocolFile, nullptr);
  EXPECT_EQ(asked, 0);
}

TEST_F(WriteProtocolTest, EmptyPathAbandonsAtTheOpen) {
  EXPECT_EQ(Write(""), ProtocolFileOutcome::openFailed);
  // The unopened file object stays until its owner releases it.
  EXPECT_NE(protocolFile, nullptr);
}

TEST_F(WriteProtocolTest, ExistingEmptyFileIsWrittenWithoutAsking) {
  WriteBytes(protocol, "");
  EXPECT_EQ(Write(protocol), ProtocolFileOutcome::written);
  EXPECT_EQ(ReadBytes(protocol), expected);
  EXPECT_EQ(asked, 0);
}

TEST_F(WriteProtocolTest, RefusedOverwriteLeavesTheFile) {
  WriteBytes(protocol, "keep me");
  EXPECT_EQ(Write(protocol), ProtocolFileOutcome::overwriteRefused);
  EXPECT_EQ(ReadBytes(protocol), "keep me");
  EXPECT_EQ(asked, 1);
}

TEST_F(WriteProtocolTest, ConsentReplacesALongerFileWhole) {
  WriteBytes(protocol, std::string(5000, 'o'));
  answer = true;
  EXPECT_EQ(Write(protocol), ProtocolFileOutcome::written);
  EXPECT_EQ(ReadBytes(protocol), expected);
  EXPECT_EQ(asked, 1);
}

TEST_F(WriteProtocolTest, UnopenableFileAbandonsWithTheReason) {
  const std::string path = dir.File("no/such/folder/protocol.txt");
  EXPECT_EQ(Write(path), ProtocolFileOutcome::openFailed);
  EXPECT_EQ(std::string(openError.what()),
            path + ": No such file or directory");
}

TEST_F(WriteProtocolTest, NeverWritesOverTheCheckedFile) {
  const std::string input = dir.File("input.ins");
  const std::string before = ReadBytes(input);
  answer = true;
  EXPECT_EQ(Write(input), ProtocolFileOutcome::sameAsInput);
  EXPECT_EQ(ReadBytes(input), before);
  EXPECT_EQ(asked, 0);
}

#ifndef _WIN32  // Windows has no device that is always full
TEST_F(WriteProtocolTest, WriteErrorThrows) {
  EXPECT_THROW(Write("/dev/full"), CFileException);
}
#endif

}  // namespace
