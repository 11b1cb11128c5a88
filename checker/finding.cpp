#include "checker/finding.h"

#include <utility>

namespace {

constexpr std::array<NoteRule, kNoteKindCount> kNoteRules = {{
    {NoteKind::otherSection, "OtherSection", true},
    {NoteKind::closeName, "CloseName", true},
    {NoteKind::onlyUnused, "OnlyUnused", true},
    {NoteKind::noClosingBracket, "NoClosingBracket", false},
    {NoteKind::byteOrderMark, "ByteOrderMark", false},
    {NoteKind::trailingBlanks, "TrailingBlanks", true},
    {NoteKind::commentInValue, "CommentInValue", true},
    {NoteKind::countsFromOne, "CountsFromOne", false},
    {NoteKind::firstEntry, "FirstEntry", false},
    {NoteKind::firstKey, "FirstKey", false},
    {NoteKind::basedOnChain, "BasedOnChain", false},
    {NoteKind::firstDefinition, "FirstDefinition", false},
    {NoteKind::unknownHeader, "UnknownHeader", false},
    {NoteKind::numberedList, "NumberedList", false},
    {NoteKind::missingHeader, "MissingHeader", false},
}};

// Every note kind has its row, at its own index: a kind added to the enum
// and its count without a row here stops the build.
constexpr bool EveryNoteKindHasItsRow() {
  for (std::size_t i = 0; i < kNoteRules.size(); ++i) {
    if (static_cast<std::size_t>(kNoteRules[i].kind) != i || kNoteRules[i].name.empty()) return false;
  }
  return true;
}
static_assert(EveryNoteKindHasItsRow(), "a note kind lacks its row");
static_assert(static_cast<std::size_t>(NoteKind::missingHeader) + 1 == kNoteKindCount,
              "kNoteKindCount must follow the last note kind");

}  // namespace

std::string_view FixAvailabilityName(FixAvailability fix) {
  switch (fix) {
    case FixAvailability::none: return "none";
    case FixAvailability::safe: return "safe";
    case FixAvailability::unsafe: return "unsafe";
  }
  return "none";
}

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
const FindingRule* FindRule(std::string_view id) {
  for (const FindingRule& rule : kFindingRules)
    if (rule.id == id) return &rule;
  return nullptr;
}
const std::array<NoteRule, kNoteKindCount>& NoteRules() { return kNoteRules; }
const NoteRule& RuleOf(NoteKind kind) { return kNoteRules[static_cast<std::size_t>(kind)]; }

CNote MakeNote(NoteKind kind, const CPlace& place, int section, std::string message) {
  CNote note;
  note.kind = kind;
  note.place = place;
  note.line = place.line;
  note.section = section;
  note.message = std::move(message);
  return note;
}
