// The rules of the line pass's frame (checker/rules/line_linter.cpp) on
// small files: section headers, and every line's form (its length, the
// final line end).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/rules/reported.h"

namespace {

const std::vector<RuleCase>& LineRuleCases() {
  static const std::vector<RuleCase> cases = {
      // VLT2009.
      {"UnknownSections", "VLT2009", ".Sequences\n.Patch Names\n.Patch Names extra\n. \n",
       {"1:1 VLT2009", "4:1 VLT2009"}},
      // VLT3008: line ends of every kind.
      {"NoFinalLineEnd", "VLT3008", kPatch + "0=a", {"3:4 VLT3008"}},
      {"FinalLf", "VLT3008", kPatch + "0=a\n", {}},
      {"FinalCrLf", "VLT3008", kPatch + "0=a\r\n", {}},
      {"FinalLoneCr", "VLT3008", kPatch + "0=a\r", {}},
      {"EmptyFile", "VLT3008", "", {}},
      {"LoneCrBeforeTheEnd", "VLT3008", "a\rb\rc", {"3:2 VLT3008"}},
      // Its fix ends the line as the file ends its lines.
      {"EndedWithLf", "VLT3008", kPatch + "0=a", {"3:4 VLT3008"}, 0, kPatch + "0=a\n"},
      {"EndedWithCrLf", "VLT3008", ".Patch Names\r\n[P]\r\n0=a", {"3:4 VLT3008"}, 0,
       ".Patch Names\r\n[P]\r\n0=a\r\n"},
      // VLT3009.
      {"LongLine", "VLT3009", std::string(253, 'x') + "\n" + std::string(254, 'y') + "\r\n",
       {"2:254 VLT3009"}},
  };
  return cases;
}

class LineRuleTest : public ::testing::TestWithParam<RuleCase> {};

TEST_P(LineRuleTest, FiresWhereItShouldAndOnlyThere) { ExpectRuleCase(GetParam()); }

INSTANTIATE_TEST_SUITE_P(Cases, LineRuleTest, ::testing::ValuesIn(LineRuleCases()), RuleCaseName);

}  // namespace
