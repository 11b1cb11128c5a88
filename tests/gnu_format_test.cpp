// veltrane-check --format=gnu end to end: one line per finding for several
// inputs, always the findings of the protocol, and the exit statuses.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "fuzz/finding_lines.h"
#include "tests/test_util.h"

namespace {

using namespace std::string_literals;

const std::string kExe = VELTRANE_CHECK_EXE;

RunResult Check(std::vector<std::string> args, const std::string& dir) {
  args.insert(args.begin(), kExe);
  return RunProgram(args, dir);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start));
  return lines;
}

int CountLines(const std::string& text) {
  return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

// The findings of a protocol and of gnu lines in one form (see
// fuzz/finding_lines.h); the protocol's count is added to `count`.
FindingLines ProtocolFindings(const std::string& input, const std::string& protocol,
                              int& count) {
  FindingLines findings;
  int own = 0;
  EXPECT_TRUE(ReadProtocolFindings(protocol, input, findings, own)) << protocol;
  count += own;
  // gnu lines come by place in the file, the protocol by kind.
  std::sort(findings.begin(), findings.end());
  return findings;
}

FindingLines GnuFindings(const std::string& gnu) {
  std::map<std::string, FindingLines> byInput;
  std::vector<std::string> order;
  EXPECT_TRUE(ReadGnuFindings(gnu, byInput, order)) << gnu;
  FindingLines all;
  for (const std::string& input : order) {
    std::sort(byInput[input].begin(), byInput[input].end());
    all.insert(all.end(), byInput[input].begin(), byInput[input].end());
    byInput[input].clear();
  }
  return all;
}

// Files whose findings are easy to get wrong in one format but not the
// other: bytes that C strings stop at, missing line ends, pieces of
// over-long lines, a duplicate with another kind in between.
struct EdgeFile {
  const char* name;
  std::string bytes;
};

const std::vector<EdgeFile>& EdgeFiles() {
  static const std::vector<EdgeFile> files = {
      {"nul_and_cr.ins",
       ".Patch Names\n[Bank\0One]\n[Bank\rTwo]\n"
       ".Instrument Definitions\n[I]\nPatch[*]=Go\0ne\n"s},
      {"no_final_line_end.ins",
       ".Controller Names\n[Std]\n.Instrument Definitions\n[I]\nControl=Stdd"},
      {"long_lines.ins", ".Note Names\n[" + std::string(300, 'k') +
                             "]\n.Instrument Definitions\n[I]\nKey[*,*]=" +
                             std::string(260, 'v') + "\n"},
      {"kinds_between.ins",
       ".Patch Names\n[A]\n.Note Names\n[A]\n.Patch Names\n[A]\n"
       ".Controller Names\n[A]\n[A]\n.Instrument Definitions\n[I]\n"
       "Patch[*]=A\n"},
      {"crlf.ins", ".RPN Names\r\n[R]\r\n[R]\r\n.Instrument Definitions\r\n"
                   "[I]\r\nRPN=R\r\nNRPN=R\r\n"},
      {"empty.ins", ""},
  };
  return files;
}

class GnuFormatTest : public ::testing::Test {
 protected:
  // Works on copies: the checker locks what it reads, and other tests may
  // be reading the examples at the same time.
  void SetUp() override {
    for (const auto& entry :
         std::filesystem::directory_iterator(VELTRANE_EXAMPLES_DIR)) {
      if (entry.path().extension() != ".ins") continue;
      std::filesystem::copy_file(entry.path(),
                                 dir.File(entry.path().filename().string()));
      inputs.push_back(entry.path().filename().string());
    }
    std::sort(inputs.begin(), inputs.end());
    ASSERT_GE(inputs.size(), 2u);
    for (const EdgeFile& file : EdgeFiles()) {
      WriteBytes(dir.File(file.name), file.bytes);
      inputs.push_back(file.name);
    }
    WriteBytes(dir.File("clean.ins"), ".Instrument Definitions\n[I]\n");
    WriteBytes(dir.File("dirty.ins"), ".Patch Names\n[Unused]\n");
  }

  ScratchDir dir;
  std::vector<std::string> inputs;  // the examples, then the edge files
};

TEST_F(GnuFormatTest, EachInputGivesTheFindingsOfItsProtocol) {
  for (const std::string& input : inputs) {
    SCOPED_TRACE(input);
    const RunResult protocol = Check({input}, dir.path());
    const RunResult gnu = Check({"--format=gnu", "--select", "VLT1", input}, dir.path());
    const RunResult bare =
        Check({"--format=gnu", "--no-notes", "--select", "VLT1", input}, dir.path());
    int count = 0;
    EXPECT_EQ(GnuFindings(bare.out), ProtocolFindings(input, protocol.out, count));
    EXPECT_EQ(CountLines(bare.out), count);
    EXPECT_EQ(WithoutNoteLines(gnu.out), bare.out);
    EXPECT_EQ(bare.status, protocol.status);
    EXPECT_EQ(gnu.status, protocol.status);
    EXPECT_EQ(gnu.err, "");
  }
}

TEST_F(GnuFormatTest, SeveralInputsInTheOrderGiven) {
  std::vector<std::string> args = {"--format=gnu", "--select=VLT1"};
  FindingLines expected;
  std::string names;
  int count = 0;
  for (auto it = inputs.rbegin(); it != inputs.rend(); ++it) {
    args.push_back(*it);
    const FindingLines own = ProtocolFindings(*it, Check({*it}, dir.path()).out, count);
    expected.insert(expected.end(), own.begin(), own.end());
    if (!own.empty()) names += *it + ";";
  }
  const RunResult gnu = Check(args, dir.path());
  EXPECT_EQ(GnuFindings(gnu.out), expected);
  EXPECT_EQ(CountLines(WithoutNoteLines(gnu.out)), count);
  std::string seen;
  for (const std::string& line : Lines(WithoutNoteLines(gnu.out))) {
    const std::string input = line.substr(0, line.find(':'));
    if (!seen.ends_with(input + ";")) seen += input + ";";
  }
  EXPECT_EQ(seen, names);
  EXPECT_EQ(gnu.status, 1);
}

TEST_F(GnuFormatTest, LinesAreExactAndShowControlCharactersAsEscapes) {
  // The lone CR ends a line as editors count them: "Go\0ne" stands in line
  // 7 of the editor but in line 6 of the protocol.
  const RunResult r = Check({"--format=gnu", "nul_and_cr.ins"}, dir.path());
  EXPECT_EQ(r.out,
            "nul_and_cr.ins:2:2: error: Label \"Bank\\x00One\" not used [VLT1002]\n"
            "nul_and_cr.ins:3:2: error: Label \"Bank\\x0DTwo\" not used [VLT1002]\n"
            "nul_and_cr.ins:7:10: error: Label \"Go\\x00ne\" not found [VLT1003]\n"s);

  const RunResult kinds = Check({"--format=gnu", "kinds_between.ins"}, dir.path());
  EXPECT_EQ(kinds.out,
            "kinds_between.ins:4:2: error: Label \"A\" not used [VLT1002]\n"
            "kinds_between.ins:6:2: warning: Label \"A\" already in line 2 [VLT1001]\n"
            "kinds_between.ins:6:2: error: Label \"A\" not used [VLT1002]\n"
            "kinds_between.ins:8:2: error: Label \"A\" not used [VLT1002]\n"
            "kinds_between.ins:9:2: warning: Label \"A\" already in line 8 [VLT1001]\n"
            "kinds_between.ins:9:2: error: Label \"A\" not used [VLT1002]\n");

  // A long line is one line, however many pieces the protocol counts.
  const RunResult longLines =
      Check({"--format=gnu", "--no-notes", "--select=VLT1", "long_lines.ins"}, dir.path());
  EXPECT_EQ(longLines.out,
            "long_lines.ins:2:2: error: Label \"\" not used [VLT1002]\n"
            "long_lines.ins:5:10: error: Label \"" + std::string(245, 'v') +
                "\" not found [VLT1003]\n");
}

TEST_F(GnuFormatTest, InputIsNamedAsTyped) {
  ASSERT_EQ(::mkdir(dir.File("sub").c_str(), 0755), 0);
  const std::string longName = dir.File(std::string(90, 'n') + ".ins");
  WriteBytes(longName, ".Patch Names\n[Unused]\n");
  for (const std::string& typed :
       {std::string("./dirty.ins"), std::string("sub/../dirty.ins"), longName}) {
    SCOPED_TRACE(typed);
    const RunResult r = Check({"--format=gnu", typed}, dir.path());
    EXPECT_EQ(r.out, typed + ":2:2: error: Label \"Unused\" not used [VLT1002]\n");
  }
}

// An input that cannot be read costs one line on standard error; the others
// are still checked, and a failure outranks findings.
TEST_F(GnuFormatTest, ExitStatusOverSeveralInputs) {
  ASSERT_EQ(::mkdir(dir.File("folder.ins").c_str(), 0755), 0);
  const std::string dirtyLine = "dirty.ins:2:2: error: Label \"Unused\" not used [VLT1002]\n";
  struct Case {
    std::vector<std::string> inputs;
    int status;
    std::string out;
    int errLines;
  } cases[] = {
      {{"clean.ins"}, 0, "", 0},
      {{"clean.ins", "clean.ins"}, 0, "", 0},
      {{"clean.ins", "dirty.ins"}, 1, dirtyLine, 0},
      {{"dirty.ins", "dirty.ins"}, 1, dirtyLine + dirtyLine, 0},
      {{"missing.ins"}, 2, "", 1},
      {{"clean.ins", "missing.ins"}, 2, "", 1},
      {{"missing.ins", "dirty.ins"}, 2, dirtyLine, 1},
      {{"dirty.ins", "missing.ins", "folder.ins", "clean.ins"}, 2, dirtyLine, 2},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"--format=gnu"};
    args.insert(args.end(), c.inputs.begin(), c.inputs.end());
    SCOPED_TRACE(::testing::PrintToString(c.inputs));
    const RunResult r = Check(args, dir.path());
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(CountLines(r.err), c.errLines) << r.err;
    if (c.errLines > 0) {
      EXPECT_NE(r.err.find("missing.ins: "), std::string::npos);
    }
  }
}

// Wrong arguments: exit 2, one line on standard error, nothing checked and
// nothing written.
TEST_F(GnuFormatTest, ArgumentErrors) {
  const std::vector<std::vector<std::string>> cases = {
      {"--format=gnu", "--output", "p.txt", "dirty.ins"},
      {"--format=gnu", "-o", "p.txt", "dirty.ins"},
      {"--output=p.txt", "--format=gnu", "dirty.ins"},
      {"--format=gnu", "--force", "dirty.ins"},
      {"--format=gnu"},
      {"--format=xml", "dirty.ins"},
      {"--format=", "dirty.ins"},
      {"dirty.ins", "--format"},
      {"dirty.ins", "clean.ins"},
      {"--format=protocol", "dirty.ins", "clean.ins"},
      {"--format=sarif", "--output", "p.txt", "dirty.ins"},
      {"--format=sarif", "--force", "dirty.ins"},
      {"--format=sarif"},
      {"--format=gnu", "--no-notes"},
  };
  for (const auto& args : cases) {
    SCOPED_TRACE(::testing::PrintToString(args));
    const RunResult r = Check(args, dir.path());
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(CountLines(r.err), 1) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir.File("p.txt")));
  }
}

TEST_F(GnuFormatTest, ProtocolFormatIsTheDefault) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--format=protocol", "dirty.ins"},
        std::vector<std::string>{"--format", "protocol", "dirty.ins"}}) {
    const RunResult r = Check(args, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, Check({"dirty.ins"}, dir.path()).out);
  }
  const RunResult written =
      Check({"--format=protocol", "--output", "p.txt", "dirty.ins"}, dir.path());
  EXPECT_EQ(written.status, 1);
  EXPECT_EQ(ReadBytes(dir.File("p.txt")), Check({"dirty.ins"}, dir.path()).out);
}

}  // namespace
