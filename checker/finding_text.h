// The words the engine, the notes and the fixes share, so that no two say
// it differently: the cross-references' wording, which the protocol shows
// too, the notes on them, and how every message quotes a name. Each rule
// beyond the cross-references words its findings in the file of its pass
// (checker/rules/), beside its logic. Names come in as UTF-8 text; lines
// are physical lines.
#ifndef VELTRANE_CHECKER_FINDING_TEXT_H_
#define VELTRANE_CHECKER_FINDING_TEXT_H_

#include <string>
#include <string_view>

#include "checker/finding.h"

// The words of a cross-reference's finding, which its message and the
// protocol's record share: kLabelQuote, the name, then the kind's words
// (a duplicate's are followed by the line of the first definition).
inline constexpr std::string_view kLabelQuote = "Label \"";
std::string_view CrossReferenceWords(FindingKind kind);

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

// '"TEXT"', the way every message quotes a name or a text. Control
// characters show as escapes ("\t", "\x1A"), never raw: a name is read on
// one line of a terminal, a log or an editor's list.
std::string Quoted(std::string_view text);
// `text` with its control characters shown so, unquoted.
std::string Shown(std::string_view text);
// '"NAME" (line N)', the way a note points at a list.
std::string QuotedAt(std::string_view name, int line);

// The notes on a reference not found that names a list once the blanks
// at its end (`leading`: around it), or its "; comment", are gone.
std::string TrailingBlanksMessage(std::string_view list, int line, bool leading = false);
std::string CommentInValueMessage(std::string_view list, int line);
// The note on a list not used that stands after `header` (line `line`), a
// header of no section, in section `section` as this check reads it.
std::string UnknownHeaderMessage(std::string_view header, int line, int section);
// The note on a list not used that is named as a built-in list of numbers
// (`list`, of section `section`): `line` is the first key that names it,
// or 0.
std::string NumberedListNameMessage(std::string_view list, int section, int line);
// The note on a reference not found whose value is a number or a range of
// numbers that is not the built-in list's name.
std::string NumberedListValueMessage();
// The titles of the fixes of a reference not found; a comment after a
// key's value moves as a reference's does.
std::string MoveCommentTitle();
std::string ChangeToTitle(std::string_view list);
std::string TrimReferenceTitle(bool leading = false);

#endif  // VELTRANE_CHECKER_FINDING_TEXT_H_
