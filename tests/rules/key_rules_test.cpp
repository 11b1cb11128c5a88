// The key rules (checker/rules/key_rules.cpp) on small files: where each
// fires, where it must stay quiet, what its fix gives, and the note that
// points at the line a key was first set in.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "checker/check.h"
#include "checker/rules/rule_selection.h"
#include "tests/rules/reported.h"

namespace {

const std::vector<RuleCase>& KeyRuleCases() {
  static const std::vector<RuleCase> cases = {
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
      // The unsafe fix spells the key as programs know it, value untouched.
      {"MisspeltKeyRenamed", "VLT2005", kInstrument + "Contol=C\npatch[0]=A ; a\n",
       {"3:1 VLT2005", "4:1 VLT2005"}, 0, kInstrument + "Control=C\nPatch[0]=A ; a\n"},
      // VLT2008.
      {"DuplicateKeys", "VLT2008",
       kInstrument + "Patch[42]=A\nPatch[042]=B\nControl=C\nControl=D\nUseNotesAsControllers=1\n"
                     "UsesNotesAsControllers=1\n[J]\nPatch[42]=A\n",
       {"4:1 VLT2008", "6:1 VLT2008", "8:1 VLT2008"}},
      {"OtherKeysAreNoDuplicates", "VLT2008",
       kInstrument + "Patch[42]=A\nPatch[43]=A\nKey[*,0]=K\nKey[0,*]=K\nDrum[*,0]=1\n", {}},
      // VLT3001.
      {"CommentAfterValue", "VLT3001",
       kInstrument + "BankSelMethod=1 ; MSB only\nPatch[0]=Drums;x\n", {"3:17 VLT3001", "4:15 VLT3001"}},
      {"CommentLinesAndEntriesAreNoValues", "VLT3001",
       kInstrument + "; Patch[0]=a;b\n.Patch Names\n[P]\n0=a;b\n", {}},
      // VLT3004.
      {"BankSelectAfterPatch", "VLT3004",
       kInstrument + "Patch[0]=A\nBankSelMethod=1\n[J]\nBankSelMethod=1\nPatch[0]=A\n",
       {"4:1 VLT3004"}},
      {"BankSelectMovedAboveThePatches", "VLT3004",
       kInstrument + "Control=C\nPatch[0]=A\nPatch[1]=B\nBankSelMethod=2\n", {"6:1 VLT3004"}, 0,
       kInstrument + "Control=C\nBankSelMethod=2\nPatch[0]=A\nPatch[1]=B\n"},
      // VLT3005.
      {"Gaps", "VLT3005",
       kInstrument + "Control=C\n\n; c\n\nPatch[0]=A\n\n[J]\n\nControl=C\n\n.Patch Names\n",
       {"4:1 VLT3005", "10:1 VLT3005"}},
      // Its fix removes a gap of blank lines and leaves a comment be.
      {"BlankGapRemoved", "VLT3005", kInstrument + "Control=C\n\n \nPatch[0]=A\n; c\nKey[0,0]=K\n",
       {"4:1 VLT3005", "7:1 VLT3005"}, 0,
       kInstrument + "Control=C\nPatch[0]=A\n; c\nKey[0,0]=K\n"},
      // VLT3006.
      {"DrumZero", "VLT3006", kInstrument + "Drum[*,0]=0\nDrum[*,1]=1\n", {"3:1 VLT3006"}},
  };
  return cases;
}

class KeyRuleTest : public ::testing::TestWithParam<RuleCase> {};

TEST_P(KeyRuleTest, FiresWhereItShouldAndOnlyThere) { ExpectRuleCase(GetParam()); }

INSTANTIATE_TEST_SUITE_P(Cases, KeyRuleTest, ::testing::ValuesIn(KeyRuleCases()), RuleCaseName);

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

}  // namespace
