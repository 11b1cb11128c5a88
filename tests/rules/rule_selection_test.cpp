// Choosing rules: patterns, their precedence, and the check without rules.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "checker/check.h"
#include "checker/rules/rule_selection.h"
#include "tests/rules/reported.h"

namespace {

TEST(SelectionTest, SpecificPatternsWin) {
  struct Case {
    std::vector<std::string> select;
    std::vector<std::string> ignore;
    std::vector<std::string> on;  // of VLT3001, VLT3002, VLT2001
  } cases[] = {
      {{"VLT3"}, {"VLT3001"}, {"VLT3002"}},
      {{"VLT3001"}, {"VLT3"}, {"VLT3001"}},
      {{"ALL"}, {"VLT3"}, {"VLT2001"}},
      {{"VLT3001"}, {"VLT3001"}, {}},
  };
  for (const Case& c : cases) {
    const CRuleSelection selection = SelectRules(c.select, c.ignore);
    std::vector<std::string> on;
    for (const char* id : {"VLT3001", "VLT3002", "VLT2001"})
      if (selection.Has(FindRule(id)->kind)) on.push_back(id);
    EXPECT_EQ(on, c.on) << ::testing::PrintToString(c.select) << " "
                        << ::testing::PrintToString(c.ignore);
  }
  const CRuleSelection defaults = SelectRules(std::nullopt, {"VLT3"});
  EXPECT_TRUE(defaults.Has(FindingKind::numberOutOfRange));
  EXPECT_FALSE(defaults.Has(FindingKind::commentAfterValue));
  EXPECT_FALSE(CRuleSelection::Defaults().Has(FindingKind::commentInEntryText));
}

TEST(SelectionTest, PatternsThatNameNoRule) {
  std::vector<std::string> patterns;
  EXPECT_EQ(AddPatterns(" VLT3 , ,VLT2001", patterns), std::nullopt);
  EXPECT_EQ(patterns, (std::vector<std::string>{"VLT3", "VLT2001"}));
  EXPECT_EQ(AddPatterns("VLT3,VLT4,vlt3", patterns), std::optional<std::string>("VLT4"));
  EXPECT_FALSE(NamesRule("vlt3"));
  EXPECT_FALSE(NamesRule(""));
  EXPECT_TRUE(NamesRule("V"));
}

// The protocol's check is as it always was: no rules, nothing reported.
TEST(SelectionTest, WithoutRulesTheCheckReadsNoMore) {
  const CCheckResult result = CheckBytes(kPatch + "x\n128=a\n", CCheckOptions());
  EXPECT_TRUE(result.ruleFindings.empty());
  EXPECT_TRUE(result.reported.empty());
  EXPECT_EQ(result.ErrorCount(), 1);
}

}  // namespace
