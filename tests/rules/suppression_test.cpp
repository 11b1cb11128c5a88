// Suppression comments: what they silence, and those that silence nothing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "checker/check.h"
#include "checker/rules/rule_selection.h"
#include "tests/rules/reported.h"

namespace {

struct SuppressionCase {
  const char* label;
  std::string file;
  std::vector<std::string> expected;
  // The list "P" of most cases is used by nothing.
  std::vector<std::string> ignore = {"VLT1002"};
};

const std::vector<SuppressionCase>& SuppressionCases() {
  static const std::vector<SuppressionCase> cases = {
      {"NextLineOnly", kPatch + "; veltrane: ignore VLT2003\nx\ny\n", {"5:1 VLT2003"}},
      {"PastBlankAndCommentLines", kPatch + "; veltrane: ignore VLT2003\n\n; other\nx\n", {}},
      {"ListOfIdsAndPrefixes", kPatch + "; veltrane: ignore VLT2003, VLT20\nx\n", {}},
      {"UnusedIdIsReported", kPatch + "; veltrane: ignore VLT2003 VLT2002\nx\n",
       {"3:28 VLT0001"}},
      {"UnknownIdIsReported", kPatch + ";veltrane: ignore VLT9\nx\n",
       {"3:19 VLT0001", "4:1 VLT2003"}},
      {"WholeFile", "; veltrane: ignore-file VLT2\n" + kPatch + "x\ny\n", {}},
      {"CrossReferencesToo", "; veltrane: ignore VLT1002\n.Patch Names\n[Unused]\n",
       {"1:20 VLT0001", "3:2 VLT1002"}, {}},
      {"CrossReferencesOnTheirLine", ".Patch Names\n; veltrane: ignore VLT1002\n[Unused]\n", {},
       {}},
      {"SuppressionAtTheEnd", kPatch + "; veltrane: ignore VLT2003\n", {"3:20 VLT0001"}},
      {"NotASuppression", kPatch + "; veltrane ignore VLT2003\nx\n", {"4:1 VLT2003"}},
      // Without an id a comment silences nothing, which it says.
      {"BareIgnoreIsReported", kPatch + "; veltrane: ignore\nx\n", {"3:1 VLT0001", "4:1 VLT2003"}},
      {"BareIgnoreFileIsReported", kPatch + "x\n  ; veltrane: ignore-file ,\n",
       {"3:1 VLT2003", "4:1 VLT0001"}},
  };
  return cases;
}

class SuppressionTest : public ::testing::TestWithParam<SuppressionCase> {};

TEST_P(SuppressionTest, SilencesWhatItNames) {
  EXPECT_EQ(Reported(GetParam().file, SelectRules(std::nullopt, GetParam().ignore)),
            GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, SuppressionTest, ::testing::ValuesIn(SuppressionCases()),
                         [](const auto& info) { return std::string(info.param.label); });

// With the cross-references alone the lines are read only for suppressions,
// which must work all the same.
TEST(SuppressionTest, CrossReferencesAlone) {
  const CRuleSelection rules = SelectRules(std::vector<std::string>{"VLT1"}, {});
  EXPECT_EQ(Reported(".Patch Names\n; veltrane: ignore VLT1002\n[Unused]\n[Other]\n", rules),
            std::vector<std::string>{"4:2 VLT1002"});
  EXPECT_EQ(Reported(".Patch Names\n[Unused]\n", rules), std::vector<std::string>{"2:2 VLT1002"});
}

// A suppression of a rule that is not selected may serve another
// configuration: it is not reported.
TEST(SuppressionTest, RulesNotSelectedAreNoUnusedSuppression) {
  const std::string file = kPatch + "; veltrane: ignore VLT3007\n0=a\n";
  EXPECT_EQ(Reported(file, SelectRules(std::nullopt, {"VLT1002"})), std::vector<std::string>{});
}

}  // namespace
