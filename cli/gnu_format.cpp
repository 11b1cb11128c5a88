#include "cli/gnu_format.h"

#include "cli/finding_text.h"

namespace {

std::string GnuLine(std::string_view input, int line, std::string_view severity,
                    const std::string& message) {
  std::string text(input);
  text.append(":");
  text.append(std::to_string(line));
  text.append(": ");
  text.append(severity);
  text.append(": ");
  text.append(message);
  text.push_back('\n');
  return text;
}

}  // namespace

std::string FormatGnuFinding(std::string_view input, const CFinding& finding) {
  return GnuLine(input, finding.line,
                 finding.kind == CFinding::Kind::duplicate ? "warning" : "error",
                 FindingMessage(finding));
}

std::string FormatGnuNote(std::string_view input, int line, const CNote& note) {
  return GnuLine(input, line, "note", NoteMessage(note));
}
