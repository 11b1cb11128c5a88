#include "cli/fix_bytes.h"

#include "checker/check.h"

CFixOutcome FixInputBytes(std::string_view bytes, const std::string& name,
                          const CRuleSelection& rules, const CCodePage& codePage, bool unsafe) {
  CCheckOptions options;
  options.codePage = codePage;
  options.notes = true;
  options.rules = &rules;
  return FixBytes(bytes, [&](std::string_view text) { return CheckBytes(text, options, name); },
                  unsafe);
}
