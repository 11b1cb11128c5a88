#include "checker/finding_text.h"

#include "checker/scanner.h"

namespace {

// '"NAME" (line N)', the way a note points at a list.
std::string QuotedAt(std::string_view name, int line) {
  std::string text = "\"";
  text.append(name);
  text.append("\" (line ");
  text.append(std::to_string(line));
  text.append(")");
  return text;
}

}  // namespace

std::string FindingMessage(FindingKind kind, std::string_view name, int firstLine) {
  std::string text = "Label \"";
  text.append(name);
  switch (kind) {
    case FindingKind::duplicate:
      text.append("\" already in line ");
      text.append(std::to_string(firstLine));
      break;
    case FindingKind::unused:
      text.append("\" not used");
      break;
    case FindingKind::notFound:
      text.append("\" not found");
      break;
  }
  return text;
}

std::string FirstDefinedMessage(std::string_view name) {
  std::string text = "Label \"";
  text.append(name);
  text.append("\" first defined here");
  return text;
}

std::string ListNoteMessage(NoteKind kind, std::string_view name, int line, int section,
                            int wanted) {
  std::string text;
  switch (kind) {
    case NoteKind::otherSection:
      text = "a list \"";
      text.append(name);
      text.append("\" exists in line ");
      text.append(std::to_string(line));
      text.append(", but under ");
      text.append(SectionHeaderText(section));
      text.append(", not ");
      text.append(SectionHeaderText(wanted));
      break;
    case NoteKind::closeName:
      text = "did you mean " + QuotedAt(name, line) + "?";
      break;
    case NoteKind::onlyUnused:
      text = QuotedAt(name, line) + " is the only ";
      text.append(SectionHeaderText(wanted));
      text.append(" list that nothing uses");
      break;
    case NoteKind::noClosingBracket:
    case NoteKind::byteOrderMark:
      break;
  }
  return text;
}

std::string NoClosingBracketMessage() {
  return "this label line has no closing \"]\", so its list has no name";
}

std::string ByteOrderMarkMessage(std::string_view hidden, std::string_view what) {
  std::string text =
      "the file begins with a UTF-8 byte-order mark, which hides the ";
  text.append(what);
  text.append(" \"");
  text.append(hidden);
  text.append("\" behind it");
  if (what == "section header")
    text.append(": the lists up to the next header stand in no section");
  return text;
}
