// The rules beyond cross-references on small files: where each fires,
// where it must stay quiet, and the notes that point at an earlier place.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "checker/check.h"
#include "checker/rules/rule_selection.h"
#include "checker/scanner.h"
#include "tests/rules/reported.h"

namespace {

using namespace std::string_literals;

struct RuleCase {
  const char* label;
  const char* select;  // the rules the case is about
  std::string file;
  std::vector<std::string> expected;
  int codePage = 0;
};


const std::vector<RuleCase>& RuleCases() {
  static const std::vector<RuleCase> cases = {
      // VLT2001: the edges of both ranges.
      {"PatchNumbersAtTheEdges", "VLT2001", kPatch + "0=a\n127=b\n128=c\n", {"5:1 VLT2001"}},
      {"RpnNumbersAtTheEdges", "VLT2001", kRpn + "16383=a\n16384=b\n128=c\n", {"4:1 VLT2001"}},
      {"HugeNumber", "VLT2001", kPatch + "0=a\n99999999999999999999=b\n", {"4:1 VLT2001"}},
      {"LeadingZerosAreInRange", "VLT2001", kPatch + "0000127=a\n", {}},
      {"NumbersOfNoListAreNoEntries", "VLT2001", ".Patch Names\n300=a\n", {}},
      // VLT2002: same and other text, other lists, CR LF.
      {"SameNumberTwice", "VLT2002", kPatch + "1=a\n2=b\n1=c\n", {"5:1 VLT2002"}},
      {"SameNumberOtherList", "VLT2002", kPatch + "1=a\n[Q]\n1=a\n", {}},
      {"SameValueOtherDigits", "VLT2002", kPatch + "7=a\r\n007=a\r\n", {"4:1 VLT2002"}},
      {"LargeNumbersTwice", "VLT2002", kPatch + "20000=a\n20000=b\n", {"4:1 VLT2002"}},
      // VLT2003: what is and is not an entry.
      {"MalformedEntries", "VLT2003", kPatch + "12 Warm Pad\nx=Pad\n=Pad\n 1=a\n",
       {"3:1 VLT2003", "4:1 VLT2003", "5:1 VLT2003", "6:1 VLT2003"}},
      {"BlankCommentAndBasedOnAreFine", "VLT2003",
       kPatch + "\n \t\n ; comment\nBasedOn=P\n1=\n2=a=b\n", {}},
      {"LinesBeforeALabelAreNoEntries", "VLT2003", ".Patch Names\nsome text\n", {}},
      // VLT2004: brackets, parts and values.
      {"MalformedKeys", "VLT2004",
       kInstrument + "Patch[16384]=A\nKey[0]=K\nDrum[0,128]=1\nDrum[*,*]=2\nBankSelMethod=4\n"
                     "UseNotesAsControllers=2\nControl[1]=C\nPatch[x]=A\nPatch[0]\n",
       {"3:1 VLT2004", "4:1 VLT2004", "5:1 VLT2004", "6:11 VLT2004", "7:15 VLT2004",
        "8:23 VLT2004", "9:1 VLT2004", "10:1 VLT2004", "11:1 VLT2004"}},
      {"WellFormedKeys", "VLT2004",
       kInstrument + "Patch[16383]=A\nPatch[*]=1..128\nKey[*,127]=K\nDrum[0,*]=1\n"
                     "BankSelMethod=3\nUsesNotesAsControllers=1\nBankSelMethod=1 ; MSB\n",
       {}},
      {"KeysOutsideInstrumentsAreNotLinted", "VLT2",
       ".Patch Names\nPatch[99999]=A\n", {}},
      // VLT2005 and VLT2006.
      {"MisspeltKeys", "VLT2005,VLT2006",
       kInstrument + "Contol=C\npatch[0]=A\nBasedOnn=X\n Patch[0]=A\nSupportsPitchBend=1\n",
       {"3:1 VLT2005", "4:1 VLT2005", "5:1 VLT2005", "6:1 VLT2005", "7:1 VLT2006"}},
      {"ShortKeysAllowOneEdit", "VLT2005,VLT2006", kInstrument + "Ky[0,0]=K\nXy[0,0]=K\n",
       {"3:1 VLT2005", "4:1 VLT2006"}},
      // VLT2007 and VLT3003: BasedOn cycles and order.
      {"SelfBased", "VLT2007", ".Note Names\n[A]\nBasedOn=A\n", {"3:9 VLT2007"}},
      {"CycleOfTwo", "VLT2007,VLT3003", ".Note Names\n[A]\nBasedOn=B\n[B]\nBasedOn=A\n",
       {"3:9 VLT2007", "5:9 VLT2007"}},
      {"IntoACycle", "VLT2007", ".Note Names\n[A]\nBasedOn=B\n[B]\nBasedOn=C\n[C]\nBasedOn=B\n",
       {"5:9 VLT2007", "7:9 VLT2007"}},
      {"ForwardAndDeep", "VLT3003",
       ".Note Names\n[A]\n1=a\n[B]\nBasedOn=A\n[C]\nBasedOn=B\n[D]\nBasedOn=E\n[E]\n1=e\n",
       {"7:9 VLT3003", "9:9 VLT3003"}},
      {"OneLevelBackIsFine", "VLT2007,VLT3003", ".Note Names\n[A]\n1=a\n[B]\nBasedOn=A\n", {}},
      {"BasedOnAnotherSectionsListIsNoEdge", "VLT2007",
       ".Note Names\n[A]\n.Patch Names\nBasedOn=A\n", {}},
      // VLT2008.
      {"DuplicateKeys", "VLT2008",
       kInstrument + "Patch[42]=A\nPatch[042]=B\nControl=C\nControl=D\nUseNotesAsControllers=1\n"
                     "UsesNotesAsControllers=1\n[J]\nPatch[42]=A\n",
       {"4:1 VLT2008", "6:1 VLT2008", "8:1 VLT2008"}},
      {"OtherKeysAreNoDuplicates", "VLT2008",
       kInstrument + "Patch[42]=A\nPatch[43]=A\nKey[*,0]=K\nKey[0,*]=K\nDrum[*,0]=1\n", {}},
      // VLT2009.
      {"UnknownSections", "VLT2009", ".Sequences\n.Patch Names\n.Patch Names extra\n. \n",
       {"1:1 VLT2009", "4:1 VLT2009"}},
      // VLT3001.
      {"CommentAfterValue", "VLT3001",
       kInstrument + "BankSelMethod=1 ; MSB only\nPatch[0]=Drums;x\n", {"3:17 VLT3001", "4:15 VLT3001"}},
      {"CommentLinesAndEntriesAreNoValues", "VLT3001",
       kInstrument + "; Patch[0]=a;b\n.Patch Names\n[P]\n0=a;b\n", {}},
      // VLT3002.
      {"BlanksAroundNames", "VLT3002",
       ".Patch Names\n[XG Bank 1 ]\n[\tPad]\n[Fine]\n" + kInstrument +
           "Patch[0]=XG Bank 1 \nPatch[1]=Fine\n",
       {"2:2 VLT3002", "3:2 VLT3002", "7:10 VLT3002"}},
      // VLT3004.
      {"BankSelectAfterPatch", "VLT3004",
       kInstrument + "Patch[0]=A\nBankSelMethod=1\n[J]\nBankSelMethod=1\nPatch[0]=A\n",
       {"4:1 VLT3004"}},
      // VLT3005.
      {"Gaps", "VLT3005",
       kInstrument + "Control=C\n\n; c\n\nPatch[0]=A\n\n[J]\n\nControl=C\n\n.Patch Names\n",
       {"4:1 VLT3005", "10:1 VLT3005"}},
      // VLT3006, VLT3007.
      {"DrumZero", "VLT3006", kInstrument + "Drum[*,0]=0\nDrum[*,1]=1\n", {"3:1 VLT3006"}},
      {"CommentInEntryText", "VLT3007", kPatch + "0=Piano; bright\n1=Organ\n", {"3:8 VLT3007"}},
      {"CommentInEntryTextIsOffByDefault", "", ".Patch Names\n; veltrane: ignore VLT1002\n[P]\n"s + "0=Piano; bright\n", {}},
      // VLT3008: line ends of every kind.
      {"NoFinalLineEnd", "VLT3008", kPatch + "0=a", {"3:4 VLT3008"}},
      {"FinalLf", "VLT3008", kPatch + "0=a\n", {}},
      {"FinalCrLf", "VLT3008", kPatch + "0=a\r\n", {}},
      {"FinalLoneCr", "VLT3008", kPatch + "0=a\r", {}},
      {"EmptyFile", "VLT3008", "", {}},
      {"LoneCrBeforeTheEnd", "VLT3008", "a\rb\rc", {"3:2 VLT3008"}},
      // VLT3009.
      {"LongLine", "VLT3009", std::string(253, 'x') + "\n" + std::string(254, 'y') + "\r\n",
       {"2:254 VLT3009"}},
      // Double-byte names in code page 932: a trail byte "]" ends no name,
      // and columns of findings after such names stay in bytes here.
      {"ShiftJisLabelWithBlank", "VLT3002",
       ".Note Names\n[\x83\x5D\x83\x41 ]\n", {"2:2 VLT3002"}, 932},
      {"ShiftJisEntries", "VLT2001,VLT2002,VLT2003",
       ".Note Names\n[\x83\x5D]\n1=\x83\x5D\n1=\x83\x41\n\x83\x5D=a\n",
       {"4:1 VLT2002", "5:1 VLT2003"}, 932},
  };
  return cases;
}

class RuleTest : public ::testing::TestWithParam<RuleCase> {};

TEST_P(RuleTest, FiresWhereItShouldAndOnlyThere) {
  const RuleCase& c = GetParam();
  EXPECT_EQ(ReportedOf(c.file, c.select, c.codePage), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, RuleTest, ::testing::ValuesIn(RuleCases()),
                         [](const auto& info) { return std::string(info.param.label); });

// The count-from-1 note goes on the entry numbered 128.
TEST(RuleNotesTest, ListCountedFromOne) {
  const CRuleSelection rules = SelectRules(std::vector<std::string>{"VLT2001"}, {});
  CCheckOptions options;
  options.rules = &rules;
  std::string file = kPatch;
  for (int n = 1; n <= 128; ++n) file += std::to_string(n) + "=x\n";
  const CCheckResult result = CheckBytes(file, options);
  ASSERT_EQ(result.reported.size(), 1u);
  ASSERT_TRUE(result.reported[0]->note);
  EXPECT_EQ(result.reported[0]->note->message,
            "the list \"P\" counts from 1 to 128, not from 0: every name lands one number too "
            "high");
  EXPECT_EQ(result.reported[0]->note->place.line, 2);

  file = kPatch + "0=x\n" + file.substr(kPatch.size());
  const CCheckResult withZero = CheckBytes(file, options);
  ASSERT_EQ(withZero.reported.size(), 1u);
  EXPECT_FALSE(withZero.reported[0]->note);
}

// Among hundreds of keys of one instrument, a key set again names the
// line it was first set in, as people write the key.
TEST(RuleNotesTest, KeySetAgainAmongManyNamesItsFirstLine) {
  const CRuleSelection rules = SelectRules(std::vector<std::string>{"VLT2008"}, {});
  CCheckOptions options;
  options.rules = &rules;
  std::string file = kInstrument;
  for (int bank = 0; bank < 300; ++bank) file += "Patch[" + std::to_string(bank) + "]=A\n";
  file += "Key[*,127]=K\nPatch[0150]=B\nKey[*,127]=L\nUsesNotesAsControllers=1\n"
          "UseNotesAsControllers=0\n[J]\nKey[*,127]=K\n";
  const CCheckResult result = CheckBytes(file, options);
  std::vector<std::string> messages;
  for (const CFinding* finding : result.reported)
    messages.push_back(std::to_string(finding->place.line) + " " + finding->message + " / " +
                       (finding->note ? finding->note->message : ""));
  EXPECT_EQ(messages,
            (std::vector<std::string>{
                "304 Key Patch[150] already set in line 153: programs disagree which one wins / "
                "key Patch[150] is first set here",
                "305 Key Key[*,127] already set in line 303: programs disagree which one wins / "
                "key Key[*,127] is first set here",
                "307 Key UseNotesAsControllers already set in line 306: programs disagree which "
                "one wins / key UseNotesAsControllers is first set here"}));
}

// A number given again names its first entry, whose text and place the
// line pass reads again from the file: with either line end and at the
// longest line that is still one piece; and one with a lone CR, whose
// entry takes the long way.
TEST(RuleNotesTest, NumberAgainNamesItsFirstEntry) {
  struct Case {
    const char* label;
    std::string first;  // the first entry's line, with its line end
    std::string again;  // the entry that gives its number again
    std::string expected;
  };
  const std::string longName(kLongestWholeLine - 3, 'n');
  const std::vector<Case> cases = {
      {"Lf", "12=Pad\n", "12=Organ\n",
       "Number 12 already has an entry in line 4, with another text: \"Pad\" / 4:1-2 \"12=Pad\""},
      {"CrLf", "12=Pad\r\n", "12=Pad\r\n",
       "Number 12 already has an entry in line 4, with the same text / 4:1-2 \"12=Pad\""},
      {"LeadingZeros", "012=Pad\n", "12=Pad\n",
       "Number 12 already has an entry in line 4, with the same text / 4:1-3 \"012=Pad\""},
      {"LongestWholeLine", "12=" + longName + "\r\n", "12=" + longName + "\n",
       "Number 12 already has an entry in line 4, with the same text / 4:1-2 \"12=" + longName +
           "\""},
      {"WithALoneCr", "12=P\rad\n", "12=Pad\n",
       "Number 12 already has an entry in line 4, with another text: \"P\\x0Dad\" / 4:1-2 \"12=P\""},
  };
  const CRuleSelection rules = SelectRules(std::vector<std::string>{"VLT2002"}, {});
  CCheckOptions options;
  options.rules = &rules;
  options.notes = true;
  for (const Case& c : cases) {
    const CCheckResult result =
        CheckBytes(kPatch + "0=a\n" + c.first + "1=b\n" + c.again + "2=c\n", options);
    ASSERT_EQ(result.reported.size(), 1u) << c.label;
    const CFinding& finding = *result.reported[0];
    ASSERT_TRUE(finding.note) << c.label;
    const CPlace& first = finding.note->place;
    EXPECT_EQ(finding.message + " / " + std::to_string(first.line) + ":" +
                  std::to_string(first.begin + 1) + "-" + std::to_string(first.end) + " \"" +
                  std::string(first.lineText) + "\"",
              c.expected)
        << c.label;
  }
}

// A reference that names a list once its blanks or comment are gone gets
// a note that says so, before any "did you mean".
TEST(RuleNotesTest, TrimmedReferences) {
  const CRuleSelection rules = CRuleSelection::Defaults();
  CCheckOptions options;
  options.rules = &rules;
  const CCheckResult result =
      CheckBytes(".Patch Names\n[Drums]\n.Instrument Definitions\n[I]\nPatch[0]=Drums  \n"
                 "Patch[1]=Drums ; MSB=127\n",
                 options);
  std::vector<std::string> notes;
  for (const CFinding* finding : result.reported)
    if (finding->kind == FindingKind::notFound && finding->note) notes.push_back(finding->note->message);
  EXPECT_EQ(notes, (std::vector<std::string>{
                       "without the blanks at its end, it names \"Drums\" (line 2)",
                       "without the comment from \";\" on, it names \"Drums\" (line 2)"}));
}

}  // namespace
