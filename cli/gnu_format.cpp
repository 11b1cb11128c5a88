#include "cli/gnu_format.h"

namespace {

std::string GnuLine(std::string_view input, const CPlace& place, const CCodePage& codePage,
                    std::string_view severity, const std::string& message,
                    std::string_view id = {}) {
  std::string text(input);
  text.append(":");
  text.append(std::to_string(place.line));
  text.append(":");
  text.append(std::to_string(ColumnOf(place.lineText, place.begin, codePage)));
  text.append(": ");
  text.append(severity);
  text.append(": ");
  text.append(message);
  if (!id.empty()) {
    text.append(" [");
    text.append(id);
    text.append("]");
  }
  text.push_back('\n');
  return text;
}

}  // namespace

std::string FormatGnuFinding(std::string_view input, const CFinding& finding,
                             const CCodePage& codePage, bool withNote) {
  std::string lines = GnuLine(input, finding.place, codePage,
                              SeverityName(finding.GetSeverity()), finding.message,
                              finding.Rule().id);
  if (finding.note && withNote) {
    // A note on a reference not found stands at the reference it explains,
    // and names the line it points at in its text; any other speaks of a
    // place of its own ("number 12 is first given here"), as a compiler's
    // notes do.
    const CNote& note = *finding.note;
    const bool ownPlace = finding.kind != FindingKind::notFound &&
                          !RuleOf(note.kind).suggestsList && note.place.line > 0;
    lines += GnuLine(input, ownPlace ? note.place : finding.place, codePage,
                     SeverityName(Severity::note), note.message);
  }
  return lines;
}

std::string FormatGnuFileNote(std::string_view input, const CNote& note,
                              const CCodePage& codePage) {
  CPlace place = note.place;
  place.begin = 0;
  return GnuLine(input, place, codePage, SeverityName(Severity::note), note.message);
}
