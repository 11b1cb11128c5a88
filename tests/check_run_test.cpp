// Running a check (checker/check_run.cpp) on an input file or on bytes:
// the lists it gives, the file it lets go, the protocol it writes.
#include "checker/check_run.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "checker/protocol_file.h"
#include "tests/check_fixture.h"

namespace {

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
