// Replacing a file's content in one step: what lands where, what is kept,
// and what is refused without a trace.
#include "platform/file_replace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#ifndef _WIN32
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif
#ifdef __linux__
#include <sys/xattr.h>
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

// The ways a replacement can go on a POSIX system: with an unnamed new
// file or a named one, with an exchange of names or a rename.
struct CWay {
  const char* name;
  bool noUnnamedFile;
  bool noExchange;
};
constexpr CWay kWays[] = {
    {"unnamed file, exchange", false, false},
    {"unnamed file, rename", false, true},
    {"named file, exchange", true, false},
    {"named file, rename", true, true},
};

// Sets the seams for one way and the hooks a test gives, and clears them
// all when it goes.
class CSeams {
 public:
  explicit CSeams(const CWay& way) {
    file_replace::TestSeams().noUnnamedFile = way.noUnnamedFile;
    file_replace::TestSeams().noExchange = way.noExchange;
  }
  ~CSeams() { file_replace::TestSeams() = {}; }
  CSeams(const CSeams&) = delete;
  CSeams& operator=(const CSeams&) = delete;
};

// Another program writing the file between the last look and the swap:
// in place (as most editors and shells do) or by putting a new file in its
// place. Its content stays, and the outcome says so.
TEST(FileReplaceTest, AWriterInTheWindowKeepsWhatItWrote) {
  struct Writer {
    const char* name;
    void (*write)(const std::string& target);
  };
  const Writer writers[] = {
      {"same length in place", [](const std::string& t) { WriteBytes(t, "OLD\n"); }},
      {"longer in place", [](const std::string& t) { WriteBytes(t, "old and more\n"); }},
      {"emptied", [](const std::string& t) { WriteBytes(t, ""); }},
      {"a new file renamed in",
       [](const std::string& t) {
         WriteBytes(t + ".new", "theirs\n");
         ASSERT_EQ(::rename((t + ".new").c_str(), t.c_str()), 0);
       }},
  };
  for (const CWay& way : kWays) {
    for (const Writer& writer : writers) {
      SCOPED_TRACE(std::string(way.name) + ", " + writer.name);
      ScratchDir dir;
      const std::string path = dir.File("a.ins");
      WriteBytes(path, "old\n");
      CSeams seams(way);
      std::string written;
      file_replace::TestSeams().beforeSwap = [&](const std::string& target) {
        writer.write(target);
        written = ReadBytes(target);
      };
      CFileException error;
      EXPECT_EQ(ReplaceFileContent(path, "old\n", "new\n", error), ReplaceOutcome::changedMeanwhile);
      EXPECT_EQ(ReadBytes(path), written);
      EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"a.ins"});
    }
  }
}

// A writer after the swap writes the new file; nothing of the old is lost.
TEST(FileReplaceTest, WithoutAWriterEveryWayReplaces) {
  for (const CWay& way : kWays) {
    SCOPED_TRACE(way.name);
    ScratchDir dir;
    const std::string path = dir.File("a.ins");
    WriteBytes(path, "old\n");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    CSeams seams(way);
    CFileException error;
    EXPECT_EQ(ReplaceFileContent(path, "old\n", "new\n", error), ReplaceOutcome::replaced);
    EXPECT_EQ(ReadBytes(path), "new\n");
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"a.ins"});
  }
}

// A program stopped while it replaces a file leaves the file whole and no
// copy beside it: INT and TERM on every way, KILL where the new file has no
// name until it is whole. Stopped once the new file's name is taken, only
// a KILL may leave that (whole) file behind.
TEST(FileReplaceTest, AStoppedProgramLeavesNoCopy) {
  struct Case {
    int signal;
    bool noUnnamedFile;
    bool atSwap;  // stopped just before the swap, else once the new file is written
  };
  const Case cases[] = {
      {SIGINT, false, false}, {SIGTERM, false, false}, {SIGKILL, false, false},
      {SIGHUP, false, false}, {SIGINT, true, false},   {SIGTERM, true, false},
      {SIGINT, false, true},  {SIGTERM, false, true},  {SIGTERM, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(strsignal(c.signal)) + (c.noUnnamedFile ? ", named" : ", unnamed") +
                 (c.atSwap ? ", at the swap" : ", once written"));
    ScratchDir dir;
    const std::string path = dir.File("a.ins");
    WriteBytes(path, "old\n");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      file_replace::TestSeams().noUnnamedFile = c.noUnnamedFile;
      auto stop = [&](const std::string&) { ::raise(c.signal); };
      if (c.atSwap) file_replace::TestSeams().beforeSwap = stop;
      else file_replace::TestSeams().newFileWritten = stop;
      CFileException error;
      ReplaceFileContent(path, "old\n", std::string(1 << 20, 'x'), error);
      ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal) << status;
    EXPECT_EQ(ReadBytes(path), "old\n");
    EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"a.ins"});
  }
}

// Refused, and nothing written: a file with another name (which a new file
// would leave with the old text) and, even to the superuser, a file that
// no one may write.
TEST(FileReplaceTest, HardLinkedAndReadOnlyFilesAreRefused) {
  struct Case {
    const char* name;
    mode_t mode;
    bool link;
    const char* reason;
  };
  const Case cases[] = {
      {"two names", 0644, true, "has more than one name (hard links), which a fix would part"},
      {"no write bit", 0444, false, "Permission denied"},
      {"owner may only read", 0400, false, "Permission denied"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDir dir;
    const std::string path = dir.File("a.ins");
    WriteBytes(path, "old\n");
    if (c.link) {
      ASSERT_EQ(::link(path.c_str(), dir.File("b.ins").c_str()), 0);
    }
    ASSERT_EQ(::chmod(path.c_str(), c.mode), 0);
    CFileException error;
    EXPECT_EQ(ReplaceFileContent(path, "old\n", "new\n", error), ReplaceOutcome::failed);
    EXPECT_EQ(error.what(), path + ": " + c.reason);
    EXPECT_EQ(ReadBytes(path), "old\n");
    if (c.link) {
      EXPECT_EQ(ReadBytes(dir.File("b.ins")), "old\n");
    }
    EXPECT_EQ(Names(dir.path()).size(), c.link ? 2u : 1u);
  }
}

#ifdef __linux__

// An access list as the system stores it: a version, then entries of a
// tag, permissions and an id.
std::string AccessList(std::initializer_list<std::array<std::uint32_t, 3>> entries) {
  std::string bytes;
  auto put = [&](std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i) bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
  };
  put(2, 4);
  for (const auto& [tag, permissions, id] : entries) {
    put(tag, 2);
    put(permissions, 2);
    put(id, 4);
  }
  return bytes;
}

std::string Attribute(const std::string& path, const char* name) {
  char value[256];
  const ssize_t n = ::getxattr(path.c_str(), name, value, sizeof value);
  return n < 0 ? "(none)" : std::string(value, static_cast<std::size_t>(n));
}

TEST(FileReplaceTest, ExtendedAttributesAndAccessListsComeAlong) {
  constexpr std::uint32_t kNoId = 0xFFFFFFFF;
  const std::string list = AccessList(
      {{0x01, 6, kNoId}, {0x02, 4, 4321}, {0x04, 4, kNoId}, {0x10, 6, kNoId}, {0x20, 0, kNoId}});
  struct Case {
    const char* name;
    std::string value;
  };
  const Case cases[] = {
      {"user.comment", "kept"},
      {"user.empty", ""},
      {"user.binary", std::string("\0\xFF\x01", 3)},
      {"system.posix_acl_access", list},
  };
  for (const CWay& way : kWays) {
    SCOPED_TRACE(way.name);
    ScratchDir dir;
    const std::string path = dir.File("a.ins");
    WriteBytes(path, "old\n");
    for (const Case& c : cases) {
      if (::setxattr(path.c_str(), c.name, c.value.data(), c.value.size(), 0) != 0)
        GTEST_SKIP() << dir.path() << " does not take " << c.name << ": " << std::strerror(errno);
    }
    CSeams seams(way);
    CFileException error;
    ASSERT_EQ(ReplaceFileContent(path, "old\n", "new\n", error), ReplaceOutcome::replaced);
    for (const Case& c : cases) EXPECT_EQ(Attribute(path, c.name), c.value) << c.name;
  }
}

// A folder's default access list goes to every new file in it; a file
// that had none before has none after.
TEST(FileReplaceTest, NoAccessListFromTheFolderWhereTheFileHadNone) {
  constexpr std::uint32_t kNoId = 0xFFFFFFFF;
  const std::string list = AccessList(
      {{0x01, 7, kNoId}, {0x02, 7, 4321}, {0x04, 5, kNoId}, {0x10, 7, kNoId}, {0x20, 5, kNoId}});
  for (const CWay& way : kWays) {
    SCOPED_TRACE(way.name);
    ScratchDir dir;
    if (::setxattr(dir.path().c_str(), "system.posix_acl_default", list.data(), list.size(), 0) != 0)
      GTEST_SKIP() << dir.path() << " takes no default access list: " << std::strerror(errno);
    const std::string path = dir.File("a.ins");
    WriteBytes(path, "old\n");
    ::removexattr(path.c_str(), "system.posix_acl_access");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    CSeams seams(way);
    CFileException error;
    ASSERT_EQ(ReplaceFileContent(path, "old\n", "new\n", error), ReplaceOutcome::replaced);
    EXPECT_EQ(Attribute(path, "system.posix_acl_access"), "(none)");
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
  }
}

#endif
#endif

}  // namespace
