// What --fix and --diff make of one input's bytes, shared with the web
// page's engine so that both write the same bytes.
#ifndef VELTRANE_CLI_FIX_BYTES_H_
#define VELTRANE_CLI_FIX_BYTES_H_

#include <string>
#include <string_view>

#include "checker/fix/fix_apply.h"
#include "checker/rules/rule_selection.h"
#include "platform/code_page.h"

// Fixes `bytes`, the content of the input `name` (named in exceptions
// only), checked in `codePage` with notes (the fixes of references not
// found come from them) and `rules`, whose reported findings' fixes apply:
// the safe ones, and with `unsafe` the unsafe ones too. Throws
// CFileException as CheckBytes does.
CFixOutcome FixInputBytes(std::string_view bytes, const std::string& name,
                          const CRuleSelection& rules, const CCodePage& codePage, bool unsafe);

#endif  // VELTRANE_CLI_FIX_BYTES_H_
