// veltrane-check --fix and --diff end to end, and the diff against the
// system's own diff -u.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "checker/fix/line_diff.h"
#include "cli/unified_diff.h"
#include "tests/test_util.h"

namespace {

const std::string kExe = VELTRANE_CHECK_EXE;

const std::string kMisspelt =
    ".Controller Names\n[Standard]\n.Instrument Definitions\n[I]\nControl=Standrd\n";
const std::string kMisspeltFixed =
    ".Controller Names\n[Standard]\n.Instrument Definitions\n[I]\nControl=Standard\n";
const std::string kMisspeltDiff =
    "--- a.ins\t\n+++ a.ins\t\n@@ -2,4 +2,4 @@\n [Standard]\n .Instrument Definitions\n [I]\n"
    "-Control=Standrd\n+Control=Standard\n";
const std::string kMisspeltLines =
    "a.ins:2:2: error: Label \"Standard\" not used [VLT1002]\n"
    "a.ins:5:9: error: Label \"Standrd\" not found [VLT1003]\n"
    "a.ins:5:9: note: did you mean \"Standard\" (line 2)?\n";

struct CommandCase {
  const char* label;
  std::vector<std::string> args;  // run in a folder with a.ins
  std::string file;               // a.ins before
  int status;
  std::string out;
  std::string err;
  std::string after;              // a.ins after
  std::string toml = "";          // veltrane.toml beside it, when not empty
};

TEST(FixCommandTest, FixesDiffsAndRefuses) {
  const std::string usage = "; try 'veltrane-check --help'\n";
  const CommandCase cases[] = {
      {"safe fixes only: a guess is not one", {"--fix", "a.ins"}, kMisspelt, 1,
       kMisspeltLines + "a.ins: 0 findings fixed, 2 remain\n", "", kMisspelt},
      // The count is of the findings gone: the list is no longer unused either.
      {"unsafe fixes asked for", {"--fix", "--unsafe-fixes", "a.ins"}, kMisspelt, 0,
       "a.ins: 2 findings fixed, 0 remain\n", "", kMisspeltFixed},
      {"what remains, without notes", {"--fix", "--no-notes", "a.ins"}, kMisspelt, 1,
       "a.ins:2:2: error: Label \"Standard\" not used [VLT1002]\n"
       "a.ins:5:9: error: Label \"Standrd\" not found [VLT1003]\n"
       "a.ins: 0 findings fixed, 2 remain\n", "", kMisspelt},
      {"the diff, and no file written", {"--diff", "--unsafe-fixes", "a.ins"}, kMisspelt, 1,
       kMisspeltDiff, "", kMisspelt},
      {"--fix --diff is refused: which one was meant?", {"--fix", "--diff", "--unsafe-fixes", "a.ins"},
       kMisspelt, 2, "",
       "veltrane-check: --fix and --diff exclude each other: --diff shows what --fix would write" +
           usage,
       kMisspelt},
      {"an empty rule id", {"--fix", "--select", "VLT1,,VLT2", "a.ins"}, kMisspelt, 2, "",
       "veltrane-check: option '--select' has an empty rule id in 'VLT1,,VLT2'" + usage, kMisspelt},
      {"an empty rule id at the end", {"--diff", "--ignore=VLT1,", "a.ins"}, kMisspelt, 2, "",
       "veltrane-check: option '--ignore' has an empty rule id in 'VLT1,'" + usage, kMisspelt},
      {"lone CR line ends: the last line gets a lone CR", {"--fix", "--select", "VLT3008", "a.ins"},
       "[x]\r.Controller Names\r[y]", 0, "a.ins: 1 finding fixed, 0 remain\n", "",
       "[x]\r.Controller Names\r[y]\r"},
      {"a CR inside a line, CR LF after it", {"--fix", "--select", "VLT3008", "a.ins"},
       "[x]\r.Controller Names\r\n[y]", 0, "a.ins: 1 finding fixed, 0 remain\n", "",
       "[x]\r.Controller Names\r\n[y]\r\n"},
      {"a broken veltrane.toml is told once for all its inputs", {"--fix", "a.ins", "a.ins"},
       "[x]\n.Controller Names", 2, "", "veltrane-check: ", "[x]\n.Controller Names",
       "[check]\nselect = 3\n"},
      {"... and so in gnu lines", {"--format=gnu", "a.ins", "a.ins"}, "[x]\n.Controller Names", 2,
       "", "veltrane-check: ", "[x]\n.Controller Names", "[check]\nselect = 3\n"},
      {"nothing to diff", {"--diff", "a.ins"}, kMisspelt, 0, "", "", kMisspelt},
      {"CR LF kept, and the last line gets the file's own line end",
       {"--fix", "--unsafe-fixes", "--no-notes", "a.ins"},
       ".Controller Names\r\n[Standard]\r\n.Instrument Definitions\r\n[I]\r\nControl=Standrd", 0,
       "a.ins: 3 findings fixed, 0 remain\n", "",
       ".Controller Names\r\n[Standard]\r\n.Instrument Definitions\r\n[I]\r\nControl=Standard\r\n"},
      {"an ignored rule's fix is not applied", {"--fix", "--ignore", "VLT3008,VLT1", "a.ins"},
       "[x]\r\n.Controller Names", 0, "a.ins: 0 findings fixed, 0 remain\n", "", "[x]\r\n.Controller Names"},
      {"a selected rule's fix is", {"--fix", "--select", "VLT3008", "a.ins"},
       "[x]\r\n.Controller Names", 0, "a.ins: 1 finding fixed, 0 remain\n", "",
       "[x]\r\n.Controller Names\r\n"},
      {"nor a suppressed finding's",
       {"--fix", "--unsafe-fixes", "a.ins"},
       ".Controller Names\n[Standard]\n.Instrument Definitions\n[I]\n; veltrane: ignore VLT1003\n"
       "Control=Standrd\n",
       1,
       "a.ins:2:2: error: Label \"Standard\" not used [VLT1002]\n"
       "a.ins:5:1: note: Comment line inside instrument \"I\": one program stops reading the "
       "instrument here [VLT3005]\n"
       "a.ins: 0 findings fixed, 2 remain\n", "",
       ".Controller Names\n[Standard]\n.Instrument Definitions\n[I]\n; veltrane: ignore VLT1003\n"
       "Control=Standrd\n"},
      {"veltrane.toml chooses the rules", {"--fix", "a.ins"}, "[x]\n.Controller Names", 0,
       "a.ins: 0 findings fixed, 0 remain\n", "", "[x]\n.Controller Names",
       "[check]\nignore = [\"VLT3008\", \"VLT1002\"]\n"},
      {"a broken veltrane.toml", {"--fix", "a.ins"}, "[x]\n.Controller Names", 2, "",
       "veltrane-check: ", "[x]\n.Controller Names", "[check]\nselect = 3\n"},
      {"the protocol is never fixed", {"--fix", "--format=protocol", "a.ins"}, kMisspelt, 2, "",
       "veltrane-check: --fix and --diff go with --format=gnu only" + usage, kMisspelt},
      {"nor SARIF", {"--diff", "--format=sarif", "a.ins"}, kMisspelt, 2, "",
       "veltrane-check: --fix and --diff go with --format=gnu only" + usage, kMisspelt},
      {"unsafe fixes of nothing", {"--unsafe-fixes", "a.ins"}, kMisspelt, 2, "",
       "veltrane-check: --unsafe-fixes goes with --fix or --diff" + usage, kMisspelt},
      {"no protocol file", {"--fix", "--output", "p.txt", "a.ins"}, kMisspelt, 2, "",
       "veltrane-check: --output goes with --format=protocol only" + usage, kMisspelt},
      {"every input, even after one that fails", {"--fix", "--unsafe-fixes", "gone.ins", "a.ins"},
       kMisspelt, 2, "a.ins: 2 findings fixed, 0 remain\n",
       "veltrane-check: gone.ins: No such file or directory\n", kMisspeltFixed},
      {"a folder", {"--diff", "."}, kMisspelt, 2, "", "veltrane-check: .: Is a directory\n", kMisspelt},
  };
  for (const CommandCase& c : cases) {
    ScratchDir dir;
    WriteBytes(dir.File("a.ins"), c.file);
    if (!c.toml.empty()) WriteBytes(dir.File("veltrane.toml"), c.toml);
    std::vector<std::string> argv = c.args;
    argv.insert(argv.begin(), kExe);
    const RunResult r = RunProgram(argv, dir.path());
    EXPECT_EQ(r.status, c.status) << c.label;
    EXPECT_EQ(r.out, c.out) << c.label;
    // Of a configuration's errors, only that there is one line.
    if (c.err == "veltrane-check: ")
      EXPECT_TRUE(r.err.starts_with(c.err) && r.err.find('\n') == r.err.size() - 1) << r.err;
    else
      EXPECT_EQ(r.err, c.err) << c.label;
    EXPECT_EQ(ReadBytes(dir.File("a.ins")), c.after) << c.label;
  }
}

// A folder only its owner could write in, and a user who is not the owner:
// as root, the program runs as nobody, since root writes anywhere.
TEST(FixCommandTest, AReadOnlyFolderIsReportedAndLosesNothing) {
  ScratchDir dir;
  const std::string folder = dir.File("locked");
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  const std::string path = folder + "/a.ins";
  WriteBytes(path, kMisspelt);
  ASSERT_EQ(::chmod(path.c_str(), 0666), 0);
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
  std::vector<std::string> argv = {kExe, "--fix", "--unsafe-fixes", path};
  if (::geteuid() == 0)
    argv.insert(argv.begin(), {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
  const RunResult r = RunProgram(argv);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "veltrane-check: " + folder + ": Permission denied; " + path + " was not changed\n");
  EXPECT_EQ(ReadBytes(path), kMisspelt);
}

TEST(FixCommandTest, ASymbolicLinkStaysALink) {
  ScratchDir dir;
  WriteBytes(dir.File("real.ins"), kMisspelt);
  ASSERT_EQ(::symlink("real.ins", dir.File("link.ins").c_str()), 0);
  const RunResult r = RunProgram({kExe, "--fix", "--unsafe-fixes", "link.ins"}, dir.path());
  EXPECT_EQ(r.status, 0) << r.err;
  struct stat st;
  ASSERT_EQ(::lstat(dir.File("link.ins").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(ReadBytes(dir.File("real.ins")), kMisspeltFixed);
}

// A file with a second name is left alone, through either name: a new
// file in its place would leave the other name with the old text.
TEST(FixCommandTest, AHardLinkedFileIsRefused) {
  ScratchDir dir;
  WriteBytes(dir.File("a.ins"), kMisspelt);
  ASSERT_EQ(::link(dir.File("a.ins").c_str(), dir.File("b.ins").c_str()), 0);
  const RunResult r = RunProgram({kExe, "--fix", "--unsafe-fixes", "a.ins"}, dir.path());
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "veltrane-check: " + dir.File("a.ins") +
                       ": has more than one name (hard links), which a fix would part; a.ins was "
                       "not changed\n");
  EXPECT_EQ(ReadBytes(dir.File("a.ins")), kMisspelt);
  EXPECT_EQ(ReadBytes(dir.File("b.ins")), kMisspelt);
}

// Standard output that cannot be written: the input whose lines were lost
// is named, and so is every input after it, which stays as it was.
TEST(FixCommandTest, AFailedStandardOutputIsToldForEveryInput) {
  ScratchDir dir;
  for (const char* name : {"a.ins", "b.ins", "c.ins"}) WriteBytes(dir.File(name), kMisspelt);
  const RunResult r = RunProgram(
      {"/bin/sh", "-c", "\"$0\" --fix --unsafe-fixes a.ins b.ins c.ins >/dev/full", kExe}, dir.path());
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err,
            "veltrane-check: standard output: No space left on device; a.ins was fixed, but its "
            "findings were not shown\n"
            "veltrane-check: b.ins was not fixed: standard output failed\n"
            "veltrane-check: c.ins was not fixed: standard output failed\n");
  EXPECT_EQ(ReadBytes(dir.File("a.ins")), kMisspeltFixed);
  EXPECT_EQ(ReadBytes(dir.File("b.ins")), kMisspelt);
  EXPECT_EQ(ReadBytes(dir.File("c.ins")), kMisspelt);
}

// The diff's headers carry the name as diff -u does (a tab after it), so
// that patch -p0 finds files whose names have blanks, letters beyond ASCII,
// or even a tab, and makes of each exactly what --fix makes.
TEST(FixCommandTest, PatchAppliesTheDiffToAnyName) {
  const char* const names[] = {
      "GeneralUser GS.ins", "G\xC3\xA9n\xC3\xA9ral.ins", "sub folder/two  blanks .ins",
      "tab\tin it.ins", "quote\"and\\slash.ins", "\xE7\xAE\xA1\xE6\xA5\xBD.ins",
  };
  for (const char* name : names) {
    SCOPED_TRACE(name);
    ScratchDir dir;
    std::filesystem::create_directory(dir.File("sub folder"));
    WriteBytes(dir.File(name), kMisspelt);
    const RunResult diff = RunProgram({kExe, "--diff", "--unsafe-fixes", name}, dir.path());
    ASSERT_EQ(diff.status, 1) << diff.err;
    WriteBytes(dir.File("changes.diff"), diff.out);
    const RunResult patch =
        RunProgram({"/bin/sh", "-c", "patch -p0 < changes.diff"}, dir.path());
    EXPECT_EQ(patch.status, 0) << patch.out << patch.err;
    EXPECT_EQ(ReadBytes(dir.File(name)), kMisspeltFixed);
  }
}

// Lines of a few kinds, some repeated, some with a CR inside.
std::string RandomText(std::mt19937& random, int lines) {
  static const char* const kLines[] = {"[Drums]", "Control=Standard", "", "0=Piano", "a\rb"};
  std::string text;
  for (int i = 0; i < lines; ++i) {
    if (random() % 4 == 0)
      text += kLines[random() % std::size(kLines)];
    else
      text += "line " + std::to_string(random() % 1000);
    text += '\n';
  }
  if (!text.empty() && random() % 3 == 0) text.pop_back();
  return text;
}

// A few lines changed, deleted, inserted, or the last line end dropped.
std::string Changed(std::mt19937& random, const std::string& before) {
  std::string after = before;
  const int edits = 1 + static_cast<int>(random() % 4);
  for (int e = 0; e < edits && !after.empty(); ++e) {
    const std::size_t at = after.find('\n', random() % after.size());
    const std::size_t start = at == std::string::npos ? after.size() : at + 1;
    switch (random() % 4) {
      case 0: after.insert(start, "inserted\n"); break;
      case 1: after.erase(start, after.find('\n', start) == std::string::npos
                                     ? std::string::npos : after.find('\n', start) - start + 1);
              break;
      case 2: after.insert(start, "changed "); break;
      default: if (after.back() == '\n') after.pop_back(); else after += '\n'; break;
    }
  }
  return after;
}

TEST(UnifiedDiffTest, HunksAreThoseOfDiffU) {
  ScratchDir dir;
  std::mt19937 random(1);
  int compared = 0;
  int same = 0;
  for (int n = 0; n < 300; ++n) {
    const std::string before = RandomText(random, static_cast<int>(random() % 40));
    const std::string after = Changed(random, before);
    WriteBytes(dir.File("before"), before);
    WriteBytes(dir.File("after"), after);
    const RunResult diff = RunProgram({"/usr/bin/diff", "-u", "before", "after"}, dir.path());
    const std::string ours = UnifiedDiff("x", before, after);
    if (diff.status == 0) {
      EXPECT_EQ(ours, "");
      continue;
    }
    // Past the two header lines, which name the files and their times.
    auto body = [](const std::string& text) {
      std::size_t at = text.find('\n');
      return at == std::string::npos ? text : text.substr(text.find('\n', at + 1) + 1);
    };
    ASSERT_TRUE(ours.starts_with("--- x\t\n+++ x\t\n@@ -"));
    ++compared;
    if (body(ours) == body(diff.out)) {
      ++same;
      continue;
    }
    // Where repeated lines leave a choice, any shortest script will do:
    // as many lines out and in, and patch makes the new file of it.
    auto count = [](const std::string& text, const char* mark) {
      std::size_t n = 0;
      for (std::size_t at = 0; (at = text.find(mark, at)) != std::string::npos; ++at) ++n;
      return n;
    };
    EXPECT_EQ(count(ours, "\n-"), count(diff.out, "\n-")) << before << "\n--\n" << after;
    EXPECT_EQ(count(ours, "\n+"), count(diff.out, "\n+")) << before << "\n--\n" << after;
    WriteBytes(dir.File("ours.diff"), ours);
    const RunResult patch =
        RunProgram({"/usr/bin/patch", "-s", "-o", "patched", "before", "ours.diff"}, dir.path());
    ASSERT_EQ(patch.status, 0) << patch.out << patch.err;
    EXPECT_EQ(ReadBytes(dir.File("patched")), after) << ours;
  }
  EXPECT_GT(compared, 250);
  EXPECT_GT(same, compared * 8 / 10);
}

// Past the search's room (made small here), the diff still gives small
// hunks where lines found once on either side split the text, and a whole
// part where none do; what it gives always makes the new text.
TEST(LineDiffTest, ManyChangesGiveSmallHunksInBoundedRoom) {
  struct Case {
    const char* label;
    std::string before, after;
    std::size_t largestChange;  // old and new lines of the largest change
  };
  std::string lists, fixed, renamed;
  for (int k = 0; k < 300; ++k) {
    lists += "[List " + std::to_string(k) + "]\n";
    fixed += "[List " + std::to_string(k) + "]\n";
    renamed += "[List " + std::to_string(k) + "]\n";
    for (int i = 0; i < 4; ++i) {
      const std::string entry = std::to_string(i) + "=Name\n";
      lists += entry + entry;
      fixed += entry;
      renamed += entry + std::to_string(i) + "=Other\n";
    }
  }
  const std::string zeros(1200, '0'), ones(1200, '1');
  auto lines = [](const std::string& marks) {
    std::string text;
    for (const char mark : marks) text += std::string(1, mark) + "\n";
    return text;
  };
  const Case cases[] = {
      {"every entry given twice, the second gone", lists, fixed, 2},
      {"every second entry renamed", lists, renamed, 2},
      {"no line once on either side: one change", lines(zeros + ones), lines(ones + zeros), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::vector<std::string_view> a = SplitLines(c.before);
    const std::vector<std::string_view> b = SplitLines(c.after);
    const std::vector<CLineChange> changes = DiffLines(a, b, 1000);
    std::string rebuilt;
    std::size_t line = 0;
    std::size_t largest = 0;
    for (const CLineChange& change : changes) {
      ASSERT_GE(change.oldBegin, line);
      for (; line < change.oldBegin; ++line) rebuilt += a[line];
      for (std::size_t j = change.newBegin; j < change.newEnd; ++j) rebuilt += b[j];
      line = change.oldEnd;
      largest = std::max(largest, (change.oldEnd - change.oldBegin) + (change.newEnd - change.newBegin));
    }
    for (; line < a.size(); ++line) rebuilt += a[line];
    EXPECT_EQ(rebuilt, c.after);
    if (c.largestChange > 0) {
      EXPECT_LE(largest, c.largestChange);
    } else {
      EXPECT_EQ(changes.size(), 1u);
    }
  }
}

}  // namespace
