// Comments that silence rules: "; veltrane: ignore VLT2002, VLT3001" for the
// next line that is neither blank nor a comment, "; veltrane: ignore-file
// VLT3" for the whole file.
#ifndef VELTRANE_CHECKER_SUPPRESSION_H_
#define VELTRANE_CHECKER_SUPPRESSION_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "checker/finding.h"
#include "checker/rules/rule_selection.h"
#include "checker/rules/rule_sink.h"

struct CSuppression {
  struct Item {
    std::string pattern;       // an id or a prefix, as written
    std::uint32_t begin = 0;   // its byte range in the comment line
    std::uint32_t end = 0;
    // What removing it from the comment takes: the pattern and the comma
    // and blanks before it (after it, for the first of several).
    std::uint32_t removeBegin = 0;
    std::uint32_t removeEnd = 0;
    bool used = false;
  };
  bool wholeFile = false;
  // The physical line it silences; 0 when no such line follows it.
  int targetLine = 0;
  CPlace place;                  // the comment line; its text is kept by the result
  std::uint64_t lineEndOffset = 0;  // just after the comment line's end
  // The comment ends at a lone CR with more of its physical line after it,
  // which programs that end lines only at LF would read as the start of a
  // line once the comment is gone: it is never removed whole.
  bool endsAtLoneCr = false;
  std::vector<Item> items;
};

// Whether the line `text` (without its end) is a comment: ";" first after
// optional blanks and tabs.
bool IsCommentLine(std::string_view text);
// Whether `text` holds nothing but blanks and tabs.
bool IsBlankLine(std::string_view text);

// Reads a comment line as a suppression into `suppression` (its items and
// whether it is for the whole file); a bare one has no items. False when
// the comment is no suppression.
bool ParseSuppression(std::string_view text, CSuppression& suppression);

// Fills `reported`: every finding of a rule in `rules`, of the
// cross-references' `findings` and the sink's, that no suppression
// silences, by place in the file. Adds a finding (VLT0001, when selected)
// to the sink for each id or prefix of a suppression that silenced nothing
// although it names a rule of the selection, or that names no rule at all.
// Drops the fixes that would break a silenced block.
void ReportFindings(const CRuleSelection& rules, std::vector<CSuppression>& suppressions,
                    std::vector<CFinding>& findings, CRuleSink& sink,
                    std::vector<const CFinding*>& reported);

#endif  // VELTRANE_CHECKER_SUPPRESSION_H_
