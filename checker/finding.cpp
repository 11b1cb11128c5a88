#include "checker/finding.h"

namespace {

constexpr std::array<FindingRule, kFindingKindCount> kFindingRules = {{
    {FindingKind::duplicate, "VLT1001", "DuplicateLabel", Severity::warning,
     "A list is defined twice in one section.",
     "A label names a list that an earlier label in the same section already "
     "names. Every reference reaches the first of the two, so the second list "
     "is never used.",
     "Rename the second list and refer to it by its new name, or remove it if "
     "it is a copy of the first."},
    {FindingKind::unused, "VLT1002", "LabelNotUsed", Severity::error,
     "A list that nothing refers to.",
     "No instrument definition and no other list refers to this list by "
     "name, so a sequencer never shows it. Often a reference meant it and "
     "misspells its name.",
     "Refer to the list where it is meant to be used (Patch[...]=, Key[...]=, "
     "Control=, RPN=, NRPN= or BasedOn=), or remove it."},
    {FindingKind::notFound, "VLT1003", "LabelNotFound", Severity::error,
     "A reference to a list that does not exist.",
     "The value of this key line names no list of the section the key needs "
     "(Patch a patch list, Key a note list, Control a controller list, RPN "
     "and NRPN their own lists, BasedOn a list of its own section). Names "
     "match exactly, case and blanks included.",
     "Correct the name to that of an existing list of the right section, or "
     "add the list. The related location, when there is one, points at the "
     "list the reference most likely means."},
}};

constexpr std::array<NoteRule, kNoteKindCount> kNoteRules = {{
    {NoteKind::otherSection, "OtherSection", true},
    {NoteKind::closeName, "CloseName", true},
    {NoteKind::onlyUnused, "OnlyUnused", true},
    {NoteKind::noClosingBracket, "NoClosingBracket", false},
    {NoteKind::byteOrderMark, "ByteOrderMark", false},
}};

// Every kind has its row, at its own index: a kind added to an enum and its
// count without a row here stops the build.
template <typename Rules>
constexpr bool EveryKindHasItsRow(const Rules& rules) {
  for (std::size_t i = 0; i < rules.size(); ++i) {
    if (static_cast<std::size_t>(rules[i].kind) != i || rules[i].name.empty()) return false;
  }
  return true;
}
static_assert(EveryKindHasItsRow(kFindingRules), "a finding kind lacks its row");
static_assert(EveryKindHasItsRow(kNoteRules), "a note kind lacks its row");
static_assert(static_cast<std::size_t>(FindingKind::notFound) + 1 == kFindingKindCount,
              "kFindingKindCount must follow the last finding kind");
static_assert(static_cast<std::size_t>(NoteKind::byteOrderMark) + 1 == kNoteKindCount,
              "kNoteKindCount must follow the last note kind");

}  // namespace

std::string_view SeverityName(Severity severity) {
  switch (severity) {
    case Severity::error: return "error";
    case Severity::warning: return "warning";
    case Severity::note: return "note";
  }
  return "error";
}

const std::array<FindingRule, kFindingKindCount>& FindingRules() { return kFindingRules; }
const FindingRule& RuleOf(FindingKind kind) { return kFindingRules[static_cast<std::size_t>(kind)]; }
const std::array<NoteRule, kNoteKindCount>& NoteRules() { return kNoteRules; }
const NoteRule& RuleOf(NoteKind kind) { return kNoteRules[static_cast<std::size_t>(kind)]; }
