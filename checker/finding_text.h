// The words of findings and notes, shared by every format that shows them
// so that no two say it differently. Names come in as UTF-8 text; lines
// are physical lines.
#ifndef VELTRANE_CHECKER_FINDING_TEXT_H_
#define VELTRANE_CHECKER_FINDING_TEXT_H_

#include <string>
#include <string_view>

#include "checker/finding.h"

// 'Label "NAME" already in line FIRST', 'Label "NAME" not used' or
// 'Label "NAME" not found'.
std::string FindingMessage(FindingKind kind, std::string_view name, int firstLine);

// Where a duplicate's first definition stands: 'Label "NAME" first
// defined here'.
std::string FirstDefinedMessage(std::string_view name);

// The note on a reference that names the list `name` of section `section`
// at `line`, the reference needing a list of section `wanted`:
// 'a list "NAME" exists in line N, but under SECTION, not WANTED',
// 'did you mean "NAME" (line N)?' or '"NAME" (line N) is the only WANTED
// list that nothing uses'.
// REQUIRES: RuleOf(kind).suggestsList.
std::string ListNoteMessage(NoteKind kind, std::string_view name, int line, int section,
                            int wanted);

// The note on a label line without "]".
std::string NoClosingBracketMessage();

// The note on a file that starts with a byte-order mark, `hidden` being the
// line behind the mark (UTF-8, without its line end) and `what` what that
// line would have been: "section header", "label line" or "key line".
std::string ByteOrderMarkMessage(std::string_view hidden, std::string_view what);

#endif  // VELTRANE_CHECKER_FINDING_TEXT_H_
