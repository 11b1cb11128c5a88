// Findings as one line each, in the "FILE:LINE:COLUMN: message" form that
// editors and CI logs pick up.
#ifndef VELTRANE_CLI_GNU_FORMAT_H_
#define VELTRANE_CLI_GNU_FORMAT_H_

#include <string>
#include <string_view>

#include "checker/check.h"

// "INPUT:LINE:COLUMN: SEVERITY: MESSAGE [ID]\n" for `finding`, and after it
// "INPUT:LINE:COLUMN: note: MESSAGE\n" for its note, if any, at the same
// place, unless `withNote` is false. LINE is the physical line of the name,
// COLUMN the 1-based column of its first character in `codePage`. INPUT is
// copied byte for byte.
std::string FormatGnuFinding(std::string_view input, const CFinding& finding,
                             const CCodePage& codePage, bool withNote = true);

// "INPUT:LINE:COLUMN: note: MESSAGE\n" for a note on the file as a whole.
std::string FormatGnuFileNote(std::string_view input, const CNote& note,
                              const CCodePage& codePage);

#endif  // VELTRANE_CLI_GNU_FORMAT_H_
