// Where the rules' findings go, and the text they keep.
#include "checker/rules/rule_sink.h"

#include <utility>

std::string_view Keep(CRuleSink& sink, std::string_view text) {
  return sink.kept.emplace_back(text);
}

CFinding& AddRuleFinding(CRuleSink& sink, FindingKind kind, const CPlace& place, int section,
                         std::string message) {
  return AddRuleFinding(sink.findings, kind, place, section, std::move(message));
}

CFinding& AddRuleFinding(std::vector<CFinding>& findings, FindingKind kind, const CPlace& place,
                         int section, std::string message) {
  CFinding& finding = findings.emplace_back();
  finding.kind = kind;
  finding.place = place;
  finding.line = place.line;
  finding.text = place.lineText;
  finding.section = section;
  finding.message = std::move(message);
  return finding;
}
