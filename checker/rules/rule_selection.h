// Which rules a check reports: ids and prefixes as people write them on the
// command line, in veltrane.toml and in an editor's settings.
#ifndef VELTRANE_CHECKER_RULE_SELECTION_H_
#define VELTRANE_CHECKER_RULE_SELECTION_H_

#include <bitset>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "checker/finding.h"

// The rules a check reports, by FindingKind.
struct CRuleSelection {
  std::bitset<kFindingKindCount> enabled;

  bool Has(FindingKind kind) const { return enabled[static_cast<std::size_t>(kind)]; }
  // Whether any rule beyond the cross-references is on, which takes a pass
  // over every line of the file.
  bool NeedsLinePass() const;
  // Whether any rule that `pass` runs is on: the rule table's rows say
  // which, so a rule selected alone is never skipped by its pass.
  bool Reads(RulePass pass) const;
  // The rules that are on unless a selection says otherwise.
  static CRuleSelection Defaults();
};

// Whether `pattern` ("ALL", "VLT3", "VLT2001") names at least one rule.
bool NamesRule(std::string_view pattern);
// Whether `pattern` names the rule `id`: "ALL", or a prefix of the id.
bool PatternMatches(std::string_view pattern, std::string_view id);

// Splits "VLT3, VLT2001" at commas into patterns, blanks around each
// removed and empty ones dropped, and adds them to `patterns`. Returns the
// first pattern that names no rule, or nothing when all do.
std::optional<std::string> AddPatterns(std::string_view list, std::vector<std::string>& patterns);

// What to report. `select`, when given, replaces the defaults; `ignore`
// takes rules away. Where a selected and an ignored pattern both name a
// rule, the longer (more specific) one decides, and an ignore wins a tie,
// so that `select VLT3, ignore VLT3001` and `select VLT3001, ignore VLT3`
// both mean what they say.
// REQUIRES: every pattern names a rule (see AddPatterns).
CRuleSelection SelectRules(const std::optional<std::vector<std::string>>& select,
                           const std::vector<std::string>& ignore);

#endif  // VELTRANE_CHECKER_RULE_SELECTION_H_
