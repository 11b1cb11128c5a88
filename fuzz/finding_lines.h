// The findings of veltrane-check's two output formats brought to one form,
// "warning: MESSAGE" or "error: MESSAGE" with the name as UTF-8 text and
// without line numbers, so that they can be compared line for line. The
// protocol counts lines in pieces and the gnu lines as editors do, so
// their numbers differ on long lines and lone CRs; the places are tested
// against the engine and an independent model instead.
#ifndef VELTRANE_FUZZ_FINDING_LINES_H_
#define VELTRANE_FUZZ_FINDING_LINES_H_

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/code_page.h"

using FindingLines = std::vector<std::string>;

// The findings of a protocol that names `displayName`, in protocol order,
// and its `Number of errors` in `count`. False when the text is not a whole
// protocol: a header, records of a "Line N: " line and its finding, and the
// trailer at the very end.
// Names are taken as bytes of `codePage`.
bool ReadProtocolFindings(std::string_view protocol, std::string_view displayName,
                          FindingLines& findings, int& count,
                          const CCodePage& codePage = CCodePage());

// The finding lines of --format=gnu --select VLT1 output, by input name,
// in output order (by place in the file), without the rule id that ends
// each line, with the names in the order they first appear in `order`.
// Note lines ("INPUT:LINE:COLUMN: note: ...") are not findings and are left
// out. False when a line is neither, or a finding line lacks its id.
bool ReadGnuFindings(std::string_view output, std::map<std::string, FindingLines>& findings,
                     std::vector<std::string>& order);

#endif  // VELTRANE_FUZZ_FINDING_LINES_H_
