// What a check finds, as values: the rules (their table is rule_table.h),
// the kinds of notes, and where in the file each finding and note stands.
#ifndef VELTRANE_CHECKER_FINDING_H_
#define VELTRANE_CHECKER_FINDING_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "checker/fix.h"
#include "checker/rule_table.h"

// "error", "warning" or "note".
std::string_view SeverityName(Severity severity);

// "none", "safe" or "unsafe", as --explain and SARIF name a rule's fix.
std::string_view FixAvailabilityName(FixAvailability fix);

// The rules in the order of FindingKind, which is also each rule's index.
const std::array<FindingRule, kFindingKindCount>& FindingRules();
const FindingRule& RuleOf(FindingKind kind);
// The rule with id `id` ("VLT2001"), or null.
const FindingRule* FindRule(std::string_view id);

enum class NoteKind {
  otherSection,      // a list of exactly that name stands under another section
  closeName,         // a list of the right section has a name close to it
  onlyUnused,        // the right section has exactly one list nothing uses
  noClosingBracket,  // a label line without "]": its list has no name
  byteOrderMark,     // the file starts with a UTF-8 byte-order mark that hides a line
  trailingBlanks,    // the reference names a list once the blanks at its end go
  commentInValue,    // the reference names a list once its "; comment" goes
  countsFromOne,     // a patch or note list numbered 1..128
  firstEntry,        // the first entry of a number given twice
  firstKey,          // the first line of a key given twice
  basedOnChain,      // the lists of a BasedOn cycle, with their lines
  firstDefinition,   // the list a later BasedOn names, or a chain's next link
  unknownHeader,     // an unused list stands after a header that names no section
  numberedList,      // "1..128" and "0..127" name the built-in lists of numbers
  missingHeader,     // the reference's list stands under a header probably missing
};
inline constexpr std::size_t kNoteKindCount = 15;

// One kind of note. `suggestsList` notes name a list that the reference
// most likely means: replacing the reference's name with the list's name
// is the fix an editor may offer.
struct NoteRule {
  NoteKind kind;
  std::string_view name;  // "OtherSection"
  bool suggestsList;
};
const std::array<NoteRule, kNoteKindCount>& NoteRules();
const NoteRule& RuleOf(NoteKind kind);

// Where a name stands in the file as people see it. Lines end at LF, CR LF
// or a lone CR. Offsets count bytes of the file.
struct CPlace {
  int line = 0;                  // 1-based physical line; 0: no place
  std::uint64_t lineOffset = 0;  // the offset of the line's first byte
  // The name's byte range within the line, [begin, end), clamped to the
  // line; an empty name has an empty range where it would stand.
  std::uint32_t begin = 0;
  std::uint32_t end = 0;
  // The whole line without its end; of a line longer than 64 KiB, its
  // first 64 KiB.
  std::string_view lineText;

  // Whether the range is exactly `name` in the line's text, so that edits
  // by its offsets change the name and nothing else (a name that runs on
  // past a lone CR, or past the kept text, does not).
  bool Holds(std::string_view name) const {
    return line > 0 && begin <= end && end <= lineText.size() && end - begin == name.size() &&
           lineText.substr(begin, name.size()) == name;
  }
};

// A hint that explains a finding (or, for the file as a whole, a byte-order
// mark). Views point into the result that holds the note.
struct CNote {
  NoteKind kind = NoteKind::onlyUnused;
  std::string message;        // for people: UTF-8, with physical line numbers
  std::string_view name;      // the list it names, as the file has it; "" if none
  int line = -1;              // that list's line as the protocol counts it
  CPlace place;               // that list's name; or the line the note is about
  int section = 0;            // the SectionKind the list stands under
  int wanted = 0;             // the SectionKind the reference needs
};

// One finding. Views point into the label lists of the result that holds
// it, and stay valid as long as that result lives (moving it is fine).
struct CFinding {
  FindingKind kind = FindingKind::unused;
  std::string message;        // for people: UTF-8, with physical line numbers
  std::string_view name;      // the label, as the file has it
  int line = -1;              // the line the protocol shows: pieces counted
  std::string_view text;      // that piece as read: any bytes, "\n" or not
  CPlace place;               // where the name stands
  int section = 0;            // the SectionKind of the offending entry
  // Duplicate only: the first definition of that name and kind. Findings of
  // the other rules point at an earlier place through their note.
  int firstLine = -1;         // its protocol line
  CPlace firstPlace;
  std::optional<CNote> note;  // made when the check was asked for notes
  std::optional<CFix> fix;    // what makes it go away, when its rule has a fix

  const FindingRule& Rule() const { return RuleOf(kind); }
  Severity GetSeverity() const { return Rule().severity; }
};

// A note at `place` that points there.
CNote MakeNote(NoteKind kind, const CPlace& place, int section, std::string message);

#endif  // VELTRANE_CHECKER_FINDING_H_
