// The list rules (checker/rules/lint_lists.cpp) on small files: BasedOn
// cycles and order, and blanks around names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/rules/reported.h"

namespace {

const std::vector<RuleCase>& ListRuleCases() {
  static const std::vector<RuleCase> cases = {
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
      // VLT3002.
      {"BlanksAroundNames", "VLT3002",
       ".Patch Names\n[XG Bank 1 ]\n[\tPad]\n[Fine]\n" + kInstrument +
           "Patch[0]=XG Bank 1 \nPatch[1]=Fine\n",
       {"2:2 VLT3002", "3:2 VLT3002", "7:10 VLT3002"}},
      // Its fix trims the label and every reference to it.
      {"BlanksTrimmed", "VLT3002", ".Patch Names\n[ Pad ]\n" + kInstrument + "Patch[0]= Pad \n",
       {"2:2 VLT3002", "5:10 VLT3002"}, 0, ".Patch Names\n[Pad]\n" + kInstrument + "Patch[0]=Pad\n"},
      // Double-byte names in code page 932: a trail byte "]" ends no name,
      // and columns of findings after such names stay in bytes here.
      {"ShiftJisLabelWithBlank", "VLT3002",
       ".Note Names\n[\x83\x5D\x83\x41 ]\n", {"2:2 VLT3002"}, 932},
  };
  return cases;
}

class ListRuleTest : public ::testing::TestWithParam<RuleCase> {};

TEST_P(ListRuleTest, FiresWhereItShouldAndOnlyThere) { ExpectRuleCase(GetParam()); }

INSTANTIATE_TEST_SUITE_P(Cases, ListRuleTest, ::testing::ValuesIn(ListRuleCases()), RuleCaseName);

}  // namespace
