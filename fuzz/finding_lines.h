// The findings of veltrane-check's two output formats brought to one form,
// "LINE: warning: MESSAGE" or "LINE: error: MESSAGE", so that they can be
// compared line for line.
#ifndef VELTRANE_FUZZ_FINDING_LINES_H_
#define VELTRANE_FUZZ_FINDING_LINES_H_

#include <map>
#include <string>
#include <string_view>
#include <vector>

using FindingLines = std::vector<std::string>;

// The findings of a protocol that names `displayName`, in protocol order,
// and its `Number of errors` in `count`. False when the text is not a whole
// protocol: a header, records of a "Line N: " line and its finding, and the
// trailer at the very end.
bool ReadProtocolFindings(std::string_view protocol, std::string_view displayName,
                          FindingLines& findings, int& count);

// The finding lines of --format=gnu output, by input name, in output order,
// with the names in the order they first appear in `order`. Note lines
// ("INPUT:LINE: note: ...") are not findings and are left out. False when
// a line is neither.
bool ReadGnuFindings(std::string_view output, std::map<std::string, FindingLines>& findings,
                     std::vector<std::string>& order);

#endif  // VELTRANE_FUZZ_FINDING_LINES_H_
