// veltrane-check end to end: the built program, run as a user would run it.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/ten_line_example.h"
#include "tests/test_util.h"

namespace {

const std::string kExe = VELTRANE_CHECK_EXE;

RunResult Check(std::vector<std::string> args, const std::string& dir = "") {
  args.insert(args.begin(), kExe);
  return RunProgram(args, dir);
}

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    input = dir.File("synth.ins");
    WriteBytes(input, kTenLineExample);
    WriteBytes(dir.File("clean.ins"), ".Instrument Definitions\n[I]\n");
  }
  ScratchDir dir;
  std::string input;
};

TEST_F(CliTest, ProtocolOnStandardOutputNamesThePathAsTyped) {
  RunResult r = Check({"synth.ins"}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, TenLineProtocol("synth.ins"));
  EXPECT_EQ(r.err, "");

  r = Check({"./clean.ins"}, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Veltrane Protocol\nFile: \"./clean.ins\"\n\nNumber of errors 0");
}

TEST_F(CliTest, LongInputPathIsShortenedInTheHeader) {
  const std::string sub = dir.File(std::string(80, 's'));
  ASSERT_EQ(::mkdir(sub.c_str(), 0755), 0);
  const std::string path = sub + "/synth.ins";
  WriteBytes(path, kTenLineExample);
  RunResult r = Check({path});
  EXPECT_EQ(r.out, TenLineProtocol("..." + path.substr(path.size() - 67)));
}

TEST_F(CliTest, OutputFileGetsTheSameProtocolAndNothingOnStdout) {
  RunResult r = Check({"--output", "p.txt", "synth.ins"}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(ReadBytes(dir.File("p.txt")), TenLineProtocol("synth.ins"));

  // An existing empty file is written without asking.
  WriteBytes(dir.File("empty.txt"), "");
  r = Check({"--output=empty.txt", "clean.ins"}, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(ReadBytes(dir.File("empty.txt")),
            "Veltrane Protocol\nFile: \"clean.ins\"\n\nNumber of errors 0");
}

TEST_F(CliTest, NonEmptyOutputNeedsForce) {
  const std::string out = dir.File("p.txt");
  WriteBytes(out, "an older protocol\n");
  RunResult r = Check({"--output", out, input});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "veltrane-check: " + out +
                       ": file exists and is not empty; use --force to replace it\n");
  EXPECT_EQ(ReadBytes(out), "an older protocol\n");

  r = Check({"--force", "--output", out, input});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(ReadBytes(out), TenLineProtocol(input));
}

TEST_F(CliTest, TheInputIsNeverTheProtocol) {
  RunResult r = Check({"--force", "--output", input, input});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "veltrane-check: " + input +
                       ": is the input file; choose another protocol file\n");
  EXPECT_EQ(ReadBytes(input), kTenLineExample);
}

TEST_F(CliTest, FailuresGiveOneLineAndStatusTwo) {
  const std::string missing = dir.File("missing.ins");
  const std::string noFolder = dir.File("no/such/p.txt");
  struct {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{missing}, missing + ": No such file or directory"},
      {{dir.path()}, dir.path() + ": Is a directory"},
      {{"--output", noFolder, input}, noFolder + ": No such file or directory"},
      {{"--output", dir.path(), input}, dir.path() + ": Is a directory"},
      {{"--output", "/dev/full", input}, "/dev/full: No space left on device"},
      {{}, "no input file given; try 'veltrane-check --help'"},
      {{input, input},
       "more than one input file given; --format=gnu or --format=sarif checks several "
       "files; try 'veltrane-check --help'"},
      {{"--bogus", input}, "unknown option '--bogus'; try 'veltrane-check --help'"},
      {{input, "--output"},
       "option '--output' needs a file name; try 'veltrane-check --help'"},
      {{"--output=", input},
       "the protocol file name is empty; try 'veltrane-check --help'"},
      {{"--codepage=1361", input},
       "unknown code page '1361' (932, 936, 949, 950 or a single-byte one such as "
       "1252); try 'veltrane-check --help'"},
      {{"--codepage", "932x", input},
       "unknown code page '932x' (932, 936, 949, 950 or a single-byte one such as "
       "1252); try 'veltrane-check --help'"},
      {{input, "--codepage"},
       "option '--codepage' needs a code page number; try 'veltrane-check --help'"},
  };
  for (const auto& c : cases) {
    RunResult r = Check(c.args);
    EXPECT_EQ(r.status, 2) << c.err;
    EXPECT_EQ(r.err, "veltrane-check: " + c.err + "\n");
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(ReadBytes(input), kTenLineExample);
}

TEST_F(CliTest, UnwritableOutputFolder) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes into any folder";
  const std::string locked = dir.File("locked");
  ASSERT_EQ(::mkdir(locked.c_str(), 0555), 0);
  RunResult r = Check({"--output", locked + "/p.txt", input});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "veltrane-check: " + locked + "/p.txt: Permission denied\n");
}

TEST_F(CliTest, UnwritableOutputFolderAsRoot) {
  // Root ignores folder permissions, but a folder on a read-only file
  // system refuses everybody; /proc is one that every Linux machine has.
  RunResult r = Check({"--output", "/proc/veltrane-protocol.txt", input});
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(r.err.starts_with("veltrane-check: /proc/veltrane-protocol.txt: "))
      << r.err;
}

TEST_F(CliTest, DashDashEndsOptions) {
  WriteBytes(dir.File("-odd.ins"), kTenLineExample);
  RunResult r = Check({"--", "-odd.ins"}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, TenLineProtocol("-odd.ins"));
}

TEST_F(CliTest, CodePageChoosesHowNamesAreRead) {
  // A Shift-JIS drum kit whose first trail byte is "]".
  WriteBytes(dir.File("kit.ins"),
             ".Note Names\n[\x83\x5D\x83\x41 Kit]\n.Instrument Definitions\n[I]\n"
             "Key[*,*]=\x83\x5D\x83\x41 Kit\n");
  const struct {
    std::vector<std::string> options;
    int status;
    std::string gnu;
  } cases[] = {
      {{"--codepage=932"}, 0, ""},
      {{"--codepage", "936"}, 0, ""},
      // Read byte by byte, the names are Windows-1252 text: 0x83 is "ƒ".
      {{"--codepage=1252"}, 1,
       "kit.ins:2:2: error: Label \"\u0192\" not used [VLT1002]\n"
       "kit.ins:5:10: error: Label \"\u0192]\u0192A Kit\" not found [VLT1003]\n"
       "kit.ins:5:10: note: \"\u0192\" (line 2) is the only .Note Names list that nothing "
       "uses\n"},
      {{}, 1,
       "kit.ins:2:2: error: Label \"\u0192\" not used [VLT1002]\n"
       "kit.ins:5:10: error: Label \"\u0192]\u0192A Kit\" not found [VLT1003]\n"
       "kit.ins:5:10: note: \"\u0192\" (line 2) is the only .Note Names list that nothing "
       "uses\n"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = c.options;
    args.insert(args.begin(), "--format=gnu");
    args.push_back("kit.ins");
    RunResult r = Check(args, dir.path());
    EXPECT_EQ(r.status, c.status) << args[1];
    EXPECT_EQ(r.out, c.gnu) << args[1];
  }
}

// Names are text for people in the gnu lines, converted from the code page;
// columns count characters, a double-byte one as one.
TEST_F(CliTest, GnuShowsNamesAsTextAndCountsColumnsInCharacters) {
  WriteBytes(dir.File("names.ins"),
             ".Patch Names\n[Caf\xE9 Pianos]\n[\x83\x5D\x81\x5B\x83\x93 Kit]\n"
             ".Instrument Definitions\n[I]\nKey[\x83\x5D]=Drums\n");
  const struct {
    std::string codePage;
    std::string gnu;
  } cases[] = {
      {"--codepage=932",
       "names.ins:2:2: error: Label \"Caf\u00E9 Pianos\" not used [VLT1002]\n"
       "names.ins:3:2: error: Label \"\u30BE\u30FC\u30F3 Kit\" not used [VLT1002]\n"
       "names.ins:6:8: error: Label \"Drums\" not found [VLT1003]\n"},
      {"--codepage=1252",
       "names.ins:2:2: error: Label \"Caf\u00E9 Pianos\" not used [VLT1002]\n"
       "names.ins:3:2: error: Label \"\u0192\" not used [VLT1002]\n"
       "names.ins:6:9: error: Label \"Drums\" not found [VLT1003]\n"},
  };
  for (const auto& c : cases) {
    const RunResult r =
        Check({"--format=gnu", "--no-notes", "--select=VLT1", c.codePage, "names.ins"},
              dir.path());
    EXPECT_EQ(r.out, c.gnu) << c.codePage;
    // The protocol keeps the file's own bytes.
    const RunResult protocol = Check({c.codePage, "names.ins"}, dir.path());
    EXPECT_NE(protocol.out.find("[Caf\xE9 Pianos]"), std::string::npos);
  }
}

TEST(CliInfoTest, VersionAndHelp) {
  RunResult r = RunProgram({kExe, "--version"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "veltrane-check 1.0.0\n");
  r = RunProgram({kExe, "--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(r.out.starts_with("Usage: veltrane-check ")) << r.out;
}

TEST(CliExamplesTest, BundledExamplesHaveTheirFindings) {
  const std::string examples = VELTRANE_EXAMPLES_DIR;
  RunResult r = RunProgram({kExe, examples + "/clean_module.ins"});
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(r.out.ends_with("\n\nNumber of errors 0")) << r.out;
  r = RunProgram({kExe, examples + "/studio_rack.ins"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.out.ends_with("\nNumber of errors 5")) << r.out;
}

}  // namespace
