#include "checker/scanner.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "tests/test_util.h"

namespace {

using Entries = std::vector<std::string>;

// Each entry as "name@line:kind", so that a table row reads like the file.
Entries Describe(const CLabelList& list) {
  Entries out;
  for (int i = 0; i < list.GetCount(); ++i)
    out.push_back(list.GetName(i) + "@" + std::to_string(list.GetLine(i)) +
                  ":" + std::to_string(list.GetKind(i)));
  return out;
}

struct ScanCase {
  const char* label;
  std::string file;
  Entries definitions;
  Entries references;
};

// The case's label, so that test names and failure reports stay short.
void PrintTo(const ScanCase& c, std::ostream* os) { *os << c.label; }

class ScannerTest : public ::testing::TestWithParam<ScanCase> {};

TEST_P(ScannerTest, FindsLabelsAndReferences) {
  ScratchDir dir;
  WriteBytes(dir.File("in.ins"), GetParam().file);
  CStdioFile file;
  ASSERT_TRUE(file.Open(dir.File("in.ins"), CFile::modeRead));
  CLabelList definitions, references;
  ScanDefinitions(file, definitions);
  ScanReferences(file, references);
  EXPECT_EQ(Describe(definitions), GetParam().definitions);
  EXPECT_EQ(Describe(references), GetParam().references);

  // The one-reading scan that a check uses finds the same, texts and all.
  CLabelList together[2];
  ScanLabels(file, together[0], together[1]);
  const CLabelList* separate[2] = {&definitions, &references};
  for (int list = 0; list < 2; ++list) {
    EXPECT_EQ(Describe(together[list]), Describe(*separate[list])) << list;
    for (int i = 0; i < separate[list]->GetCount(); ++i)
      EXPECT_EQ(together[list].GetText(i), separate[list]->GetText(i)) << list << " " << i;
  }

  // So does reading it as two halves, split at the first line end from
  // the middle on, at once.
  CLabelList halves[2];
  ScanLabels(file, halves[0], halves[1], CCodePage(), 1);
  for (int list = 0; list < 2; ++list) {
    EXPECT_EQ(Describe(halves[list]), Describe(*separate[list])) << list;
    for (int i = 0; i < separate[list]->GetCount(); ++i) {
      EXPECT_EQ(halves[list].GetText(i), separate[list]->GetText(i)) << list << " " << i;
      EXPECT_EQ(halves[list].PlaceOf(i).line, together[list].PlaceOf(i).line) << list << " " << i;
    }
  }
}

const std::string k300(300, 'z');

INSTANTIATE_TEST_SUITE_P(
    Headers, ScannerTest,
    ::testing::Values(
        ScanCase{"LabelBeforeAnyHeader", "[A]\n", {"A@1:0"}, {}},
        ScanCase{"EveryHeader",
                 ".Patch Names\n[P]\n.Note Names\n[N]\n.Controller Names\n[C]\n"
                 ".RPN Names\n[R]\n.NRPN Names\n[Q]\n.Instrument Definitions\n[I]\n",
                 {"P@2:1", "N@4:2", "C@6:3", "R@8:4", "Q@10:5", "I@12:6"},
                 {}},
        ScanCase{"HeaderIsAPrefix", ".Patch Names of my synth\n[P]\n", {"P@2:1"}, {}},
        ScanCase{"HeaderIsCaseSensitive", ".patch names\n[P]\n", {"P@2:0"}, {}},
        ScanCase{"UnknownDotLineKeepsKind",
                 ".Note Names\n.Something\n[N]\n", {"N@3:2"}, {}},
        ScanCase{"LastHeaderWins",
                 ".Controller Names\n.Instrument Definitions\n[I]\n", {"I@3:6"}, {}},
        ScanCase{"IndentedHeaderIsNoHeader",
                 ".Note Names\n .Patch Names\n[N]\n", {"N@3:2"}, {}},
        ScanCase{"DotLineIsNeverAKey", ".Patch Names\n.Control=X\n", {}, {}}),
    [](const auto& info) { return std::string(info.param.label); });

INSTANTIATE_TEST_SUITE_P(
    Labels, ScannerTest,
    ::testing::Values(
        ScanCase{"NoClosingBracket", ".Note Names\n[Drums\n", {"@2:2"}, {}},
        ScanCase{"EmptyBrackets", "[]\n", {"@1:0"}, {}},
        ScanCase{"BlanksInsideBrackets", "[ My List ]\n", {" My List @1:0"}, {}},
        ScanCase{"TextAfterBracketIgnored", "[A] ; note ]\n", {"A@1:0"}, {}},
        ScanCase{"IndentedLabelIsNoLabel", " [A]\n\t[B]\n", {}, {}},
        ScanCase{"CrLfLineEnds", ".Patch Names\r\n[A]\r\n[B]", {"A@2:1", "B@3:1"}, {}},
        ScanCase{"LongLineCountsAsTwo", k300 + "\n[A]\n", {"A@3:0"}, {}},
        ScanCase{"LabelInSecondPieceOfLongLine",
                 std::string(254, 'x') + "[A]\n", {"A@2:0"}, {}}),
    [](const auto& info) { return std::string(info.param.label); });

INSTANTIATE_TEST_SUITE_P(
    References, ScannerTest,
    ::testing::Values(
        ScanCase{"EveryKeyAndItsKind",
                 ".Instrument Definitions\n[I]\nPatch[*]=P\nKey[*,*]=N\n"
                 "Control=C\nRPN=R\nNRPN=Q\nBasedOn=I2\n",
                 {"I@2:6"},
                 {"P@3:1", "N@4:2", "C@5:3", "R@6:4", "Q@7:5", "I2@8:6"}},
        ScanCase{"BasedOnTakesTheSection",
                 "BasedOn=General\n.Note Names\nBasedOn=General\n",
                 {},
                 {"General@1:0", "General@3:2"}},
        ScanCase{"NumberedListsAreNoReferences",
                 "Patch[*]=1..128\nKey[*,*]=0..127\nPatch[*]=0..127\n"
                 "Patch[*]=1..127\nControl=1..128\n",
                 {},
                 {"1..127@4:1", "1..128@5:3"}},
        ScanCase{"ValueNotTrimmed", "Control= Std \n", {}, {" Std @1:3"}},
        ScanCase{"EmptyValue", "RPN=\n", {}, {"@1:4"}},
        ScanCase{"NoEqualsTakesWholeLine", "Control\n", {}, {"Control@1:3"}},
        ScanCase{"PrefixOnlyMatches", "Controller=X\nKeyXYZ\nPatches=Y\n", {},
                 {"X@1:3", "KeyXYZ@2:2", "Y@3:1"}},
        ScanCase{"KeysAreCaseSensitive", "control=X\nPATCH=Y\n", {}, {}},
        ScanCase{"LabelLineTestedForKeysToo", "[Control=X]\n", {"Control=X@1:0"}, {}},
        ScanCase{"FirstEqualsSplits", "Control=a=b\n", {}, {"a=b@1:3"}},
        ScanCase{"LastLineWithoutLineEndKeepsItsLastCharacter",
                 "Control=Standard", {}, {"Standard@1:3"}},
        ScanCase{"LoneWordWithoutLineEnd", "Control", {}, {"Control@1:3"}},
        ScanCase{"CrLfValue", "Control=Standard\r\n", {}, {"Standard@1:3"}},
        ScanCase{"LoneCrStaysInValue", "Control=Std\r", {}, {"Std\r@1:3"}},
        ScanCase{"NumberedListWithoutLineEnd", "Patch[*]=1..128", {}, {}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(ScannerTextTest, EntriesKeepTheWholePiece) {
  ScratchDir dir;
  WriteBytes(dir.File("in.ins"), "[A] x\r\nControl=A\r\n");
  CStdioFile file;
  ASSERT_TRUE(file.Open(dir.File("in.ins"), CFile::modeRead));
  CLabelList definitions, references;
  ScanDefinitions(file, definitions);
  ScanReferences(file, references);
  EXPECT_EQ(definitions.GetText(0), "[A] x\n");
  EXPECT_EQ(references.GetText(0), "Control=A\n");
}

}  // namespace
