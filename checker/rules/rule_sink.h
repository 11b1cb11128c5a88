// What the rules report into: their findings and the bytes those findings'
// views point at. The rules see this and the lists they read, never the
// whole check's result, which the check's entry point fills from it.
#ifndef VELTRANE_CHECKER_RULES_RULE_SINK_H_
#define VELTRANE_CHECKER_RULES_RULE_SINK_H_

#include <list>
#include <string>
#include <string_view>
#include <vector>

#include "checker/finding.h"
#include "checker/fix_findings.h"
#include "platform/code_page.h"

struct CRuleSelection;

struct CRuleSink {
  // Where the findings go ...
  std::vector<CFinding>& findings;
  // ... and the text their views point at (in blocks: the bytes of a part
  // checked on its own join them without moving).
  CTextArena& kept;
  const CCodePage& codePage;
  // The file's own line end, the first it has: what fixes that add a line
  // end write.
  std::string_view lineEnd;
  // In a check for fixing of a file without suppression comments: where
  // the findings go that nothing after the line pass reads or changes, a
  // batch at a time, and the rules that tell which of them are reported.
  // The rules then keep no index of a finding they added.
  CFixFindings* folding = nullptr;
  const CRuleSelection* rules = nullptr;
  // The findings before this one are those a fold kept whole.
  std::size_t unfolded = 0;
};

// Keeps `text` as long as the sink's findings and returns a view of the copy.
std::string_view Keep(CRuleSink& sink, std::string_view text);

// Adds a finding of a rule beyond cross-references at `place`, whose line
// text the sink must keep (or keeps already), and returns it.
CFinding& AddRuleFinding(CRuleSink& sink, FindingKind kind, const CPlace& place, int section,
                         std::string message);
CFinding& AddRuleFinding(std::vector<CFinding>& findings, FindingKind kind, const CPlace& place,
                         int section, std::string message);

// Folds, when the sink folds, the findings it holds that nothing after the
// line pass reads or changes: those without a fix, and those of the rules
// whose fixes see whole lines that no comment keeps a value for.
void FoldFindings(CRuleSink& sink);

// The marker that starts a suppression comment after its ";".
inline constexpr std::string_view kSuppressionMarker = "veltrane:";

#endif  // VELTRANE_CHECKER_RULES_RULE_SINK_H_
