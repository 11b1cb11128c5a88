// veltrane-check against input and output that a careless or hostile world
// hands it: odd bytes, huge lines, files it may not or cannot read, places
// it cannot write. Whatever happens, it must not crash, must not touch the
// input, must say what went wrong in one line and must not call a failed
// protocol a success.
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "tests/test_util.h"

namespace {

const std::string kCheck = VELTRANE_CHECK_EXE;
constexpr uid_t kNobody = 65534;
constexpr int kCannotDropPrivileges = 125;

// How the child that runs veltrane-check is set up.
struct ChildSetup {
  std::string stdoutPath;      // empty: captured
  bool asOtherUser = false;    // root drops to nobody, so permissions bite
  rlim_t fileSizeLimit = RLIM_INFINITY;

  static ChildSetup AsOtherUser() {
    ChildSetup setup;
    setup.asOtherUser = true;
    return setup;
  }
  static ChildSetup StdoutTo(std::string path) {
    ChildSetup setup;
    setup.stdoutPath = std::move(path);
    return setup;
  }
  static ChildSetup FileSizeLimit(rlim_t bytes) {
    ChildSetup setup;
    setup.fileSizeLimit = bytes;
    return setup;
  }
};

struct CheckResult {
  int status = -1;  // exit status; -1 when killed by a signal
  std::string out;
  std::string err;
  long peakKilobytes = 0;
};

CheckResult RunCheck(const std::vector<std::string>& args,
                     const ChildSetup& setup = {}) {
  ScratchDir capture;
  const std::string outPath =
      setup.stdoutPath.empty() ? capture.File("out") : setup.stdoutPath;
  const std::string errPath = capture.File("err");
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int in = ::open("/dev/null", O_RDONLY);
    const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0) ::_exit(127);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    if (setup.asOtherUser && ::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 ||
         ::setuid(kNobody) != 0)) {
      ::_exit(kCannotDropPrivileges);
    }
    if (setup.fileSizeLimit != RLIM_INFINITY) {
      const rlimit limit{setup.fileSizeLimit, setup.fileSizeLimit};
      ::setrlimit(RLIMIT_FSIZE, &limit);
      // A write past the limit then fails with EFBIG, as on a full disk,
      // instead of killing the process.
      ::signal(SIGXFSZ, SIG_IGN);
    }
    std::vector<char*> argv{const_cast<char*>(kCheck.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  CheckResult result;
  int status = 0;
  rusage usage{};
  while (::wait4(pid, &status, 0, &usage) < 0) {
  }
  if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
  result.peakKilobytes = usage.ru_maxrss;
  if (setup.stdoutPath.empty()) result.out = ReadBytes(outPath);
  result.err = ReadBytes(errPath);
  return result;
}

// Every file below `dir` with its bytes, to show that nothing was changed,
// added or removed.
std::map<std::string, std::string> Snapshot(const std::string& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
    const std::string path = entry.path().string();
    files[path] = entry.is_regular_file() ? ReadBytes(path) : "(not a file)";
  }
  return files;
}

std::string Protocol(const std::string& displayName, const std::string& body,
                     int errors) {
  return "Veltrane Protocol\nFile: \"" + displayName + "\"\n\n" + body +
         "Number of errors " + std::to_string(errors);
}

const std::string kInput =
    ".Patch Names\n[Bank]\n0=Piano\n.Instrument Definitions\n[Synth]\n"
    "Patch[0]=Bank\n";

// ---------------------------------------------------------------------------
// Failures: exit status 2, one line on standard error, nothing changed.

struct Failure {
  Failure(std::vector<std::string> a, std::string m, ChildSetup c = {})
      : args(std::move(a)), message(std::move(m)), child(std::move(c)) {}

  std::vector<std::string> args;
  std::string message;  // the line on standard error after "veltrane-check: "
  ChildSetup child;
};

struct FailureCase {
  const char* label;
  // Prepares the scratch folder, which already holds in.ins, and says how
  // veltrane-check is run and what it must say.
  std::function<Failure(const ScratchDir&)> prepare;
};

// The case's label, so that test names and failure reports stay short.
void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.label; }

class HostileFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(HostileFailure, SaysWhyInOneLineAndChangesNothing) {
  ScratchDir dir;
  WriteBytes(dir.File("in.ins"), kInput);
  const Failure failure = GetParam().prepare(dir);
  const auto before = Snapshot(dir.path());

  const CheckResult result = RunCheck(failure.args, failure.child);
  if (result.status == kCannotDropPrivileges)
    GTEST_SKIP() << "cannot run as another user here";

  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err, "veltrane-check: " + failure.message + "\n");
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(Snapshot(dir.path()), before);
}

// Lets another user in, so that only the permission under test stops it.
void OpenToOthers(const ScratchDir& dir) {
  ::chmod(dir.path().c_str(), 0755);
  ::chmod(dir.File("in.ins").c_str(), 0644);
}

std::string LongPath(const ScratchDir& dir) {
  std::string path = dir.path();
  while (path.size() <= PATH_MAX) path += "/folder";
  return path + "/in.ins";
}

const std::string kLongName = std::string(NAME_MAX + 1, 'n') + ".ins";

INSTANTIATE_TEST_SUITE_P(
    Cases, HostileFailure,
    ::testing::Values(
        FailureCase{"DirectoryAsInput",
                    [](const ScratchDir& d) {
                      return Failure{{d.path()}, d.path() + ": Is a directory"};
                    }},
        FailureCase{"DeviceAsInput",
                    [](const ScratchDir&) {
                      return Failure{{"/dev/zero"},
                                     "/dev/zero: not a regular file"};
                    }},
        FailureCase{"PipeAsInput",
                    [](const ScratchDir& d) {
                      ::mkfifo(d.File("pipe").c_str(), 0644);
                      return Failure{{d.File("pipe")},
                                     d.File("pipe") + ": not a regular file"};
                    }},
        FailureCase{"UnreadableInput",
                    [](const ScratchDir& d) {
                      OpenToOthers(d);
                      ::chmod(d.File("in.ins").c_str(), 0);
                      return Failure{{d.File("in.ins")},
                                     d.File("in.ins") + ": Permission denied",
                                     ChildSetup::AsOtherUser()};
                    }},
        FailureCase{"InputPathLongerThanPathMax",
                    [](const ScratchDir& d) {
                      return Failure{{LongPath(d)},
                                     LongPath(d) + ": File name too long"};
                    }},
        FailureCase{"InputNameLongerThanNameMax",
                    [](const ScratchDir& d) {
                      return Failure{{d.File(kLongName)},
                                     d.File(kLongName) + ": File name too long"};
                    }},
        FailureCase{"OutputFolderMissing",
                    [](const ScratchDir& d) {
                      const std::string out = d.File("missing/protocol.txt");
                      return Failure{{"--output", out, d.File("in.ins")},
                                     out + ": No such file or directory"};
                    }},
        FailureCase{"OutputFolderNotWritable",
                    [](const ScratchDir& d) {
                      OpenToOthers(d);
                      ::mkdir(d.File("locked").c_str(), 0555);
                      const std::string out = d.File("locked/protocol.txt");
                      return Failure{{"--output", out, d.File("in.ins")},
                                     out + ": Permission denied",
                                     ChildSetup::AsOtherUser()};
                    }},
        FailureCase{"OutputIsAFolder",
                    [](const ScratchDir& d) {
                      ::mkdir(d.File("folder").c_str(), 0755);
                      return Failure{{"--output", d.File("folder"), d.File("in.ins")},
                                     d.File("folder") + ": Is a directory"};
                    }},
        FailureCase{"OutputPathLongerThanPathMax",
                    [](const ScratchDir& d) {
                      return Failure{{"--output", LongPath(d), d.File("in.ins")},
                                     LongPath(d) + ": File name too long"};
                    }},
        FailureCase{"OutputNameLongerThanNameMax",
                    [](const ScratchDir& d) {
                      return Failure{{"--output", d.File(kLongName), d.File("in.ins")},
                                     d.File(kLongName) + ": File name too long"};
                    }},
        FailureCase{"OutputOnFullDisk",
                    [](const ScratchDir& d) {
                      return Failure{{"--output", "/dev/full", d.File("in.ins")},
                                     "/dev/full: No space left on device"};
                    }},
        FailureCase{"StandardOutputOnFullDisk",
                    [](const ScratchDir& d) {
                      return Failure{{d.File("in.ins")},
                                     "standard output: No space left on device",
                                     ChildSetup::StdoutTo("/dev/full")};
                    }},
        FailureCase{"NonEmptyOutputWithoutForce",
                    [](const ScratchDir& d) {
                      WriteBytes(d.File("protocol.txt"), "an older protocol");
                      return Failure{
                          {"--output", d.File("protocol.txt"), d.File("in.ins")},
                          d.File("protocol.txt") +
                              ": file exists and is not empty; use --force to "
                              "replace it"};
                    }}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(HostileInputTest, InputLockedByAnotherProcess) {
  ScratchDir dir;
  const std::string input = dir.File("in.ins");
  WriteBytes(input, kInput);
  int ready[2], release[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(release), 0);
  const pid_t holder = ::fork();
  if (holder == 0) {
    ::close(ready[0]);
    ::close(release[1]);
    const int fd = ::open(input.c_str(), O_RDONLY);
    char byte = 0;
    if (fd < 0 || ::flock(fd, LOCK_EX) != 0) ::_exit(1);
    (void)!::write(ready[1], "x", 1);
    (void)!::read(release[0], &byte, 1);  // until the parent closes its end
    ::_exit(0);
  }
  ::close(ready[1]);
  ::close(release[0]);
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1) << "the lock holder did not start";

  const CheckResult result = RunCheck({input});

  ::close(release[1]);
  int status = 0;
  ::waitpid(holder, &status, 0);
  ::close(ready[0]);
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err, "veltrane-check: " + input + ": locked by another process\n");
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(ReadBytes(input), kInput);
}

// A disk that fills up while the protocol is written: the file size limit
// makes the write fail the way a full disk does.
TEST(HostileInputTest, ProtocolThatCannotBeFinishedIsAFailure) {
  ScratchDir dir;
  const std::string input = dir.File("in.ins");
  const std::string output = dir.File("protocol.txt");
  const std::string bytes =
      kInput + ".Note Names\n[Unused 1]\n[Unused 2]\n[Unused 3]\n";
  WriteBytes(input, bytes);
  // Room for the one-line message on standard error, not for the protocol.
  const CheckResult result =
      RunCheck({"--output", output, input}, ChildSetup::FileSizeLimit(100));
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err, "veltrane-check: " + output + ": File too large\n");
  EXPECT_EQ(ReadBytes(input), bytes);
  // What did reach the disk has no trailer, so it cannot pass for a whole
  // protocol.
  EXPECT_EQ(ReadBytes(output).find("Number of errors"), std::string::npos);
}

// ---------------------------------------------------------------------------
// Odd but readable input: a protocol, exactly, and the input unchanged.

struct OddInputCase {
  const char* label;
  std::string bytes;
  std::string body;  // the protocol between header and trailer
  int errors;
};

void PrintTo(const OddInputCase& c, std::ostream* os) { *os << c.label; }

class HostileOddInput : public ::testing::TestWithParam<OddInputCase> {};

TEST_P(HostileOddInput, GivesTheExactProtocol) {
  const OddInputCase& c = GetParam();
  ScratchDir dir;
  const std::string input = dir.File("in.ins");
  WriteBytes(input, c.bytes);
  const CheckResult result = RunCheck({input});
  EXPECT_EQ(result.status, c.errors > 0 ? 1 : 0);
  EXPECT_EQ(result.out, Protocol(input, c.body, c.errors));
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(ReadBytes(input), c.bytes);
}

using namespace std::string_literals;

INSTANTIATE_TEST_SUITE_P(
    Cases, HostileOddInput,
    ::testing::Values(
        OddInputCase{"EmptyFile", "", "", 0},
        // NUL is an ordinary character: names are compared and shown whole.
        OddInputCase{"NulBytes",
                     ".Patch Names\n[A\0B]\n.Note Names\n[Old\0Kit]\n"
                     ".Instrument Definitions\n[Synth]\nPatch[0]=A\0B\n"
                     "Patch[1]=A\n"s,
                     "Line 4: [Old\0Kit]\nError: Label \"Old\0Kit\" not used\n\n"
                     "Line 8: Patch[1]=A\nError: Label \"A\" not found\n\n"s,
                     2},
        // A lone CR is no line end, so the whole file is one line.
        OddInputCase{"CrOnlyLineEnds", "[A]\r[B]\rControl=A\r",
                     "Line 1: [A]\r[B]\rControl=A\r\n"
                     "Error: Label \"A\" not used\n\n",
                     1}),
    [](const auto& info) { return std::string(info.param.label); });

// Random bytes: whatever the protocol says, it is whole and its count
// matches the exit status.
TEST(HostileInputTest, BinaryFile) {
  ScratchDir dir;
  const std::string input = dir.File("random.bin");
  std::string bytes;
  std::uint64_t state = 42;
  while (bytes.size() < (1 << 20)) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    bytes.push_back(static_cast<char>(state >> 56));
  }
  WriteBytes(input, bytes);
  const CheckResult result = RunCheck({input});
  ASSERT_TRUE(result.status == 0 || result.status == 1) << result.err;
  EXPECT_EQ(result.err, "");
  EXPECT_TRUE(result.out.starts_with(Protocol(input, "", 0).substr(0, 30)));
  const std::size_t trailer = result.out.rfind("\nNumber of errors ");
  ASSERT_NE(trailer, std::string::npos);
  const int errors = std::stoi(result.out.substr(trailer + 18));
  EXPECT_EQ(result.status, errors > 0 ? 1 : 0);
  EXPECT_EQ(ReadBytes(input), bytes);
}

// One line of 1 GiB without a line end. The file is sparse, so the test
// needs no disk space; the reader must get through it in pieces of 254
// characters without holding the line.
TEST(HostileInputTest, GigabyteLineWithoutLineEnd) {
  ScratchDir dir;
  const std::string input = dir.File("huge.ins");
  const off_t size = off_t{1} << 30;
  {
    const int fd = ::open(input.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, "Patch=", 6, 0), 6);
    ASSERT_EQ(::pwrite(fd, "X", 1, size - 1), 1);
    ::close(fd);
  }
  struct stat before{};
  ASSERT_EQ(::stat(input.c_str(), &before), 0);

  const CheckResult result = RunCheck({input});

  // The first piece is the key and 248 NULs; every later piece starts with
  // a NUL and is skipped.
  const std::string value(248, '\0');
  EXPECT_EQ(result.status, 1) << result.err;
  EXPECT_EQ(result.out,
            Protocol(input,
                     "Line 1: Patch=" + value + "\nError: Label \"" + value +
                         "\" not found\n\n",
                     1));
  EXPECT_LT(result.peakKilobytes, 128 * 1024) << "memory must not grow with the line";
  struct stat after{};
  ASSERT_EQ(::stat(input.c_str(), &after), 0);
  EXPECT_EQ(after.st_size, before.st_size);
  EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
  EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
}

}  // namespace
