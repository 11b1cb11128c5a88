#include "cli/rule_text.h"

#include <algorithm>
#include <string_view>

std::string ExplainText(const FindingRule& rule) {
  std::string text = std::string(rule.id) + " " + std::string(rule.name) + " (" +
                     std::string(SeverityName(rule.severity)) + ", " +
                     (rule.onByDefault ? "on" : "off") + " by default)\n\n" +
                     std::string(rule.shortText) + "\n\n" + std::string(rule.fullText) +
                     "\n\nExample:\n";
  std::string_view example = rule.example;
  while (!example.empty()) {
    const std::size_t end = std::min(example.find('\n'), example.size());
    text += "    " + std::string(example.substr(0, end)) + "\n";
    example.remove_prefix(std::min(end + 1, example.size()));
  }
  text += "\nFix: " + std::string(rule.help) + "\nAutomatic fix: " +
          std::string(FixAvailabilityName(rule.fix)) + "\n";
  return text;
}
