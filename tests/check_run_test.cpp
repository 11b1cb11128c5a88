#include "checker/check_run.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "checker/protocol_file.h"
#include "tests/check_fixture.h"

namespace {

// Used flags as "D" (definitions, sorted order) and "R" (references, file
// order) strings of 1 and 0, e.g. {"10", "1"}.
struct Flags {
  std::string definitions;
  std::string references;
  bool operator==(const Flags&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Flags& f) {
  return os << "D=" << f.definitions << " R=" << f.references;
}

Flags UsedFlags(const CCheckResult& result) {
  Flags flags;
  for (int i = 0; i < result.definitions->GetCount(); ++i)
    flags.definitions += result.definitions->IsUsed(i) ? '1' : '0';
  for (int i = 0; i < result.references->GetCount(); ++i)
    flags.references += result.references->IsUsed(i) ? '1' : '0';
  return flags;
}

struct ResolveCase {
  const char* label;
  std::string file;
  Flags flags;
};

// The case's label, so that test names and failure reports stay short.
void PrintTo(const ResolveCase& c, std::ostream* os) { *os << c.label; }

class ResolveTest : public ::testing::TestWithParam<ResolveCase> {};

TEST_P(ResolveTest, MarksMatchesByNameAndKind) {
  ScratchDir dir;
  EXPECT_EQ(UsedFlags(CheckContent(dir, GetParam().file).result), GetParam().flags);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ResolveTest,
    ::testing::Values(
        ResolveCase{"NoReferences", ".Patch Names\n[A]\n[B]\n", {"00", ""}},
        ResolveCase{"SameKindResolves",
                    ".Controller Names\n[Standard]\nControl=Standard\n", {"1", "1"}},
        ResolveCase{"OtherKindDoesNot",
                    ".Note Names\n[Standard]\nControl=Standard\n", {"0", "0"}},
        ResolveCase{"TwoReferencesOneDefinition",
                    ".Patch Names\n[GM]\n.Instrument Definitions\n[I]\n"
                    "Patch[*]=GM\nPatch[0]=GM\n",
                    {"11", "11"}},
        ResolveCase{"FirstOfTwoEqualDefinitions",
                    ".Controller Names\n[Standard]\n[Standard]\nControl=Standard\n",
                    {"10", "1"}},
        ResolveCase{"InstrumentsArePreMarked",
                    ".Instrument Definitions\n[My Synth]\n", {"1", ""}},
        ResolveCase{"CaseMatters", ".Controller Names\n[std]\nControl=Std\n",
                    {"0", "0"}},
        ResolveCase{"EmptyNameMatchesEmptyName", ".RPN Names\n[]\n[X\nRPN=\n",
                    {"10", "1"}},
        ResolveCase{"KindZeroOnlyByBasedOnBeforeHeaders",
                    "[Base]\nBasedOn=Base\n.Note Names\nBasedOn=Base\n",
                    {"1", "10"}},
        ResolveCase{"SameNameDifferentKinds",
                    ".Controller Names\n[S]\n.RPN Names\n[S]\nRPN=S\n",
                    {"01", "1"}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(RunCheckTest, EmptyFileGivesEmptyLists) {
  ScratchDir dir;
  const CCheckResult result = CheckContent(dir, "").result;
  EXPECT_EQ(result.definitions->GetCount(), 0);
  EXPECT_EQ(result.references->GetCount(), 0);
}

TEST(RunCheckTest, ClosesAndReleasesTheInputFile) {
  ScratchDir dir;
  const std::string path = dir.File("input.ins");
  WriteBytes(path, "[A]\n");
  auto input = std::make_unique<CStdioFile>();
  ASSERT_TRUE(input->Open(path, CFile::modeRead | CFile::shareExclusive));
  const CCheckedInput checked = CheckInputFile(input, CCheckOptions{});
  EXPECT_EQ(input, nullptr);
  ASSERT_NE(checked.Status(), nullptr);
  // The lock is gone with the file: another exclusive open succeeds.
  CStdioFile again;
  EXPECT_TRUE(again.Open(dir.File("input.ins"),
                         CFile::modeRead | CFile::shareExclusive));
}

TEST(RunCheckTest, DefinitionsAreSortedReferencesStayInFileOrder) {
  ScratchDir dir;
  const CCheckResult result = CheckContent(dir, "[b]\n[a]\nControl=z\nControl=y\n").result;
  EXPECT_EQ(result.definitions->GetName(0), "a");
  EXPECT_EQ(result.references->GetName(0), "z");
}

TEST(RunCheckTest, BytesInMemoryCheckAsTheirFileDoes) {
  const std::string content =
      ".Controller Names\r\n[S]\r\n[S]\r\nControl=S\r\nControl=" +
      std::string(300, 'T');
  ScratchDir dir;
  const CCheckedInput fromFile = CheckContent(dir, content);
  auto input = std::make_unique<CStdioFile>();
  input->OpenMemory(content, "P");
  const CCheckedInput fromMemory = CheckInputFile(input, CCheckOptions{});
  EXPECT_EQ(input, nullptr);
  EXPECT_EQ(UsedFlags(fromMemory.result), UsedFlags(fromFile.result));
  ASSERT_EQ(fromMemory.result.references->GetCount(), 2);
  EXPECT_EQ(fromMemory.result.references->At(1).line, 5);
  EXPECT_EQ(fromMemory.result.references->At(1).Text(),
            fromFile.result.references->At(1).Text());

  // No file on disk stands behind the bytes, so none is guarded: the
  // protocol goes where it is asked to, and says what the file's says.
  EXPECT_EQ(fromMemory.Status(), nullptr);
  for (const CCheckedInput* checked : {&fromMemory, &fromFile}) {
    const std::string path = dir.File(checked == &fromFile ? "file.txt" : "memory.txt");
    std::unique_ptr<CStdioFile> protocolFile;
    CFileException openError;
    EXPECT_EQ(WriteProtocolFile(path, checked->result, "P", checked->Status(),
                                [] { return true; }, protocolFile, openError),
              ProtocolFileOutcome::written);
  }
  EXPECT_EQ(ReadBytes(dir.File("memory.txt")), ReadBytes(dir.File("file.txt")));
  EXPECT_EQ(fromMemory.result.ErrorCount(), 3);  // a duplicate, it unused, T not found
}

}  // namespace
