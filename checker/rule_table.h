// The rules: every kind of finding and its row, which says how every format
// presents the rule (id, name, severity, words, example), whether it is on
// by default, whether it has a fix and which pass runs it. A rule is added
// here, its kind at the end of FindingKind and its row at the end of
// kFindingRules; the pass's code does the rest (see CONTRIBUTING.md).
#ifndef VELTRANE_CHECKER_RULE_TABLE_H_
#define VELTRANE_CHECKER_RULE_TABLE_H_

#include <array>
#include <cstddef>
#include <string_view>

#include "checker/fix.h"

enum class FindingKind {
  // The cross-references, which the protocol shows too.
  duplicate,  // a definition whose name and kind an earlier one has
  unused,     // a definition that no reference matched
  notFound,   // a reference that matched no definition
  // The suppression comments themselves.
  unusedSuppression,
  // Values that are wrong for every program.
  numberOutOfRange,
  duplicateNumber,
  malformedEntry,
  malformedKey,
  misspelledKey,
  unknownKey,
  basedOnCycle,
  duplicateKey,
  unknownSection,
  missingSectionHeader,
  // What loaders read differently.
  commentAfterValue,
  blanksAroundName,
  basedOnOrder,
  bankSelectAfterPatch,
  gapInInstrument,
  drumZero,
  commentInEntryText,
  noFinalLineEnd,
  longLine,
  // A new kind goes here, at the end, and its row at the end of
  // kFindingRules below, so that every other kind keeps its index.
};

// The kinds the protocol counts; every other kind is found only for the
// formats that show rules.
constexpr bool IsCrossReference(FindingKind kind) { return kind <= FindingKind::notFound; }

enum class Severity { error, warning, note };

// Which pass runs a rule, and so what it reads; what a selection of rules
// reads follows from these (see CRuleSelection::Reads).
enum class RulePass {
  crossReferences,  // the engine's resolution of the lists
  lineEntries,      // the line pass: the entries of name lists
  lineKeys,         // the line pass: the key lines of instruments
  lineSections,     // the line pass: section headers
  lineForm,         // the line pass: every line's form (length, line end)
  listsBasedOn,     // the list pass: BasedOn lines and the lists they join
  lists,            // the list pass: the resolved lists
  suppression,      // last: the suppression comments themselves
};

// One kind of finding as every format presents it: its row in
// kFindingRules, at the index of its kind.
struct FindingRule {
  FindingKind kind;
  std::string_view id;         // "VLT1001", stable across versions
  std::string_view name;       // "DuplicateLabel"
  Severity severity;
  std::string_view shortText;  // one sentence
  std::string_view fullText;   // what it means
  std::string_view help;       // how to fix it
  std::string_view example;    // a few lines that show it, "\n" between them
  bool onByDefault;            // reported unless a selection says otherwise
  FixAvailability fix;         // whether its findings come with a fix
  RulePass pass;               // which pass runs it
};

inline constexpr FixAvailability kNoFix = FixAvailability::none;
inline constexpr FixAvailability kSafeFix = FixAvailability::safe;
inline constexpr FixAvailability kUnsafeFix = FixAvailability::unsafe;

// The rules in the order of FindingKind, which is also each rule's index.
inline constexpr auto kFindingRules = std::to_array<FindingRule>({
    {FindingKind::duplicate, "VLT1001", "DuplicateLabel", Severity::warning,
     "A list is defined twice in one section.",
     "A label names a list that an earlier label in the same section already "
     "names. Every reference reaches the first of the two, so the second list "
     "is never used.",
     "Rename the second list and refer to it by its new name, or remove it if "
     "it is a copy of the first.",
     ".Patch Names\n[Bank A]\n0=Piano\n[Bank A]\n0=Organ", true, kNoFix, RulePass::crossReferences},
    {FindingKind::unused, "VLT1002", "LabelNotUsed", Severity::error,
     "A list that nothing refers to.",
     "No instrument definition and no other list refers to this list by "
     "name, so a sequencer never shows it. Often a reference meant it and "
     "misspells its name.",
     "Refer to the list where it is meant to be used (Patch[...]=, Key[...]=, "
     "Control=, RPN=, NRPN= or BasedOn=), or remove it.",
     ".Controller Names\n[Old Controllers]\n7=Volume", true, kNoFix, RulePass::crossReferences},
    {FindingKind::notFound, "VLT1003", "LabelNotFound", Severity::error,
     "A reference to a list that does not exist.",
     "The value of this key line names no list of the section the key needs "
     "(Patch a patch list, Key a note list, Control a controller list, RPN "
     "and NRPN their own lists, BasedOn a list of its own section). Names "
     "match exactly, case and blanks included.",
     "Correct the name to that of an existing list of the right section, or "
     "add the list. The related location, when there is one, points at the "
     "list the reference most likely means. When only blanks at the end of "
     "the reference or a \"; comment\" after it keep it from naming a list, "
     "the fix (safe) removes the blanks or moves the comment to a line of its "
     "own above the label line; a \"did you mean\" fix (unsafe) puts in the "
     "name of the list the note points at.",
     ".Controller Names\n[Standard Controllers]\n7=Volume\n.Instrument Definitions\n[Synth]\n"
     "Control=Standard Controlers",
     true, kUnsafeFix, RulePass::crossReferences},
    {FindingKind::unusedSuppression, "VLT0001", "UnusedSuppression", Severity::note,
     "A suppression comment that silences nothing.",
     "A comment \"; veltrane: ignore ID, ...\" silences the rules it names on "
     "the next line that is neither blank nor a comment, and \"; veltrane: "
     "ignore-file ID, ...\" silences them in the whole file. One of its ids "
     "or prefixes silences no finding of a rule that this check reports, or "
     "names no rule at all, or the comment names no rule: it is out of date "
     "or misspelt.",
     "Remove the id from the comment, or the comment when none of its ids is "
     "needed (the fix, safe, does that).",
     ".Patch Names\n[Bank A]\n; veltrane: ignore VLT2020\n0=Piano", true, kSafeFix, RulePass::suppression},
    {FindingKind::numberOutOfRange, "VLT2001", "NumberOutOfRange", Severity::error,
     "An entry number outside the range of its list.",
     "Patch, note and controller numbers run from 0 to 127, RPN and NRPN "
     "numbers from 0 to 16383. Programs drop an entry outside that range "
     "without a word, refuse the whole file, or write past the end of their "
     "table. A patch or note list numbered 1 to 128 counts from 1: every name "
     "then lands one number too high, and the note on the finding says so.",
     "Number the entries within the range: a list counted from 1 is counted "
     "again from 0 (every number one lower).",
     ".Patch Names\n[Piano Bank]\n1=Grand Piano\n...\n128=Gunshot", true, kNoFix, RulePass::lineEntries},
    {FindingKind::duplicateNumber, "VLT2002", "DuplicateNumber", Severity::warning,
     "A number that already has an entry in the same list.",
     "The same number stands twice among a list's own lines. With different "
     "names, programs disagree about which one wins: most keep the last, one "
     "keeps the first. With the same name, the second line is a harmless "
     "copy.",
     "Remove one of the two lines, or give the second the number it was meant "
     "to have. When the entry of that number just before it has the same "
     "text, the fix (safe) removes the later one.",
     ".Patch Names\n[Bank A]\n12=Warm Pad\n12=Warm Pad", true, kSafeFix, RulePass::lineEntries},
    {FindingKind::malformedEntry, "VLT2003", "MalformedEntry", Severity::error,
     "A line in a name list that is not NUMBER=NAME.",
     "After a label in one of the five name sections, every line is blank, a "
     "comment (\";\" first, after optional blanks), a BasedOn line or an "
     "entry: decimal digits, \"=\" and the name. Programs skip any other line "
     "or read a number from it that was never meant.",
     "Write the line as NUMBER=NAME, or make it a comment.",
     ".Patch Names\n[Bank A]\n12 Warm Pad\nx=Pad\n=Pad", true, kNoFix, RulePass::lineEntries},
    {FindingKind::malformedKey, "VLT2004", "MalformedKey", Severity::error,
     "A key line of an instrument whose brackets or value are wrong.",
     "In .Instrument Definitions, Patch[BANK], Key[BANK,PROGRAM] and "
     "Drum[BANK,PROGRAM] take a bank of * or 0..16383 and a program of * or "
     "0..127; Drum is set to 0 or 1, BankSelMethod to 0..3 and "
     "UseNotesAsControllers to 0 or 1. Programs skip a key they cannot read, "
     "so the instrument silently lacks it.",
     "Correct the brackets or the value.",
     ".Instrument Definitions\n[Synth]\nPatch[20000]=Bank A\nKey[0]=Kit\nBankSelMethod=4",
     true, kNoFix, RulePass::lineKeys},
    {FindingKind::misspelledKey, "VLT2005", "MisspelledKey", Severity::warning,
     "A key of an instrument that is misspelt.",
     "The line is no key that programs know, but it is close to one (case "
     "aside, at most two letters off). Every program ignores it, so the "
     "instrument silently lacks that key.",
     "Spell the key as the message says (the fix, unsafe, does that).",
     ".Instrument Definitions\n[Synth]\nContol=Standard\npatch[0]=Bank A", true, kUnsafeFix, RulePass::lineKeys},
    {FindingKind::unknownKey, "VLT2006", "UnknownKey", Severity::note,
     "A line of an instrument that is no known key.",
     "Programs know Patch[...], Key[...], Drum[...], Control, RPN, NRPN, "
     "BasedOn, BankSelMethod and UseNotesAsControllers. Some programs add keys "
     "of their own, such as SupportsPitchBend, which others ignore.",
     "Nothing to do for a key that a program of yours reads; otherwise remove "
     "the line or make it a comment.",
     ".Instrument Definitions\n[Synth]\nSupportsPitchBend=1", true, kNoFix, RulePass::lineKeys},
    {FindingKind::basedOnCycle, "VLT2007", "BasedOnCycle", Severity::error,
     "A BasedOn chain that comes back to itself.",
     "A list based on itself, or a chain of BasedOn lines that comes back to "
     "a list on it, has no end: one program follows it for ever, others stop "
     "somewhere. The note lists the chain with the line of each BasedOn.",
     "Remove the BasedOn that closes the circle.",
     ".Note Names\n[Kit A]\nBasedOn=Kit B\n[Kit B]\nBasedOn=Kit A", true, kNoFix, RulePass::listsBasedOn},
    {FindingKind::duplicateKey, "VLT2008", "DuplicateKey", Severity::warning,
     "The same key twice in one instrument.",
     "Programs disagree which of two equal keys of an instrument wins: some "
     "take the first, some the last.",
     "Remove the line that is not meant.",
     ".Instrument Definitions\n[Synth]\nPatch[42]=Bank A\nPatch[42]=Bank B", true, kNoFix, RulePass::lineKeys},
    {FindingKind::unknownSection, "VLT2009", "UnknownSection", Severity::warning,
     "A line starting with \".\" that is no section header.",
     "The sections are .Patch Names, .Note Names, .Controller Names, .RPN "
     "Names, .NRPN Names and .Instrument Definitions. One program reads the "
     "lists after any other header as the previous section, another drops "
     "them.",
     "Correct the header, or remove it together with its lists.",
     ".Sequences\n[Intro]\n0=Count-in", true, kNoFix, RulePass::lineSections},
    {FindingKind::missingSectionHeader, "VLT2010", "MissingSectionHeader", Severity::warning,
     "Lists that stand under one section but are used as lists of another.",
     "The lists from this label to the next section header are referred to "
     "only by keys that want lists of another section (Key lines note lists, "
     "say), at least twice, and never by a key of their own section: most "
     "likely the header of that other section was forgotten above them. Every "
     "such reference is not found, and every such list unused; the notes on "
     "those references point here.",
     "Add the header above the first of the lists (the fix, unsafe, inserts "
     "it where nothing but the lists' section changes), or refer to the lists "
     "from keys of their own section.",
     ".Patch Names\n[General MIDI]\n0=Piano\n[Standard Kit]\n36=Kick\n"
     ".Instrument Definitions\n[Synth]\nPatch[*]=General MIDI\nKey[0,0]=Standard Kit\n"
     "Key[0,8]=Standard Kit",
     true, kUnsafeFix, RulePass::lists},
    {FindingKind::commentAfterValue, "VLT3001", "CommentAfterValue", Severity::warning,
     "A comment after the value of an instrument's key.",
     "Some programs cut a key's value at \";\", others keep the comment as "
     "part of it: the reference then names no list, or the BankSelMethod is "
     "lost, in some programs and not in others.",
     "Put the comment on a line of its own above the instrument's label, "
     "saying which key it was about (the fix, safe, does that unless the "
     "value with its comment names a list).",
     ".Instrument Definitions\n[Synth]\nBankSelMethod=1 ; MSB only\nPatch[16256]=Drums ; MSB=127",
     true, kSafeFix, RulePass::lineKeys},
    {FindingKind::blanksAroundName, "VLT3002", "BlanksAroundName", Severity::warning,
     "A name with blanks at its start or end.",
     "A label whose name starts or ends with a blank or tab inside \"[ ]\", "
     "and a reference that matches such a name only with its blanks: programs "
     "that trim names resolve it differently from those that match exactly.",
     "Remove the blanks from the label and from every reference to it (the "
     "fix, safe, does that unless the trimmed name is another list's).",
     ".Patch Names\n[XG Bank 1 ]\n0=Piano", true, kSafeFix, RulePass::lists},
    {FindingKind::basedOnOrder, "VLT3003", "BasedOnOrder", Severity::note,
     "A BasedOn that some programs do not follow.",
     "A BasedOn naming a list that the file defines only later, or a chain of "
     "BasedOn more than one level deep: one program inherits only from lists "
     "it has already read, and only one level deep.",
     "Define the list before the lists based on it, and keep chains one level "
     "deep by naming the entries of the deeper lists directly.",
     ".Note Names\n[Kit B]\nBasedOn=Kit A\n[Kit A]\n36=Kick", true, kNoFix, RulePass::listsBasedOn},
    {FindingKind::bankSelectAfterPatch, "VLT3004", "BankSelectAfterPatch", Severity::warning,
     "BankSelMethod after Patch lines of the same instrument.",
     "One program applies BankSelMethod only to the Patch lines after it, so "
     "the banks above it use the default method there.",
     "Move BankSelMethod above the instrument's first Patch line (the fix, "
     "safe, does that).",
     ".Instrument Definitions\n[Synth]\nPatch[0]=Bank A\nBankSelMethod=1", true, kSafeFix, RulePass::lineKeys},
    {FindingKind::gapInInstrument, "VLT3005", "GapInInstrument", Severity::note,
     "A blank or comment line inside an instrument.",
     "One program stops reading an instrument at its first blank or comment "
     "line, so the keys after it are lost there.",
     "Remove the gap, or move comments above the instrument's label (the fix, "
     "safe, removes a gap of blank lines).",
     ".Instrument Definitions\n[Synth]\nControl=Standard\n\nPatch[0]=Bank A", true, kSafeFix, RulePass::lineKeys},
    {FindingKind::drumZero, "VLT3006", "DrumZero", Severity::note,
     "Drum[...]=0.",
     "Drum[...]=0 says that a patch is no drum patch, which is what every "
     "patch is without a Drum line; one program counts every Drum line as a "
     "drum, whatever its value. Where a wider Drum line of the same "
     "instrument (Drum[BANK,*], Drum[*,PROGRAM] or Drum[*,*]) sets the flag "
     "to 1, the 0 keeps that patch from being a drum patch, and it is not "
     "reported.",
     "Remove the line.",
     ".Instrument Definitions\n[Synth]\nDrum[*,0]=0", true, kNoFix, RulePass::lineKeys},
    {FindingKind::commentInEntryText, "VLT3007", "CommentInEntryText", Severity::note,
     "A \";\" inside an entry's name.",
     "Some programs cut an entry's name at \";\", others keep the whole name.",
     "Replace the \";\" with another character.",
     ".Patch Names\n[Bank A]\n0=Piano; bright", false, kNoFix, RulePass::lineEntries},
    {FindingKind::noFinalLineEnd, "VLT3008", "NoFinalLineEnd", Severity::warning,
     "The last line has no line end.",
     "One program loses the last character of a last line without a line "
     "end: a name loses a letter, a number a digit.",
     "End the last line (the fix, safe, adds the file's own line end).",
     ".Patch Names\n[Bank A]\n127=Gunshot<end of file>", true, kSafeFix, RulePass::lineForm},
    {FindingKind::longLine, "VLT3009", "LongLine", Severity::warning,
     "A line longer than 253 bytes.",
     "The check protocol and some programs read a line of more than 253 bytes "
     "as several lines, so a name is cut and the rest read as a line of its "
     "own.",
     "Shorten the line: names rarely need more than a few dozen characters.",
     ".Patch Names\n[Bank A]\n0=<300 characters>", true, kNoFix, RulePass::lineForm},
});

inline constexpr std::size_t kFindingKindCount = kFindingRules.size();

// Every row stands at the index of its kind; the cross-references, which
// the protocol counts, are the first kinds, and their rows say so.
constexpr bool RowsFollowTheKinds() {
  for (std::size_t i = 0; i < kFindingRules.size(); ++i) {
    const FindingRule& rule = kFindingRules[i];
    if (static_cast<std::size_t>(rule.kind) != i || rule.name.empty()) return false;
    if ((rule.pass == RulePass::crossReferences) != IsCrossReference(rule.kind)) return false;
  }
  return true;
}
static_assert(RowsFollowTheKinds(),
              "a row stands out of its kind's order, or a cross-reference's row does not say so");

#endif  // VELTRANE_CHECKER_RULE_TABLE_H_
