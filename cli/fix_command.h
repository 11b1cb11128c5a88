// veltrane-check --fix and --diff: the findings' fixes applied to the
// checked files, or shown as a diff.
#ifndef VELTRANE_CLI_FIX_COMMAND_H_
#define VELTRANE_CLI_FIX_COMMAND_H_

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "platform/code_page.h"

struct CFixRequest {
  std::vector<std::string> inputs;
  std::optional<CCodePage> codePage;  // the system's when not given
  bool notes = true;                  // show the notes of what remains
  bool unsafe = false;                // apply the unsafe fixes as well
  bool diffOnly = false;              // print a unified diff, write nothing
};

// Fixes every input of `request` in place, each file replaced in one step,
// then writes what remains of its findings as gnu lines and a line that
// counts the fixed and the remaining ones to `out`. With diffOnly, writes
// the diff of each input to `out` and no file. Every failure is one line on
// `err`. Returns 2 when an input cannot be read or written or changed while
// it was being fixed, else 1 when findings remain (--fix) or something
// would change (--diff), else 0.
int RunFixCommand(const CFixRequest& request, std::FILE* out, std::FILE* err);

#endif  // VELTRANE_CLI_FIX_COMMAND_H_
