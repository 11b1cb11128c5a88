#include "checker/finding_text.h"

#include "checker/scanner.h"

namespace {

// '"NAME" (line N)', the way a note points at a list.
std::string QuotedAt(std::string_view name, int line) {
  std::string text = "\"";
  text.append(Shown(name));
  text.append("\" (line ");
  text.append(std::to_string(line));
  text.append(")");
  return text;
}

}  // namespace

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

std::string NumberOutOfRangeMessage(std::string_view number, int largest) {
  return "Number " + std::string(number) + " is outside 0.." + std::to_string(largest);
}

std::string CountsFromOneMessage(std::string_view list) {
  return "the list " + Quoted(list) +
         " counts from 1 to 128, not from 0: every name lands one number too high";
}

std::string DuplicateNumberMessage(std::string_view number, int firstLine, bool sameText,
                                   std::string_view firstText) {
  std::string text = "Number " + std::string(number) + " already has an entry in line " +
                     std::to_string(firstLine);
  if (sameText) return text + ", with the same text";
  return text + ", with another text: " + Quoted(firstText);
}

std::string FirstEntryMessage(std::string_view number) {
  return "number " + std::string(number) + " is first given here";
}

std::string MalformedEntryMessage() {
  return "Not an entry: a line of a name list is NUMBER=NAME, a comment or blank";
}

std::string MalformedKeyMessage(MalformedKeyReason reason, std::string_view key,
                                std::string_view value) {
  switch (reason) {
    case MalformedKeyReason::brackets:
      if (key == "Patch") return "Malformed key: Patch takes one bank, Patch[BANK]=";
      if (key == "Key" || key == "Drum")
        return "Malformed key: " + std::string(key) + " takes a bank and a program, " +
               std::string(key) + "[BANK,PROGRAM]=";
      return "Malformed key: " + std::string(key) + " takes no brackets, " + std::string(key) + "=";
    case MalformedKeyReason::noEquals:
      return "Malformed key: " + Quoted(key) + " has no \"=\"";
    case MalformedKeyReason::bank:
      return "Malformed key: the bank of " + std::string(key) + " is neither * nor 0..16383";
    case MalformedKeyReason::program:
      return "Malformed key: the program of " + std::string(key) + " is neither * nor 0..127";
    case MalformedKeyReason::bankBlank:
    case MalformedKeyReason::programBlank:
      return "Malformed key: a blank inside the brackets of " + std::string(key) +
             " makes its " + (reason == MalformedKeyReason::bankBlank ? "bank" : "program") +
             " no number for programs; remove the blank";
    case MalformedKeyReason::drumValue:
      return "Drum is set to " + Quoted(value) + ", neither 0 nor 1";
    case MalformedKeyReason::bankSelMethodValue:
      return "BankSelMethod is set to " + Quoted(value) + ", not 0..3";
    case MalformedKeyReason::switchValue:
      return std::string(key) + " is set to " + Quoted(value) + ", neither 0 nor 1";
  }
  return {};
}

std::string MisspelledKeyMessage(std::string_view key, std::string_view likely) {
  return "Unknown key " + Quoted(key) + ": most likely " + Quoted(likely) +
         ", which the instrument lacks in every program";
}

std::string UnknownKeyMessage(std::string_view key) {
  return "Unknown key " + Quoted(key) + ": most programs ignore it";
}

std::string BasedOnCycleMessage(std::string_view list, std::string_view basedOn) {
  if (list == basedOn) return "List " + Quoted(list) + " is based on itself";
  return "List " + Quoted(list) + " is based on " + Quoted(basedOn) +
         ", which leads back to it";
}

std::string BasedOnChainMessage(const std::vector<std::pair<std::string, int>>& links,
                                std::string_view last) {
  std::string text = "the chain: ";
  for (const auto& [name, line] : links) text += QuotedAt(name, line) + " -> ";
  return text + Quoted(last);
}

std::string DuplicateKeyMessage(std::string_view key, int firstLine) {
  return "Key " + std::string(key) + " already set in line " + std::to_string(firstLine) +
         ": programs disagree which one wins";
}

std::string FirstKeyMessage(std::string_view key) {
  return "key " + std::string(key) + " is first set here";
}

std::string UnknownSectionMessage(std::string_view header) {
  return "Unknown section header " + Quoted(header) +
         ": programs read the lists after it differently";
}

std::string CommentAfterValueMessage(std::string_view key) {
  return "Comment after the value of " + std::string(key) +
         ": some programs keep it as part of the value";
}

std::string BlanksAroundLabelMessage(std::string_view name) {
  return "Label " + Quoted(name) + " has blanks around its name";
}

std::string BlanksAroundReferenceMessage(std::string_view name) {
  return "Reference " + Quoted(name) + " matches its list only with the blanks around it";
}

std::string BasedOnLaterMessage(std::string_view list, int line) {
  return "BasedOn names " + Quoted(list) + ", which is defined only later, in line " +
         std::to_string(line);
}

std::string BasedOnDeepMessage(std::string_view list, std::string_view basedOn) {
  return "BasedOn names " + Quoted(list) + ", which is itself based on " + Quoted(basedOn) +
         ": a chain more than one level deep";
}

std::string ListDefinedHereMessage(std::string_view list) {
  return "list " + Quoted(list) + " is defined here";
}

std::string BankSelectAfterPatchMessage(int firstPatchLine) {
  return "BankSelMethod after the instrument's Patch lines (the first in line " +
         std::to_string(firstPatchLine) + "): one program applies it only to later ones";
}

std::string GapInInstrumentMessage(std::string_view instrument, bool comment) {
  return std::string(comment ? "Comment line" : "Blank line") + " inside instrument " +
         Quoted(instrument) + ": one program stops reading the instrument here";
}

std::string DrumZeroMessage() {
  return "Drum[...]=0: one program counts every Drum line as a drum";
}

std::string CommentInEntryTextMessage(std::string_view number) {
  return "\";\" in the name of entry " + std::string(number) +
         ": some programs cut the name there";
}

std::string NoFinalLineEndMessage() {
  return "The last line has no line end: one program loses its last character";
}

std::string LongLineMessage(std::uint64_t length) {
  return "Line of " + std::to_string(length) +
         " bytes: programs read a line of more than 253 bytes as several";
}

std::string BareSuppressionMessage() {
  return "Suppression without a rule id silences nothing: name the rules, as in "
         "\"; veltrane: ignore VLT2002\"";
}

std::string UnusedSuppressionMessage(std::string_view pattern, bool namesRule) {
  if (!namesRule) return "Suppression of " + Quoted(pattern) + ", which names no rule";
  return "Suppression of " + Quoted(pattern) + " silences nothing";
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

namespace {

// "note lists", "patch lists", ...: the lists that keys of section `kind` name.
std::string ListsOf(int kind) {
  switch (kind) {
    case kPatchNames: return "patch lists";
    case kNoteNames: return "note lists";
    case kControllerNames: return "controller lists";
    case kRpnNames: return "RPN lists";
    case kNrpnNames: return "NRPN lists";
    default: return "lists";
  }
}

}  // namespace

std::string MissingSectionHeaderMessage(std::string_view first, std::string_view last, int count,
                                        int section, int wanted, int line) {
  const std::string lists = ListsOf(wanted);
  std::string text =
      count == 1
          ? "List " + Quoted(first) + " is used as " +
                (wanted == kRpnNames || wanted == kNrpnNames ? "an " : "a ") +
                lists.substr(0, lists.size() - 1) + " but stands under "
          : "Lists " + Quoted(first) + " to " + Quoted(last) + " (" + std::to_string(count) +
                " lists) are used as " + lists + " but stand under ";
  text.append(SectionHeaderText(section));
  text.append(": a \"");
  text.append(SectionHeaderText(wanted));
  text.append("\" line is probably missing above line ");
  text.append(std::to_string(line));
  return text;
}

std::string MissingHeaderNoteMessage(std::string_view list, int listLine, int section, int wanted,
                                     int line) {
  return "the list " + QuotedAt(list, listLine) + " stands under " +
         std::string(SectionHeaderText(section)) +
         ": a \"" + std::string(SectionHeaderText(wanted)) +
         "\" line is probably missing above line " + std::to_string(line);
}

std::string DeleteLineTitle() { return "Remove the repeated line"; }
std::string MoveCommentTitle() { return "Move the comment to a line of its own above the label"; }
std::string MoveBankSelectTitle() { return "Move BankSelMethod above the first Patch line"; }
std::string RemoveBlankLinesTitle() { return "Remove the blank lines"; }
std::string RenameKeyTitle(std::string_view key) { return "Change the key to " + Quoted(key); }
std::string ChangeToTitle(std::string_view list) { return "Change to " + Quoted(list); }
std::string AddLineEndTitle() { return "End the last line"; }
std::string TrimNameTitle() { return "Remove the blanks from the name and its references"; }
std::string TrimReferenceTitle(bool leading) {
  return leading ? "Remove the blanks around the reference" : "Remove the blanks at the end of the reference";
}
std::string RemoveSuppressionTitle() { return "Remove the unused suppression"; }
std::string InsertHeaderTitle(int section) {
  return "Insert the header " + Quoted(SectionHeaderText(section));
}
