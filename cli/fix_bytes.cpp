#include "cli/fix_bytes.h"

#include "checker/check.h"

CFixOutcome FixInputBytes(std::string_view bytes, const std::string& name,
                          const CRuleSelection& rules, const CCodePage& codePage, bool unsafe) {
  CCheckOptions options;
  options.codePage = codePage;
  options.rules = &rules;
  // The rounds' checks keep what fixing reads and no more. Of the notes,
  // only those on references not found give fixes, unsafe ones.
  options.forFixing = true;
  options.notes = unsafe && rules.Has(FindingKind::notFound);
  return FixBytes(bytes, [&](std::string_view text) { return CheckBytes(text, options, name); },
                  unsafe);
}
