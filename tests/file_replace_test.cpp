// Replacing a file's content in one step: what lands where, what is kept,
// and what is refused without a trace.
#include "platform/file_replace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "tests/test_util.h"

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

// The names in `folder`, so that a test sees any file left behind.
std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(FileReplaceTest, ReplacesTheContentAndLeavesNothingElse) {
  ScratchDir dir;
  const std::string path = dir.File("a.ins");
  WriteBytes(path, "old\r\n");
  CFileException error;
  EXPECT_EQ(ReplaceFileContent(path, "old\r\n", "new\rbytes", error), ReplaceOutcome::replaced);
  EXPECT_EQ(ReadBytes(path), "new\rbytes");
  EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"a.ins"});
}

TEST(FileReplaceTest, AFileChangedSinceItWasReadIsLeftAlone) {
  ScratchDir dir;
  const std::string path = dir.File("a.ins");
  WriteBytes(path, "someone else's\n");
  CFileException error;
  EXPECT_EQ(ReplaceFileContent(path, "old\n", "new\n", error), ReplaceOutcome::changedMeanwhile);
  EXPECT_EQ(ReadBytes(path), "someone else's\n");
  EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"a.ins"});
}

TEST(FileReplaceTest, AMissingFileFailsWithItsName) {
  ScratchDir dir;
  const std::string path = dir.File("gone.ins");
  CFileException error;
  EXPECT_EQ(ReplaceFileContent(path, "", "new\n", error), ReplaceOutcome::failed);
  EXPECT_EQ(error.m_strFileName, path);
  EXPECT_TRUE(Names(dir.path()).empty());
}

TEST(FileReplaceTest, ReadWholeFileReadsEveryByteAsStored) {
  ScratchDir dir;
  const std::string bytes = "a\r\nb\rc\n\0\x1A\x83\x5D"s;
  WriteBytes(dir.File("a.ins"), bytes);
  std::string read;
  CFileException error;
  ASSERT_TRUE(ReadWholeFile(dir.File("a.ins"), read, error));
  EXPECT_EQ(read, bytes);
  EXPECT_FALSE(ReadWholeFile(dir.path(), read, error));
}

#ifndef _WIN32

TEST(FileReplaceTest, ThroughASymbolicLinkItsTargetIsWrittenAndTheLinkStays) {
  ScratchDir dir;
  fs::create_directory(dir.File("real"));
  const std::string target = dir.File("real/a.ins");
  WriteBytes(target, "old\n");
  ASSERT_EQ(::symlink("real/a.ins", dir.File("link.ins").c_str()), 0);
  CFileException error;
  EXPECT_EQ(ReplaceFileContent(dir.File("link.ins"), "old\n", "new\n", error), ReplaceOutcome::replaced);
  EXPECT_TRUE(fs::is_symlink(dir.File("link.ins")));
  EXPECT_EQ(ReadBytes(target), "new\n");
  EXPECT_EQ(Names(dir.File("real")), std::vector<std::string>{"a.ins"});
}

TEST(FileReplaceTest, TheNewFileHasTheOldOnesPermissions) {
  ScratchDir dir;
  const std::string path = dir.File("a.ins");
  WriteBytes(path, "old\n");
  for (const mode_t mode : {0640, 0600, 0755}) {
    ASSERT_EQ(::chmod(path.c_str(), mode), 0);
    CFileException error;
    const std::string bytes = ReadBytes(path);
    ASSERT_EQ(ReplaceFileContent(path, bytes, bytes + "x", error), ReplaceOutcome::replaced);
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, mode);
  }
}

// Folder and file permissions bind everybody but the superuser; the
// command line's tests run these as another user when they run as root.
TEST(FileReplaceTest, AReadOnlyFolderOrFileIsRefusedAndLosesNothing) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes into any folder and file";
  ScratchDir dir;
  const std::string folder = dir.File("locked");
  fs::create_directory(folder);
  const std::string path = folder + "/a.ins";
  WriteBytes(path, "old\n");
  ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
  CFileException error;
  EXPECT_EQ(ReplaceFileContent(path, "old\n", "new\n", error), ReplaceOutcome::failed);
  EXPECT_STREQ(error.what(), (folder + ": Permission denied").c_str());
  EXPECT_EQ(ReadBytes(path), "old\n");
  ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  EXPECT_EQ(ReplaceFileContent(path, "old\n", "new\n", error), ReplaceOutcome::failed);
  EXPECT_STREQ(error.what(), (path + ": Permission denied").c_str());
  EXPECT_EQ(ReadBytes(path), "old\n");
  EXPECT_EQ(Names(folder), std::vector<std::string>{"a.ins"});
}

#endif

}  // namespace
