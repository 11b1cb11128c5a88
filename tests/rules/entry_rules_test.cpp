// The entry rules (checker/rules/entry_rules.cpp) on small files: where
// each fires, where it must stay quiet, what its fix gives, and the notes
// that point at an earlier entry or at a list's label.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "checker/check.h"
#include "checker/rules/line_linter.h"
#include "checker/rules/rule_selection.h"
#include "checker/scanner.h"
#include "tests/rules/reported.h"

namespace {

using namespace std::string_literals;

const std::vector<RuleCase>& EntryRuleCases() {
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
      // Its fix removes a copy of the entry just before it, and nothing else.
      {"CopyGoes", "VLT2002", kPatch + "1=a\r\n2=b\r\n1=a\r\n", {"5:1 VLT2002"}, 0,
       kPatch + "1=a\r\n2=b\r\n"},
      {"OtherTextStays", "VLT2002", kPatch + "1=a\n1=b\n", {"4:1 VLT2002"}, 0,
       kPatch + "1=a\n1=b\n"},
      {"CopyOfAnEarlierTextStays", "VLT2002", kPatch + "1=a\n1=b\n1=a\n",
       {"4:1 VLT2002", "5:1 VLT2002"}, 0, kPatch + "1=a\n1=b\n1=a\n"},
      // VLT2003: what is and is not an entry.
      {"MalformedEntries", "VLT2003", kPatch + "12 Warm Pad\nx=Pad\n=Pad\n 1=a\n",
       {"3:1 VLT2003", "4:1 VLT2003", "5:1 VLT2003", "6:1 VLT2003"}},
      {"BlankCommentAndBasedOnAreFine", "VLT2003",
       kPatch + "\n \t\n ; comment\nBasedOn=P\n1=\n2=a=b\n", {}},
      {"LinesBeforeALabelAreNoEntries", "VLT2003", ".Patch Names\nsome text\n", {}},
      // VLT3007.
      {"CommentInEntryText", "VLT3007", kPatch + "0=Piano; bright\n1=Organ\n", {"3:8 VLT3007"}},
      {"CommentInEntryTextIsOffByDefault", "", ".Patch Names\n; veltrane: ignore VLT1002\n[P]\n"s + "0=Piano; bright\n", {}},
      // Double-byte names in code page 932: a trail byte "]" ends no name,
      // and columns of findings after such names stay in bytes here.
      {"ShiftJisEntries", "VLT2001,VLT2002,VLT2003",
       ".Note Names\n[\x83\x5D]\n1=\x83\x5D\n1=\x83\x41\n\x83\x5D=a\n",
       {"4:1 VLT2002", "5:1 VLT2003"}, 932},
  };
  return cases;
}

class EntryRuleTest : public ::testing::TestWithParam<RuleCase> {};

TEST_P(EntryRuleTest, FiresWhereItShouldAndOnlyThere) { ExpectRuleCase(GetParam()); }

INSTANTIATE_TEST_SUITE_P(Cases, EntryRuleTest, ::testing::ValuesIn(EntryRuleCases()), RuleCaseName);

// The usual entry takes the quick way past every rule of the entries and
// of the lines' form that is quiet on it, whatever else is on.
TEST(QuickEntryTest, KnowsTheRulesQuietOnTheUsualEntry) {
  for (const char* select : {"VLT2001,VLT2002,VLT2003,VLT3007,VLT3008,VLT3009", "VLT2001",
                             "VLT3008,VLT3009", "VLT1,VLT2004,VLT2009,VLT3005,VLT0001"}) {
    std::vector<std::string> patterns;
    AddPatterns(select, patterns);
    EXPECT_TRUE(line_pass::CLineLinter::QuickEntryKnows(SelectRules(patterns, {}))) << select;
  }
}

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

}  // namespace
