// veltrane-check --fix and --diff: the findings' fixes applied to the
// checked files, or shown as a diff.
#ifndef VELTRANE_CLI_FIX_COMMAND_H_
#define VELTRANE_CLI_FIX_COMMAND_H_

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "checker/rules/rule_selection.h"
#include "platform/code_page.h"

// What one input is checked with.
struct CInputRules {
  CRuleSelection rules;               // the rules reported, whose fixes apply
  std::optional<CCodePage> codePage;  // the system's when not given
};

struct CFixRequest {
  std::vector<std::string> inputs;
  // The rules and code page for an input, from the options and the
  // input's veltrane.toml; throws CConfigError when that file is wrong.
  std::function<CInputRules(const std::string& input)> rulesFor;
  bool notes = true;                  // show the notes of what remains
  bool unsafe = false;                // apply the unsafe fixes as well
  bool diffOnly = false;              // print a unified diff, write nothing
};

// Fixes every input of `request` in place, each file replaced in one step:
// the fixes of the findings that the input's rules report and no
// suppression comment silences. Then writes what remains of its reported
// findings as gnu lines and a line that counts the fixed and the remaining
// ones to `out`. With diffOnly, writes the diff of each input to `out` and
// no file. Every failure is one line on `err`. Returns 2 when an input or
// its veltrane.toml cannot be read, the input cannot be written or changed
// while it was being fixed, else 1 when an error or warning remains
// (--fix) or something would change (--diff), else 0.
int RunFixCommand(const CFixRequest& request, std::FILE* out, std::FILE* err);

#endif  // VELTRANE_CLI_FIX_COMMAND_H_
