// Findings as one line each, in the "FILE:LINE: message" form that editors
// and CI logs pick up.
#ifndef VELTRANE_CLI_GNU_FORMAT_H_
#define VELTRANE_CLI_GNU_FORMAT_H_

#include <string>
#include <string_view>

#include "checker/protocol.h"

// "INPUT:LINE: warning: Label "NAME" already in line FIRST\n" for a
// duplicate, "INPUT:LINE: error: Label "NAME" not used\n" or "... not
// found\n" for the others. INPUT and NAME are copied byte for byte.
std::string FormatGnuFinding(std::string_view input, const CFinding& finding);

#endif  // VELTRANE_CLI_GNU_FORMAT_H_
