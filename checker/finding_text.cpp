#include "checker/finding_text.h"

#include "checker/scanner.h"

std::string_view CrossReferenceWords(FindingKind kind) {
  switch (kind) {
    case FindingKind::duplicate: return "\" already in line ";
    case FindingKind::unused: return "\" not used";
    case FindingKind::notFound: return "\" not found";
    default: return "";
  }
}

std::string FindingMessage(FindingKind kind, std::string_view name, int firstLine) {
  std::string text(kLabelQuote);
  text.append(Shown(name));
  text.append(CrossReferenceWords(kind));
  if (kind == FindingKind::duplicate) text.append(std::to_string(firstLine));
  return text;
}

std::string FirstDefinedMessage(std::string_view name) {
  std::string text = "Label \"";
  text.append(Shown(name));
  text.append("\" first defined here");
  return text;
}

std::string ListNoteMessage(NoteKind kind, std::string_view name, int line, int section,
                            int wanted) {
  std::string text;
  switch (kind) {
    case NoteKind::otherSection:
      text = "a list \"";
      text.append(Shown(name));
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
    default:
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
  text.append(Shown(hidden));
  text.append("\" behind it");
  if (what == "section header")
    text.append(": the lists up to the next header stand in no section");
  return text;
}

std::string Shown(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string shown;
  shown.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) {
      shown.push_back(c);
    } else if (c == '\t') {
      shown.append("\\t");
    } else {
      shown.append("\\x");
      shown.push_back(kHex[byte >> 4]);
      shown.push_back(kHex[byte & 0xF]);
    }
  }
  return shown;
}

std::string Quoted(std::string_view text) {
  std::string quoted = "\"";
  quoted.append(Shown(text));
  quoted.append("\"");
  return quoted;
}

std::string QuotedAt(std::string_view name, int line) {
  std::string text = "\"";
  text.append(Shown(name));
  text.append("\" (line ");
  text.append(std::to_string(line));
  text.append(")");
  return text;
}

std::string TrailingBlanksMessage(std::string_view list, int line, bool leading) {
  return std::string(leading ? "without the blanks around it" : "without the blanks at its end") +
         ", it names " + QuotedAt(list, line);
}

std::string CommentInValueMessage(std::string_view list, int line) {
  return "without the comment from \";\" on, it names " + QuotedAt(list, line);
}

std::string UnknownHeaderMessage(std::string_view header, int line, int section) {
  const std::string before = section == kNoSection
                                 ? std::string("as lists before any section")
                                 : "as lists of the section before it (" +
                                       std::string(SectionHeaderText(section)) + ")";
  return "the list stands after " + QuotedAt(header, line) +
         ", a header of no section: one program drops the lists after it, others read them " +
         before + ", where nothing refers to this one";
}

std::string NumberedListNameMessage(std::string_view list, int section, int line) {
  const std::string key = section == kNoteNames ? "Key[...]=" : "Patch[...]=";
  std::string text = key + Shown(list) + " names the built-in list of numbers";
  if (line > 0) text += ", as in line " + std::to_string(line);
  return text + ", never a list of the file: a list named " + Quoted(list) + " is never used";
}

std::string NumberedListValueMessage() {
  return "the built-in lists of numbers are named exactly \"1..128\" and \"0..127\"; any "
         "other value names a list of the file";
}

std::string MoveCommentTitle() { return "Move the comment to a line of its own above the label"; }
std::string ChangeToTitle(std::string_view list) { return "Change to " + Quoted(list); }
std::string TrimReferenceTitle(bool leading) {
  return leading ? "Remove the blanks around the reference" : "Remove the blanks at the end of the reference";
}
