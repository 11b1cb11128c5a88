// The engine's one entry point: where each finding stands in the file as
// editors count lines, whatever the pieces the protocol counts.
#include "checker/check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <ostream>
#include <sstream>
#include <string_view>
#include <random>
#include <string>
#include <vector>

#include "checker/both_at_once.h"
#include "checker/rules/lint.h"
#include "checker/rules/rule_selection.h"
#include "tests/result_digest.h"

namespace {

using namespace std::string_literals;

struct PlaceCase {
  const char* label;
  std::string file;
  int codePage;          // 0: byte by byte
  std::size_t finding;   // which finding, in protocol order
  int protocolLine;      // pieces counted
  int line;              // lines counted
  std::uint64_t lineOffset;
  std::uint32_t begin;
  std::uint32_t end;
  std::string lineText;
  int column;            // ColumnOf the name's first byte
};

void PrintTo(const PlaceCase& c, std::ostream* os) { *os << c.label; }

class PlaceTest : public ::testing::TestWithParam<PlaceCase> {};

TEST_P(PlaceTest, NamesStandWhereEditorsShowThem) {
  const PlaceCase& c = GetParam();
  const CCodePage codePage = CCodePage::FromNumber(c.codePage).value_or(CCodePage());
  const CCheckResult result = CheckBytes(c.file, CCheckOptions{codePage, true});
  ASSERT_LT(c.finding, result.findings.size());
  const CFinding& f = result.findings[c.finding];
  EXPECT_EQ(f.line, c.protocolLine);
  EXPECT_EQ(f.place.line, c.line);
  EXPECT_EQ(f.place.lineOffset, c.lineOffset);
  EXPECT_EQ(f.place.begin, c.begin);
  EXPECT_EQ(f.place.end, c.end);
  EXPECT_EQ(f.place.lineText, c.lineText);
  EXPECT_EQ(ColumnOf(f.place.lineText, f.place.begin, codePage), c.column);
  // What the range holds is the name, as far as the line goes.
  EXPECT_EQ(c.file.substr(f.place.lineOffset + f.place.begin, f.place.end - f.place.begin),
            std::string(f.name).substr(0, f.place.end - f.place.begin));
}

const std::string k300(300, 'x');
const std::string kKey = "Key[*,*]=" + std::string(250, 'v');  // 259 bytes

INSTANTIATE_TEST_SUITE_P(
    Cases, PlaceTest,
    ::testing::Values(
        // The 300-byte line is two pieces but one line.
        PlaceCase{"LabelAfterALongLine", ";" + k300 + "\n.Patch Names\n[A]\n", 0, 0, 4, 3,
                  315, 1, 2, "[A]", 2},
        // A long key line's second piece that starts like a key line is
        // one for the protocol; its name stands far into the line.
        PlaceCase{"ReferenceInTheSecondPieceOfALongLine",
                  ".Instrument Definitions\n" + std::string(254, ';') + "RPN=Gone\n", 0, 0, 3,
                  2, 24, 258, 262, std::string(254, ';') + "RPN=Gone", 259},
        PlaceCase{"CrLf", ".Patch Names\r\n[One]\r\n[Two]\r\n", 0, 1, 3, 3, 21, 1, 4,
                  "[Two]", 2},
        // A lone CR ends a line for editors but not a piece.
        PlaceCase{"LoneCr", ".Patch Names\n[A]\r[B]\n[C]\n", 0, 1, 3, 4, 21, 1, 2, "[C]", 2},
        PlaceCase{"LoneCrInsideAName", ".Patch Names\n[a\rb]\n", 0, 0, 2, 2, 13, 1, 2, "[a",
                  2},
        PlaceCase{"TabBeforeTheName", ".Instrument Definitions\n[I]\nControl=\tStd\n", 0, 0,
                  3, 3, 28, 8, 12, "Control=\tStd", 9},
        PlaceCase{"EmptyName", ".Instrument Definitions\n[I]\nRPN=\n", 0, 0, 3, 3, 28, 4, 4,
                  "RPN=", 5},
        PlaceCase{"NoLineEndAtTheEnd", ".Instrument Definitions\n[I]\nNRPN=Last", 0, 0, 3,
                  3, 28, 5, 9, "NRPN=Last", 6},
        // A double-byte character before the name is one column.
        PlaceCase{"DoubleByteBeforeTheName",
                  ".Instrument Definitions\n[I]\nKey[\x83\x5D]=Kit\n", 932, 0, 3, 3, 28, 8, 11,
                  "Key[\x83\x5D]=Kit", 8},
        PlaceCase{"SameBytesReadByteByByte",
                  ".Instrument Definitions\n[I]\nKey[\x83\x5D]=Kit\n", 1252, 0, 3, 3, 28, 8, 11,
                  "Key[\x83\x5D]=Kit", 9},
        // A long label's name goes on past its piece: the range is the
        // piece's part of it.
        PlaceCase{"KeyValueCutByThePiece", ".Instrument Definitions\n" + kKey + "\n", 0, 0, 2,
                  2, 24, 9, 254, kKey, 10}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(CheckTest, DuplicatesKnowTheirFirstDefinitionsPlace) {
  const CCheckResult result =
      CheckBytes(".Note Names\r\n;\r\r\n[Kit]\r\n[Kit]\r\n", CCheckOptions{});
  ASSERT_EQ(result.findings.size(), 3u);  // the duplicate, both unused
  const CFinding& duplicate = result.findings[0];
  EXPECT_EQ(duplicate.kind, FindingKind::duplicate);
  EXPECT_EQ(duplicate.place.line, 5);
  EXPECT_EQ(duplicate.firstLine, 3);
  EXPECT_EQ(duplicate.firstPlace.line, 4);
  EXPECT_EQ(duplicate.message, "Label \"Kit\" already in line 4");
  EXPECT_EQ(duplicate.Rule().id, "VLT1001");
  EXPECT_EQ(duplicate.GetSeverity(), Severity::warning);
  EXPECT_EQ(result.findings[1].GetSeverity(), Severity::error);
}

TEST(CheckTest, ResolutionNamesTheDefinitionEachReferenceReaches) {
  const CCheckResult result = CheckBytes(
      ".Controller Names\n[B]\n[A]\n[A]\n.Instrument Definitions\n[I]\nControl=A\n"
      "Control=C\nControl=B\n",
      CCheckOptions{});
  ASSERT_EQ(result.resolution.size(), 3u);
  const CLabelList& defs = *result.definitions;
  EXPECT_EQ(defs.At(result.resolution[0]).line, 3);  // the first [A]
  EXPECT_EQ(result.resolution[1], -1);
  EXPECT_EQ(defs.At(result.resolution[2]).name, "B");
  EXPECT_TRUE(defs.At(1).shadowed);  // the second [A]
  EXPECT_FALSE(defs.At(2).shadowed);
}

TEST(CheckTest, SectionHeadersAreThoseTheScannerRead) {
  struct Case {
    const char* name;
    std::string file;
    std::vector<CSectionHeader> sections;
  };
  const Case cases[] = {
      {"one per line", ".Patch Names\n[A]\n.Note Names\r\n", {{1, kPatchNames}, {3, kNoteNames}}},
      // After a lone CR a header starts an editor's line but no piece.
      {"after a lone CR", ".Instrument Definitions\n[I]\nx\r.Patch Names\n[A]\n",
       {{1, kInstrumentDefinitions}}},
      {"lone CRs count as line ends", ".Patch Names\rx\r\n.RPN Names\n",
       {{1, kPatchNames}, {3, kRpnNames}}},
      // A piece that starts a long line's second part is read as a line.
      {"in a long line's second piece", std::string(254, 'x') + ".NRPN Names\n", {{1, kNrpnNames}}},
      {"not a header", ".Other\n[A]\n", {}},
  };
  for (const Case& c : cases) {
    const CCheckResult result = CheckBytes(c.file, CCheckOptions{});
    EXPECT_EQ(result.sections, c.sections) << c.name;
  }
}

// Files made of the lines the scanner treats differently, in every kind of
// line end, with a section header or none near the middle.
// A file of the lines below in random order with random line ends; with
// `shortLines`, none longer than a piece.
std::string MixedFile(std::mt19937& random, bool shortLines = false) {
  static const std::string kLines[] = {
      ".Patch Names", ".Note Names", ".Controller Names", ".Instrument Definitions", ".Other",
      "[Kit]", "[Bank A]", "[Bank A", "[]", "[\x83\x5d]", "[\x83]]", "BasedOn=Kit",
      "BasedOn=Bank A", "Patch[*]=Bank A", "Patch[0]=1..128", "Key[0,*]=Kit", "Control=Std",
      "Controller=Std", "RPN=R", "NRPN=N", "0=Piano", "; comment", "", "[Kit]\rPatch[0]=Kit",
      "Key[1,*]=Kit\r\r", "[" + std::string(300, 'L') + "]", "Control=" + std::string(260, 'c'),
      std::string(253, 'x') + "[Kit]", "0=" + std::string(251, 'p'),
      // What the line rules look at.
      "1=Harp", "0=Piano ; soft", "128=Last", "x=Broken", "; veltrane: ignore VLT2002",
      "; veltrane: ignore", "Patch[0]=Kit ; main", "Drum[0,0]=0", "BankSelMethod=1", "Ptach[1]=Kit",
      "Colour=Red", ".RPN Names", "  ", "NRPN\r=N"};
  static const std::string kEnds[] = {"\n", "\r\n", "\r", "\n", "\r\n"};
  std::string file;
  const int count = std::uniform_int_distribution<int>(0, 60)(random);
  for (int i = 0; i < count; ++i) {
    const std::string& line = kLines[random() % std::size(kLines)];
    if (shortLines && line.size() > kLongestWholeLine) continue;
    file += line;
    file += kEnds[random() % std::size(kEnds)];
  }
  if (random() % 4 == 0) file += "[Tail]";  // no line end at the end
  return file;
}

// A large file is scanned, and its lines linted, in two halves at once;
// the result must be the one a single reading gives, to the last place and
// flag.
TEST(CheckTest, ScanningInHalvesGivesWhatOneReadingGives) {
  const CRuleSelection all = SelectRules(std::vector<std::string>{"ALL"}, {});
  std::mt19937 random(14);
  for (int n = 0; n < 600; ++n) {
    const std::string file = MixedFile(random);
    for (const int page : {0, 932}) {
      const CCodePage codePage = CCodePage::FromNumber(page).value_or(CCodePage());
      CCheckOptions whole{codePage, true};
      whole.splitFrom = std::numeric_limits<std::uint64_t>::max();
      whole.rules = n % 2 == 0 ? &all : nullptr;
      CCheckOptions halves = whole;
      halves.splitFrom = 1;
      ASSERT_EQ(DigestOf(CheckBytes(file, halves)), DigestOf(CheckBytes(file, whole)))
          << "file " << n << " code page " << page << ":\n" << file;
    }
  }
}

// Whether a line of `file`, as loaders read lines, is longer than a piece.
bool HasLongLine(std::string_view file) {
  for (std::size_t begin = 0; begin < file.size();) {
    const std::size_t lf = std::min(file.find('\n', begin), file.size());
    std::size_t length = lf - begin;
    if (lf < file.size() && length > 0 && file[lf - 1] == '\r') --length;
    if (length > kLongestWholeLine) return true;
    begin = lf + 1;
  }
  return false;
}

// A check with the line rules takes the lists from the lines it reads for
// them: entry for entry, place for place, what the scan of the pieces
// gives, in one part or two, unless a line longer than a piece makes the
// pieces differ from the lines, which it must then say.
TEST(CheckTest, TheLineRulesReadTheListsAsTheScanDoes) {
  const CRuleSelection all = SelectRules(std::vector<std::string>{"ALL"}, {});
  std::mt19937 random(21);
  for (int n = 0; n < 800; ++n) {
    const std::string bytes = MixedFile(random, n % 4 != 0);
    for (const int page : {0, 932}) {
      const CCodePage codePage = CCodePage::FromNumber(page).value_or(CCodePage());
      CStdioFile file;
      file.OpenMemory(bytes, "memory");
      CLabelList definitions, references;
      std::vector<CSectionHeader> headers;
      ScanLabels(file, definitions, references, codePage, std::numeric_limits<std::uint64_t>::max(),
                 &headers);
      std::ostringstream scanned;
      DigestList(scanned, definitions);
      DigestList(scanned, references);
      for (const CSectionHeader& header : headers) scanned << header.kind << "@" << header.line << " ";
      for (const bool inParts : {false, true}) {
        CCheckResult result;
        result.codePage = codePage;
        CRuleSink sink{result.ruleFindings, result.kept, result.codePage, result.lineEnd};
        std::vector<CSuppression> suppressions;
        CLabelList readDefinitions, readReferences;
        std::vector<CSectionHeader> readHeaders;
        CLabelLists labels{readDefinitions, readReferences, readHeaders};
        const bool whole = LintLines(file, all, true, inParts, sink, suppressions, &labels);
        ASSERT_EQ(whole, !HasLongLine(bytes)) << bytes;
        if (!whole) continue;
        std::ostringstream read;
        DigestList(read, readDefinitions);
        DigestList(read, readReferences);
        for (const CSectionHeader& header : readHeaders) read << header.kind << "@" << header.line << " ";
        ASSERT_EQ(read.str(), scanned.str())
            << "file " << n << " code page " << page << " in parts " << inParts << ":\n" << bytes;
      }
    }
  }
}

// The line rules split where a list or an instrument begins, with what
// stands just before it: padding at the end moves the middle over every
// line of these files.
TEST(CheckTest, LintingInHalvesSplitsAtEveryLineAsOneReadingDoes) {
  const CRuleSelection all = SelectRules(std::vector<std::string>{"ALL"}, {});
  const std::string files[] = {
      ".Patch Names\n[A]\n0=x\n0=y\n; veltrane: ignore\n[A]\n1=z\n1=z\n",
      ".RPN Names\n[R]\n16383=x\r\n.Instrument Definitions\r\n[I]\r\nRPN=R\r\n\r\n"
      "; veltrane: ignore VLT1001\r\n[I]\r\nPatch[0]=1..128\r\nBankSelMethod=1\r\n",
      ".Note Names\r[K]\r\n128=x\r\n0=y\rz\n[K]\n1=a\n.Other\n[L]\n99999=b\n",
      ".Instrument Definitions\n[I]\nPatch[0]=A\nPatch[0]=B\n"
      ".Patch Names\n[A]\n0=x\n[B]\n0=x\n; veltrane: ignore VLT2002\n0=y\n",
  };
  for (const std::string& file : files) {
    for (int padding = 0; padding < 40; ++padding) {
      std::string padded = file;
      for (int i = 0; i < padding; ++i) padded += "; pad\n";
      CCheckOptions whole{CCodePage(), true};
      whole.splitFrom = std::numeric_limits<std::uint64_t>::max();
      whole.rules = &all;
      CCheckOptions halves = whole;
      halves.splitFrom = 1;
      ASSERT_EQ(DigestOf(CheckBytes(padded, halves)), DigestOf(CheckBytes(padded, whole)))
          << padded;
    }
  }
}

// A file large enough that stages of the engine split their work: `lists`
// lists (sorting, resolving, the index, the notes' tables from 16384 on)
// and `references` references, every other one to a name close to a
// list's (the notes, in two from 256 on), in every kind of line end.
std::string ManyListsFile(int lists, int references) {
  std::string file = ".Patch Names\n";
  const char* ends[] = {"\n", "\r\n", "\r"};
  for (int i = 0; i < lists; ++i) {
    // A few names twice, for duplicates.
    file += "[Bank " + std::to_string(i % (lists - 100)) + "]" + ends[i % 3];
    file += std::to_string(i % 130) + "=Piano\n";
  }
  file += ".Instrument Definitions\r\n[Synth]\r\n";
  for (int i = 0; i < references; ++i)
    file += "Patch[" + std::to_string(i) + "]=Bank " + std::to_string(i * 7) + (i % 2 ? "" : "x") +
            "\n";
  return file;
}

// The engine built for one thread (VELTRANE_ONE_THREAD) runs the halves of
// each stage in turn: the result must be the very one two threads give.
TEST(CheckTest, RunningInTurnGivesWhatTwoThreadsGive) {
  const CRuleSelection all = SelectRules(std::vector<std::string>{"ALL"}, {});
  struct Case {
    std::string file;
    const CRuleSelection* rules;
    bool notes;
  };
  // Notes on tens of thousands of unused lists take long: the largest
  // file goes without them.
  const std::string many = ManyListsFile(70000, 3000);
  std::vector<Case> cases = {{many, &all, false},
                             {many, nullptr, false},
                             {ManyListsFile(17000, 600), &all, true}};
  std::mt19937 random(31);
  for (int n = 0; n < 100; ++n) cases.push_back({MixedFile(random), &all, n % 2 == 0});
  const bool before = SetRunInTurn(false);
  for (std::size_t n = 0; n < cases.size(); ++n) {
    CCheckOptions options{CCodePage(), cases[n].notes};
    options.splitFrom = 1;
    options.rules = cases[n].rules;
    SetRunInTurn(false);
    const std::string atOnce = DigestOf(CheckBytes(cases[n].file, options));
    SetRunInTurn(true);
    const std::string inTurn = DigestOf(CheckBytes(cases[n].file, options));
    ASSERT_EQ(inTurn, atOnce) << "case " << n;
  }
  SetRunInTurn(before);
}

}  // namespace
