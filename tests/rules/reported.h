// What a check with rules reports of a small file, as "LINE:COLUMN ID":
// how the tests of the rules, of suppression and of selection read it.
#ifndef VELTRANE_TESTS_RULES_REPORTED_H_
#define VELTRANE_TESTS_RULES_REPORTED_H_

#include <string>
#include <vector>

#include "checker/check.h"
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

#endif  // VELTRANE_TESTS_RULES_REPORTED_H_
