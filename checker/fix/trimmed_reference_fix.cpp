// What keeps the fixes of references, and of comments after them, from
// changing which list programs that read names otherwise find.
#include "checker/fix/trimmed_reference_fix.h"

void KeepNamingValues(CCheckResult& result) {
  std::optional<CTrimmedLabels> labels;
  for (CFinding& finding : result.ruleFindings) {
    if (finding.kind != FindingKind::commentAfterValue || !finding.fix) continue;
    const std::optional<CLabelLine> label =
        ReadLabelLine(finding.place.lineText, finding.section, result.codePage);
    if (!label || label->definition) continue;
    // The value as programs read it that keep the comment, or cut it and
    // keep the blanks before it: the fix leaves neither.
    const std::string_view cut = CutComment(label->name, result.codePage);
    const bool cutNames = cut != TrimEndBlanks(cut) && result.FirstDefinition(cut, label->kind) >= 0;
    if (cutNames || result.FirstDefinition(label->name, label->kind) >= 0 ||
        result.FirstDefinition(TrimBlanks(label->name), label->kind) >= 0) {
      finding.fix.reset();
      continue;
    }
    // What the fix leaves names, for programs that keep blanks, the list of
    // that very name; for those that trim, the list of that name trimmed:
    // when several lists have it, another one, perhaps.
    const std::string_view kept = TrimEndBlanks(cut);
    if (result.FirstDefinition(kept, label->kind) >= 0) {
      if (!labels) labels.emplace(*result.definitions);
      if (labels->Count(label->kind, TrimBlanks(kept)) > 1) finding.fix.reset();
    }
  }
}

bool NamesOtherList(const CCheckResult& result, const CTrimmedLabels& labels,
                    const CFinding& finding, int guess) {
  const std::string_view name = finding.name;
  const std::string_view cut = CutComment(name, result.codePage);
  for (const std::string_view reading : {cut, TrimEndBlanks(cut)}) {
    const int found = result.FirstDefinition(reading, finding.section);
    if (found >= 0 && found != guess) return true;
  }
  for (const std::string_view reading : {TrimBlanks(cut), TrimBlanks(name)}) {
    const int count = labels.Count(finding.section, reading);
    if (count > 1 || (count == 1 && labels.First(finding.section, reading) != guess)) return true;
  }
  return false;
}

