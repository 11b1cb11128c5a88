// Which rules a check reports: the defaults, patterns, --select and --ignore.
#include "checker/rules/rule_selection.h"

#include <algorithm>

#include "checker/blanks.h"

namespace {

constexpr std::string_view kAll = "ALL";

// The length of the longest pattern that names `id`, or -1; "ALL" counts
// as the shortest of all.
int LongestMatch(const std::vector<std::string>& patterns, std::string_view id) {
  int longest = -1;
  for (const std::string& pattern : patterns) {
    if (!PatternMatches(pattern, id)) continue;
    longest = std::max(longest, pattern == kAll ? 0 : static_cast<int>(pattern.size()));
  }
  return longest;
}

}  // namespace

bool CRuleSelection::NeedsLinePass() const {
  for (const FindingRule& rule : FindingRules())
    if (!IsCrossReference(rule.kind) && Has(rule.kind)) return true;
  return false;
}

bool CRuleSelection::Reads(RulePass pass) const {
  for (const FindingRule& rule : FindingRules())
    if (rule.pass == pass && Has(rule.kind)) return true;
  return false;
}

CRuleSelection CRuleSelection::Defaults() {
  CRuleSelection selection;
  for (const FindingRule& rule : FindingRules())
    selection.enabled[static_cast<std::size_t>(rule.kind)] = rule.onByDefault;
  return selection;
}

bool PatternMatches(std::string_view pattern, std::string_view id) {
  return pattern == kAll || (!pattern.empty() && id.starts_with(pattern));
}

bool NamesRule(std::string_view pattern) {
  return std::any_of(FindingRules().begin(), FindingRules().end(),
                     [pattern](const FindingRule& rule) { return PatternMatches(pattern, rule.id); });
}

std::optional<std::string> AddPatterns(std::string_view list, std::vector<std::string>& patterns) {
  std::optional<std::string> unknown;
  while (!list.empty()) {
    const std::size_t comma = list.find(',');
    const std::string_view pattern = TrimBlanks(list.substr(0, comma));
    list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
    if (pattern.empty()) continue;
    if (!NamesRule(pattern) && !unknown) unknown = std::string(pattern);
    patterns.emplace_back(pattern);
  }
  return unknown;
}

CRuleSelection SelectRules(const std::optional<std::vector<std::string>>& select,
                           const std::vector<std::string>& ignore) {
  CRuleSelection selection = CRuleSelection::Defaults();
  for (const FindingRule& rule : FindingRules()) {
    const int ignored = LongestMatch(ignore, rule.id);
    bool on = false;
    if (select) {
      on = LongestMatch(*select, rule.id) > ignored;
    } else {
      on = rule.onByDefault && ignored < 0;
    }
    selection.enabled[static_cast<std::size_t>(rule.kind)] = on;
  }
  return selection;
}
