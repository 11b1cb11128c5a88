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

Flags UsedFlags(const CCheckRun& run) {
  Flags flags;
  for (int i = 0; i < run.m_pResult->definitions->GetCount(); ++i)
    flags.definitions += run.m_pResult->definitions->IsUsed(i) ? '1' : '0';
  for (int i = 0; i < run.m_pResult->references->GetCount(); ++i)
    flags.references += run.m_pResult->references->IsUsed(i) ? '1' : '0';
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
  CCheckRun run;
  CheckContent(run, dir, GetParam().file);
  EXPECT_EQ(UsedFlags(run), GetParam().flags);
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
  CCheckRun run;
  CheckContent(run, dir, "");
  EXPECT_EQ(run.m_pResult->definitions->GetCount(), 0);
  EXPECT_EQ(run.m_pResult->references->GetCount(), 0);
}

TEST(RunCheckTest, ClosesAndReleasesTheInputFile) {
  ScratchDir dir;
  CCheckRun run;
  CheckContent(run, dir, "[A]\n");
  EXPECT_EQ(run.m_pInputFile, nullptr);
  EXPECT_EQ(run.m_nErrorCount, 0);
  // The lock is gone with the file: another exclusive open succeeds.
  CStdioFile again;
  EXPECT_TRUE(again.Open(dir.File("input.ins"),
                         CFile::modeRead | CFile::shareExclusive));
}

TEST(RunCheckTest, ReplacesListsOfAnEarlierRun) {
  ScratchDir dir;
  CCheckRun run;
  CheckContent(run, dir, "[A]\n[B]\n");
  CheckContent(run, dir, "[C]\n");
  EXPECT_EQ(run.m_pResult->definitions->GetCount(), 1);
}

TEST(RunCheckTest, DefinitionsAreSortedReferencesStayInFileOrder) {
  ScratchDir dir;
  CCheckRun run;
  CheckContent(run, dir, "[b]\n[a]\nControl=z\nControl=y\n");
  EXPECT_EQ(run.m_pResult->definitions->GetName(0), "a");
  EXPECT_EQ(run.m_pResult->references->GetName(0), "z");
}

TEST(RunCheckTest, BytesInMemoryCheckAsTheirFileDoes) {
  const std::string content =
      ".Controller Names\r\n[S]\r\n[S]\r\nControl=S\r\nControl=" +
      std::string(300, 'T');
  ScratchDir dir;
  CCheckRun fromFile;
  CheckContent(fromFile, dir, content);
  CCheckRun fromMemory;
  fromMemory.m_pInputFile = std::make_unique<CStdioFile>();
  fromMemory.m_pInputFile->OpenMemory(content, "P");
  fromMemory.m_strDisplayName = "P";
  fromMemory.RunCheck();
  EXPECT_EQ(fromMemory.m_pInputFile, nullptr);
  EXPECT_EQ(UsedFlags(fromMemory), UsedFlags(fromFile));
  ASSERT_EQ(fromMemory.m_pResult->references->GetCount(), 2);
  EXPECT_EQ(fromMemory.m_pResult->references->At(1).line, 5);
  EXPECT_EQ(fromMemory.m_pResult->references->At(1).Text(),
            fromFile.m_pResult->references->At(1).Text());

  // No file on disk stands behind the bytes, so none is guarded: the
  // protocol goes where it is asked to, and says what the file's says.
  EXPECT_EQ(fromMemory.InputStatus(), nullptr);
  for (CCheckRun* run : {&fromMemory, &fromFile}) {
    const std::string path = dir.File(run == &fromFile ? "file.txt" : "memory.txt");
    EXPECT_EQ(WriteProtocolFile(path, *run->m_pResult, "P", run->InputStatus(),
                                [] { return true; }, run->m_pProtocolFile,
                                run->m_protocolOpenError),
              ProtocolFileOutcome::written);
  }
  EXPECT_EQ(ReadBytes(dir.File("memory.txt")), ReadBytes(dir.File("file.txt")));
  EXPECT_EQ(fromMemory.m_pResult->ErrorCount(), 3);  // a duplicate, it unused, T not found
}

}  // namespace
