// The words of findings and notes, shared by every format that shows them
// so that no two say it differently. Names come in as UTF-8 text; lines
// are physical lines.
#ifndef VELTRANE_CHECKER_FINDING_TEXT_H_
#define VELTRANE_CHECKER_FINDING_TEXT_H_

#include <cstdint>
#include <string>
#include <utility>
#include <vector>
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

// What is wrong with a key line of an instrument (VLT2004). The reasons
// about the value come last.
enum class MalformedKeyReason {
  brackets,            // Patch[..], Key[..,..] or a key without brackets has the wrong shape
  noEquals,            // no "=" at all
  bank,                // the bank is neither * nor 0..16383
  program,             // the program is neither * nor 0..127
  bankBlank,           // the bank would be one but for a blank inside the brackets
  programBlank,        // the program would be one but for a blank inside the brackets
  drumValue,           // Drum is neither 0 nor 1
  bankSelMethodValue,  // BankSelMethod is not 0..3
  switchValue,         // UseNotesAsControllers is neither 0 nor 1
};

// '"TEXT"', the way every message quotes a name or a text. Control
// characters show as escapes ("\t", "\x1A"), never raw: a name is read on
// one line of a terminal, a log or an editor's list.
std::string Quoted(std::string_view text);
// `text` with its control characters shown so, unquoted.
std::string Shown(std::string_view text);

// The messages of the rules beyond cross-references. Names and texts come
// in as UTF-8; numbers as the file writes them.
std::string NumberOutOfRangeMessage(std::string_view number, int largest);
std::string CountsFromOneMessage(std::string_view list);
std::string DuplicateNumberMessage(std::string_view number, int firstLine, bool sameText,
                                   std::string_view firstText);
std::string FirstEntryMessage(std::string_view number);
std::string MalformedEntryMessage();
std::string MalformedKeyMessage(MalformedKeyReason reason, std::string_view key,
                                std::string_view value);
std::string MisspelledKeyMessage(std::string_view key, std::string_view likely);
std::string UnknownKeyMessage(std::string_view key);
std::string BasedOnCycleMessage(std::string_view list, std::string_view basedOn);
// '"A" (line 3) -> "B" (line 9) -> "A"': each list with the line of its
// BasedOn, back to `last`.
std::string BasedOnChainMessage(const std::vector<std::pair<std::string, int>>& links,
                                std::string_view last);
std::string DuplicateKeyMessage(std::string_view key, int firstLine);
std::string FirstKeyMessage(std::string_view key);
std::string UnknownSectionMessage(std::string_view header);
std::string CommentAfterValueMessage(std::string_view key);
std::string BlanksAroundLabelMessage(std::string_view name);
std::string BlanksAroundReferenceMessage(std::string_view name);
std::string BasedOnLaterMessage(std::string_view list, int line);
std::string BasedOnDeepMessage(std::string_view list, std::string_view basedOn);
std::string ListDefinedHereMessage(std::string_view list);
std::string BankSelectAfterPatchMessage(int firstPatchLine);
// `comment`: the gap's first line, where the finding stands, is a comment
// line rather than a blank one.
std::string GapInInstrumentMessage(std::string_view instrument, bool comment);
std::string DrumZeroMessage();
std::string CommentInEntryTextMessage(std::string_view number);
std::string NoFinalLineEndMessage();
std::string LongLineMessage(std::uint64_t length);
// On an id or prefix of a suppression comment that silences nothing, and
// on a suppression comment without any.
std::string UnusedSuppressionMessage(std::string_view pattern, bool namesRule);
std::string BareSuppressionMessage();
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
// A run of lists (`first` to `last`, `count` of them) under section `section`
// that keys of section `wanted` use: a header is probably missing above
// line `line`. The note on each such reference points at its list.
std::string MissingSectionHeaderMessage(std::string_view first, std::string_view last, int count,
                                        int section, int wanted, int line);
std::string MissingHeaderNoteMessage(std::string_view list, int listLine, int section, int wanted,
                                     int line);

// The titles of fixes, as an editor offers them.
std::string DeleteLineTitle();
std::string MoveCommentTitle();
std::string MoveBankSelectTitle();
std::string RemoveBlankLinesTitle();
std::string RenameKeyTitle(std::string_view key);
std::string ChangeToTitle(std::string_view list);
std::string AddLineEndTitle();
std::string TrimNameTitle();
std::string TrimReferenceTitle(bool leading = false);
std::string RemoveSuppressionTitle();
std::string InsertHeaderTitle(int section);

#endif  // VELTRANE_CHECKER_FINDING_TEXT_H_
