#include "cli/finding_text.h"

#include "checker/scanner.h"

namespace {

// '"NAME" (line N)', the way a note points at a list.
std::string QuotedAt(const CNote& note) {
  std::string text = "\"";
  text.append(note.name);
  text.append("\" (line ");
  text.append(std::to_string(note.line));
  text.append(")");
  return text;
}

}  // namespace

std::string FindingMessage(const CFinding& finding) {
  std::string text = "Label \"";
  text.append(finding.name);
  switch (finding.kind) {
    case CFinding::Kind::duplicate:
      text.append("\" already in line ");
      text.append(std::to_string(finding.firstLine));
      break;
    case CFinding::Kind::unused:
      text.append("\" not used");
      break;
    case CFinding::Kind::notFound:
      text.append("\" not found");
      break;
  }
  return text;
}

std::string NoteMessage(const CNote& note) {
  std::string text;
  switch (note.kind) {
    case CNote::Kind::otherSection:
      text = "a list \"";
      text.append(note.name);
      text.append("\" exists in line ");
      text.append(std::to_string(note.line));
      text.append(", but under ");
      text.append(SectionHeaderText(note.section));
      text.append(", not ");
      text.append(SectionHeaderText(note.wanted));
      break;
    case CNote::Kind::closeName:
      text = "did you mean " + QuotedAt(note) + "?";
      break;
    case CNote::Kind::onlyUnused:
      text = QuotedAt(note) + " is the only ";
      text.append(SectionHeaderText(note.wanted));
      text.append(" list that nothing uses");
      break;
  }
  return text;
}
