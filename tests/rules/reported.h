// What a check with rules reports of a small file, as "LINE:COLUMN ID":
// how the tests of the rules, of suppression and of selection read it; and
// the row of a rule's test table, which each pass's test file holds.
#ifndef VELTRANE_TESTS_RULES_REPORTED_H_
#define VELTRANE_TESTS_RULES_REPORTED_H_

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "checker/check.h"
#include "checker/fix/fix_apply.h"
#include "checker/rules/rule_selection.h"

// "LINE:COLUMN ID" for each reported finding, COLUMN counting bytes from 1.
inline std::vector<std::string> Reported(const std::string& file, const CRuleSelection& rules,
                                  int codePage = 0) {
  CCheckOptions options;
  if (codePage != 0) options.codePage = *CCodePage::FromNumber(codePage);
  options.rules = &rules;
  const CCheckResult result = CheckBytes(file, options);
  std::vector<std::string> lines;
  for (const CFinding* finding : result.reported) {
    lines.push_back(std::to_string(finding->place.line) + ":" +
                    std::to_string(finding->place.begin + 1) + " " +
                    std::string(finding->Rule().id));
  }
  return lines;
}

// `select` "": the rules on by default.
inline std::vector<std::string> ReportedOf(const std::string& file, const std::string& select,
                                    int codePage = 0) {
  std::vector<std::string> patterns;
  AddPatterns(select, patterns);
  if (select.empty()) return Reported(file, CRuleSelection::Defaults(), codePage);
  return Reported(file, SelectRules(patterns, {}), codePage);
}

// The starts of a name list, an RPN list and an instrument.
inline const std::string kPatch = ".Patch Names\n[P]\n";
inline const std::string kRpn = ".RPN Names\n[R]\n";
inline const std::string kInstrument = ".Instrument Definitions\n[I]\n";

// One row of a rule's test table: where the rules it selects fire in a
// small file, and where they must stay quiet (no row expected there).
struct RuleCase {
  const char* label;
  const char* select;  // the rules the case is about: ids or prefixes, "" the defaults
  std::string file;
  std::vector<std::string> expected;  // "LINE:COLUMN ID", in the order reported
  int codePage = 0;
  // The bytes after every fix of the selected rules, unsafe ones too, as
  // --fix --unsafe-fixes gives them; none: not asked.
  std::optional<std::string> fixed = std::nullopt;
};

inline void ExpectRuleCase(const RuleCase& c) {
  EXPECT_EQ(ReportedOf(c.file, c.select, c.codePage), c.expected);
  if (!c.fixed) return;
  std::vector<std::string> patterns;
  AddPatterns(c.select, patterns);
  const CRuleSelection rules =
      *c.select == '\0' ? CRuleSelection::Defaults() : SelectRules(patterns, {});
  CCheckOptions options;
  if (c.codePage != 0) options.codePage = *CCodePage::FromNumber(c.codePage);
  options.rules = &rules;
  const CFixOutcome outcome = FixBytes(
      c.file, [&](std::string_view bytes) { return CheckBytes(bytes, options); }, true);
  EXPECT_EQ(outcome.text, *c.fixed);
}

// The case's label as the name of its test.
inline std::string RuleCaseName(const ::testing::TestParamInfo<RuleCase>& info) {
  return info.param.label;
}

#endif  // VELTRANE_TESTS_RULES_REPORTED_H_
