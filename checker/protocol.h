// The text of a check protocol, made from resolved label lists.
#ifndef VELTRANE_CHECKER_PROTOCOL_H_
#define VELTRANE_CHECKER_PROTOCOL_H_

#include <functional>
#include <string>
#include <string_view>

#include "checker/label_list.h"

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
