// The text of a check protocol, made from a check's result.
#ifndef VELTRANE_CHECKER_PROTOCOL_H_
#define VELTRANE_CHECKER_PROTOCOL_H_

#include <functional>
#include <string_view>

#include "checker/check.h"

// Receives the protocol in pieces, in order.
using ProtocolSink = std::function<void(std::string_view)>;

// Writes the whole protocol of `result`: the header naming `displayName`,
// a record for every finding in order, each with the line as the protocol
// counts it (pieces of at most 254 bytes) and the piece as read, and the
// trailer with the count. Returns that count; warnings count as errors.
// Exceptions thrown by `out` pass through.
int EmitProtocol(const CCheckResult& result, std::string_view displayName,
                 const ProtocolSink& out);

#endif  // VELTRANE_CHECKER_PROTOCOL_H_
