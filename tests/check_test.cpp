// The engine's one entry point: where each finding stands in the file as
// editors count lines, whatever the pieces the protocol counts.
#include "checker/check.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <ostream>
#include <string_view>
#include <random>
#include <string>
#include <vector>

#include "checker/both_at_once.h"
#include "checker/rules/rule_selection.h"
#include "tests/mixed_file.h"
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
  // The notes on thousands of references to near names ("Bank 1204x") are
  // split between the threads too.
  const std::string many = ManyListsFile(70000, 3000);
  std::vector<Case> cases = {{many, &all, false},
                             {many, nullptr, false},
                             {many, nullptr, true},
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
