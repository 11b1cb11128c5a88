// The fix of a reference that names no list while a note names the list it
// most likely means: the reference takes that list's name.
#ifndef VELTRANE_CHECKER_REFERENCE_FIX_H_
#define VELTRANE_CHECKER_REFERENCE_FIX_H_

#include <optional>
#include <string>
#include <string_view>

#include "checker/finding.h"
#include "platform/code_page.h"

// The unsafe fix that replaces `finding`'s name with the name of the list
// its note suggests. Nothing when the note suggests no list, names the
// reference's own name, or when the name cannot be replaced on its own:
// the line does not hold exactly the name at its place (a lone CR inside
// it), or the new length would change how the line is read.
std::optional<CFix> ReferenceFix(const CFinding& finding, const CCodePage& codePage);

// The line that a comment after the value of `key` becomes when a fix
// takes it from the key's line: "; Patch[0]: bright" for the comment
// ";bright" (without its ";") of "Patch[0]=Piano ;bright". Such lines go
// above the label line of the list or instrument, so that no program
// reads them as a gap inside it, and they say which key they were about.
std::string CommentLineAbove(std::string_view key, std::string_view comment);

#endif  // VELTRANE_CHECKER_REFERENCE_FIX_H_
