// The rules beyond cross-references: what sequencers silently swallow or
// read differently from each other.
#ifndef VELTRANE_CHECKER_LINT_H_
#define VELTRANE_CHECKER_LINT_H_

#include <vector>

#include "checker/check.h"
#include "checker/suppression.h"

// Reads every line of `file` for the line rules of `rules` (numbers,
// entries, keys, sections, gaps, line ends and lengths) and for
// suppression comments, adding findings to result.ruleFindings, their text
// to result.kept and the comments to `suppressions`; sets result.lineEnd.
// With `notes`, findings that point at an earlier place get a note.
// Throws CFileException on a read error.
// REQUIRES: `file` is open whole; `result` holds its lists, resolved.
void LintLines(const CStdioFile& file, const CRuleSelection& rules, bool notes,
               CCheckResult& result, std::vector<CSuppression>& suppressions);

// The rules that read the resolved lists rather than the lines: BasedOn
// cycles and order, blanks around names.
void LintLists(const CRuleSelection& rules, bool notes, CCheckResult& result);

// Keeps `text` for the life of `result` and returns a view of the copy.
std::string_view Keep(CCheckResult& result, std::string_view text);

// Adds a finding of a rule beyond cross-references at `place`, whose line
// text `result` must keep (or keeps already), and returns it.
CFinding& AddRuleFinding(CCheckResult& result, FindingKind kind, const CPlace& place,
                         int section, std::string message);

// A note at `place` that points there.
CNote MakeNote(NoteKind kind, const CPlace& place, int section, std::string message);

#endif  // VELTRANE_CHECKER_LINT_H_
