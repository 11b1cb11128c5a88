// Findings as one line each, in the "FILE:LINE: message" form that editors
// and CI logs pick up.
#ifndef VELTRANE_CLI_GNU_FORMAT_H_
#define VELTRANE_CLI_GNU_FORMAT_H_

#include <string>
#include <string_view>

#include "checker/note_finder.h"
#include "checker/protocol.h"

// "INPUT:LINE: warning: Label "NAME" already in line FIRST\n" for a
// duplicate, "INPUT:LINE: error: Label "NAME" not used\n" or "... not
// found\n" for the others. INPUT and NAME are copied byte for byte.
std::string FormatGnuFinding(std::string_view input, const CFinding& finding);

// "INPUT:LINE: note: MESSAGE\n" for the note on the finding in `line`.
std::string FormatGnuNote(std::string_view input, int line, const CNote& note);

#endif  // VELTRANE_CLI_GNU_FORMAT_H_
