// The findings of a resolved check, and the text of a check protocol made
// from them.
#ifndef VELTRANE_CHECKER_PROTOCOL_H_
#define VELTRANE_CHECKER_PROTOCOL_H_

#include <functional>
#include <string>
#include <string_view>

#include "checker/label_list.h"

// One thing a check found wrong. The views point into the label lists the
// finding was made from and are valid only as long as those lists are
// unchanged.
struct CFinding {
  enum class Kind {
    duplicate,  // a definition whose name and kind an earlier one has
    unused,     // a definition that no reference matched
    notFound,   // a reference that matched no definition
  };

  Kind kind = Kind::unused;
  int line = -1;           // the line of the offending entry
  std::string_view text;   // that line as read: any bytes, "\n" or not
  std::string_view name;   // the label; any bytes but "\n"
  int firstLine = -1;      // duplicate only: the line of the first definition
  int section = 0;         // the SectionKind of the offending entry
};

// Receives findings one at a time.
using FindingSink = std::function<void(const CFinding&)>;

// Reports every finding of `definitions` (sorted by name) and `references`
// (in file order), resolved by ResolveReferences, in protocol order: the
// duplicates, then the unused definitions in sorted order, then the
// references not found in file order. Returns their number. Every format
// that shows findings goes through here, so that no two can disagree.
// Exceptions thrown by `found` pass through.
int ForEachFinding(const CLabelList& definitions, const CLabelList& references,
                   const FindingSink& found);

// Receives the protocol in pieces, in order.
using ProtocolSink = std::function<void(std::string_view)>;

// Writes the whole protocol for `definitions` (sorted by name) and
// `references` (in file order), resolved by ResolveReferences: the header
// naming `displayName`, a warning for every duplicate definition, an error
// for every unused definition and every reference not found, and the
// trailer with the count. Returns that count; warnings count as errors.
// Exceptions thrown by `out` pass through.
int EmitProtocol(const CLabelList& definitions, const CLabelList& references,
                 std::string_view displayName, const ProtocolSink& out);

#endif  // VELTRANE_CHECKER_PROTOCOL_H_
