// The fixes of references: the name a reference likely means put in, a
// comment taken from a value onto a line of its own.
#include "checker/fix/reference_fix.h"

#include "checker/blanks.h"

#include "checker/finding_text.h"
#include "checker/fix/fix_apply.h"

std::optional<CFix> ReferenceFix(const CFinding& finding, const CCodePage& codePage) {
  if (finding.kind != FindingKind::notFound || !finding.note) return std::nullopt;
  const CNote& note = *finding.note;
  if (!RuleOf(note.kind).suggestsList || note.name == finding.name) return std::nullopt;
  // A name of blanks alone names, where blanks are trimmed, a list without
  // a name: no guess replaces it.
  if (TrimBlanks(finding.name).empty()) return std::nullopt;
  const CPlace& place = finding.place;
  // The name as the check read it must be what the line holds there: a
  // name that runs on past a lone CR would keep its tail after the edit.
  if (!place.Holds(finding.name)) return std::nullopt;
  const std::size_t newLength = place.lineText.size() - finding.name.size() + note.name.size();
  if (!LineStaysWhole(place.lineText.size(), newLength)) return std::nullopt;
  CFix fix;
  fix.safe = false;
  fix.title = ChangeToTitle(codePage.ToUtf8(note.name));
  fix.edits.push_back(CEdit{place.lineOffset + place.begin, place.lineOffset + place.end,
                            std::string(note.name)});
  return fix;
}

std::string CommentLineAbove(std::string_view key, std::string_view comment) {
  std::string line = "; ";
  line.append(TrimEndBlanks(key));
  line.append(":");
  if (!comment.empty() && !IsBlank(comment.front())) line.append(" ");
  line.append(comment);
  return line;
}
