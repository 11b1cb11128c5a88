// Where the rules' findings go, and the text they keep.
#include "checker/rules/rule_sink.h"

#include <algorithm>
#include <utility>

#include "checker/rules/rule_selection.h"

namespace {

// How many findings a sink that folds holds at most before it folds them.
constexpr std::size_t kFoldEvery = 4096;

bool Foldable(const CFinding& finding) {
  if (!finding.fix) return true;
  switch (finding.kind) {
    case FindingKind::duplicateNumber:
    case FindingKind::gapInInstrument:
    case FindingKind::noFinalLineEnd:
      return true;
    default:
      return false;
  }
}

}  // namespace

std::string_view Keep(CRuleSink& sink, std::string_view text) {
  return sink.kept.Keep(text);
}

void FoldFindings(CRuleSink& sink) {
  if (!sink.folding) return;
  std::vector<CFinding>& findings = sink.findings;
  const auto from = findings.begin() + static_cast<std::ptrdiff_t>(sink.unfolded);
  const auto kept = std::stable_partition(from, findings.end(), [&](const CFinding& finding) {
    return !Foldable(finding);
  });
  for (auto it = kept; it != findings.end(); ++it)
    if (sink.rules->Has(it->kind)) sink.folding->Fold(*it);
  findings.erase(kept, findings.end());
  sink.unfolded = findings.size();
}

CFinding& AddRuleFinding(CRuleSink& sink, FindingKind kind, const CPlace& place, int section,
                         std::string message) {
  if (sink.folding && sink.findings.size() >= sink.unfolded + kFoldEvery) FoldFindings(sink);
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
