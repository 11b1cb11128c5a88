// veltrane-check's rules end to end: choosing them on the command line and
// in veltrane.toml, the errors for what names no rule, the exit status of
// the formats that show rules, and the protocol that knows none of it.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/test_util.h"

namespace {

const std::string kExe = VELTRANE_CHECK_EXE;

RunResult Check(std::vector<std::string> args, const std::string& dir) {
  args.insert(args.begin(), kExe);
  return RunProgram(args, dir);
}

// One error of a cross-reference, one warning and one note of other rules.
const std::string kFile =
    ".Patch Names\n[P]\n0=a\n0=b\n.Instrument Definitions\n[I]\nPatch[*]=P\n"
    "SupportsPitchBend=1\nControl=Missing\n";

class CliRulesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(::mkdir(dir.File("sub").c_str(), 0755), 0);
    WriteBytes(dir.File("sub/f.ins"), kFile);
  }
  // The rule ids of the gnu lines, in order.
  static std::vector<std::string> Ids(const std::string& gnu) {
    std::vector<std::string> ids;
    for (std::size_t at = gnu.find(" [VLT"); at != std::string::npos;
         at = gnu.find(" [VLT", at + 1))
      ids.push_back(gnu.substr(at + 2, 7));
    return ids;
  }
  ScratchDir dir;
};

TEST_F(CliRulesTest, SelectAndIgnore) {
  const struct {
    std::vector<std::string> options;
    std::vector<std::string> ids;
    int status;
  } cases[] = {
      {{}, {"VLT2002", "VLT2006", "VLT1003"}, 1},
      {{"--select", "VLT1"}, {"VLT1003"}, 1},
      {{"--select=VLT2006"}, {"VLT2006"}, 0},  // notes alone do not fail
      {{"--ignore", "VLT1,VLT2002"}, {"VLT2006"}, 0},
      {{"--select", "VLT2", "--select", "VLT1003", "--ignore=VLT2006"}, {"VLT2002", "VLT1003"}, 1},
      {{"--no-config", "--select=ALL"}, {"VLT2002", "VLT2006", "VLT1003"}, 1},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"--format=gnu", "--no-notes"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    args.push_back("sub/f.ins");
    SCOPED_TRACE(::testing::PrintToString(args));
    const RunResult r = Check(args, dir.path());
    EXPECT_EQ(Ids(r.out), c.ids) << r.out;
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.err, "");
  }
}

TEST_F(CliRulesTest, ArgumentErrorsNameWhatIsWrong) {
  const struct {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{"--format=gnu", "--select=VLT9", "sub/f.ins"},
       "veltrane-check: 'VLT9' in --select names no rule; see --list-rules; try "
       "'veltrane-check --help'\n"},
      {{"--format=sarif", "--ignore", "VLT1,XYZ", "sub/f.ins"},
       "veltrane-check: 'XYZ' in --ignore names no rule; see --list-rules; try "
       "'veltrane-check --help'\n"},
      {{"--format=gnu", "--select=", "sub/f.ins"},
       "veltrane-check: option '--select' needs rule ids; try 'veltrane-check --help'\n"},
      {{"--format=gnu", "--ignore", " , ", "sub/f.ins"},
       "veltrane-check: option '--ignore' needs rule ids; try 'veltrane-check --help'\n"},
      {{"--explain", "VLT2"},
       "veltrane-check: 'VLT2' is no rule id; see --list-rules; try 'veltrane-check --help'\n"},
      {{"--select=VLT1", "sub/f.ins"},
       "veltrane-check: --select goes with --format=gnu or --format=sarif; try "
       "'veltrane-check --help'\n"},
      {{"--format=gnu", "--config", "x.toml", "--no-config", "sub/f.ins"},
       "veltrane-check: --config and --no-config exclude each other; try "
       "'veltrane-check --help'\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    const RunResult r = Check(c.args, dir.path());
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.out, "");
  }
}

TEST_F(CliRulesTest, ConfigurationFileAboveTheInput) {
  WriteBytes(dir.File("veltrane.toml"),
             "[check]\nselect = [\"VLT2\"]\n[check.per-file-ignores]\n\"sub/*.ins\" = [\"VLT2006\"]\n");
  RunResult r = Check({"--format=gnu", "--no-notes", "sub/f.ins"}, dir.path());
  EXPECT_EQ(Ids(r.out), std::vector<std::string>{"VLT2002"});
  // The command line's select replaces the file's.
  r = Check({"--format=gnu", "--no-notes", "--select=VLT1", "sub/f.ins"}, dir.path());
  EXPECT_EQ(Ids(r.out), std::vector<std::string>{"VLT1003"});
  r = Check({"--format=gnu", "--no-notes", "--no-config", "sub/f.ins"}, dir.path());
  EXPECT_EQ(Ids(r.out), (std::vector<std::string>{"VLT2002", "VLT2006", "VLT1003"}));
  // The protocol reads no configuration.
  r = Check({"sub/f.ins"}, dir.path());
  EXPECT_NE(r.out.find("Number of errors 1"), std::string::npos);

  WriteBytes(dir.File("other.toml"), "[check]\nignore = [\"VLT\"]\n");
  r = Check({"--format=gnu", "--config", "other.toml", "sub/f.ins"}, dir.path());
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.status, 0);
}

TEST_F(CliRulesTest, BrokenConfigurationFailsTheRun) {
  WriteBytes(dir.File("veltrane.toml"), "[check]\nselect = [\"VLT1\"]\nselct = []\n");
  for (const char* format : {"--format=gnu", "--format=sarif"}) {
    const RunResult r = Check({format, "sub/f.ins"}, dir.path());
    EXPECT_EQ(r.status, 2) << format;
    EXPECT_EQ(r.err, "veltrane-check: " + dir.File("veltrane.toml") +
                         ":3: unknown key \"selct\" in [check] (select, ignore, codepage or "
                         "per-file-ignores)\n");
  }
  const RunResult missing = Check({"--format=gnu", "--config=none.toml", "sub/f.ins"}, dir.path());
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(missing.err, "veltrane-check: none.toml: cannot be read: No such file or directory\n");
}

// A note on a label not found stands at the reference it explains, as its
// text names the list's line; a rule's note stands at the place it speaks
// of, right after its finding whatever that place.
TEST_F(CliRulesTest, NotesStandWhereTheySpeakOf) {
  WriteBytes(dir.File("n.ins"),
             ".Patch Names\n[P]\n0=a\n0=b\n.Instrument Definitions\n[I]\nPatch[*]=P\n"
             "Patch[*]=P\nBasedOn=J\nControl=Q\n[J]\n.Controller Names\n[Q ]\n");
  const RunResult r = Check({"--format=gnu", "--select=ALL", "n.ins"}, dir.path());
  EXPECT_EQ(r.out,
            "n.ins:4:1: warning: Number 0 already has an entry in line 3, with another text: "
            "\"a\" [VLT2002]\n"
            "n.ins:3:1: note: number 0 is first given here\n"
            "n.ins:8:1: warning: Key Patch[*] already set in line 7: programs disagree which one "
            "wins [VLT2008]\n"
            "n.ins:7:1: note: key Patch[*] is first set here\n"
            "n.ins:9:9: note: BasedOn names \"J\", which is defined only later, in line 11 "
            "[VLT3003]\n"
            "n.ins:11:2: note: list \"J\" is defined here\n"
            "n.ins:10:9: error: Label \"Q\" not found [VLT1003]\n"
            "n.ins:10:9: note: did you mean \"Q \" (line 13)?\n"
            "n.ins:13:2: error: Label \"Q \" not used [VLT1002]\n"
            "n.ins:13:2: warning: Label \"Q \" has blanks around its name [VLT3002]\n");
}

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// The protocol's last line, "Number of errors N".
std::string ErrorCount(const std::string& protocol) {
  return protocol.substr(protocol.rfind('\n') + 1);
}

// The forgotten header on real files, when they are there: quiet on each as
// it is and on the examples; said once on a copy of a real file whose
// ".Note Names" line is gone (its drum kits are used many times over), and
// its fix gives back as many findings as the file had.
TEST_F(CliRulesTest, ForgottenHeaderOnRealFiles) {
  std::vector<std::pair<std::filesystem::path, bool>> files;  // (file, real)
  for (const char* folder : {VELTRANE_EXAMPLES_DIR, VELTRANE_CORPUS_DIR}) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
      if (entry.path().extension() == ".ins")
        files.push_back({entry.path(), std::string(folder) == VELTRANE_CORPUS_DIR});
  }
  ASSERT_FALSE(files.empty());
  for (const auto& [path, real] : files) {
    SCOPED_TRACE(path.string());
    // Copies: the checker locks what it reads, and other tests may read the
    // same files.
    const std::string bytes = ReadAll(path);
    WriteBytes(dir.File("real.ins"), bytes);
    EXPECT_EQ(Check({"--format=gnu", "--select=VLT2010", "real.ins"}, dir.path()).out, "");
    std::string broken;
    std::istringstream lines(bytes);
    for (std::string line; std::getline(lines, line);)
      if (!line.starts_with(".Note Names")) broken += line + "\n";
    if (!real || broken.size() + 1 >= bytes.size()) continue;
    WriteBytes(dir.File("broken.ins"), broken);
    const RunResult r = Check({"--format=gnu", "--select=VLT2010", "broken.ins"}, dir.path());
    EXPECT_EQ(Ids(r.out), std::vector<std::string>{"VLT2010"}) << r.out;
    EXPECT_NE(r.out.find(" are used as note lists but stand under .Patch Names: a \".Note Names\" "
                         "line is probably missing above line "),
              std::string::npos)
        << r.out;
    Check({"--select=VLT2010", "--fix", "--unsafe-fixes", "broken.ins"}, dir.path());
    EXPECT_EQ(ErrorCount(Check({"broken.ins"}, dir.path()).out),
              ErrorCount(Check({"real.ins"}, dir.path()).out));
  }
}

TEST_F(CliRulesTest, ListAndExplain) {
  const RunResult list = Check({"--list-rules"}, dir.path());
  EXPECT_EQ(list.status, 0);
  EXPECT_EQ(list.out.substr(0, list.out.find('\n')),
            "VLT0001  UnusedSuppression      note     on   A suppression comment that silences "
            "nothing.");
  const RunResult explain = Check({"--explain", "VLT3007"}, dir.path());
  EXPECT_EQ(explain.status, 0);
  EXPECT_EQ(explain.out.substr(0, explain.out.find('\n')),
            "VLT3007 CommentInEntryText (note, off by default)");
}

}  // namespace
