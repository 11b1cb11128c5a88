// Parsing message bodies into JSON without copying their strings: a
// didOpen holds the whole document in one string, and nlohmann/json's own
// parser copies each string once out of its scanner. This builder takes
// them over instead, so that a large document costs one copy less at its
// peak.
#ifndef VELTRANE_LSP_JSON_PARSE_H_
#define VELTRANE_LSP_JSON_PARSE_H_

#include <cstddef>
#include <optional>
#include <string_view>

#include "lsp/json.h"

// How deep a message's values may nest. Deeper values are not built: a
// copy, a comparison or a dump of one recurses once per level, and no
// message of the protocol nests more than a few levels.
inline constexpr std::size_t kMaxJsonDepth = 256;

// How many values a message may have. Each takes tens of bytes however
// short its text ("[]"): a body of the largest size allowed could
// otherwise take gigabytes. A document's text is one value.
inline constexpr std::size_t kMaxJsonValues = std::size_t{1} << 22;

struct CParsedJson {
  Json value;
  // Some value nested deeper than kMaxJsonDepth; it stands as null in
  // `value`, so that the message's id is still there for an answer.
  bool tooDeep = false;
  // More than kMaxJsonValues values; those past it are not built, except
  // the message's own members that are no containers.
  bool tooMany = false;
};

// The JSON value of `text`, or nullopt when it is not exactly one JSON
// value (or its strings are not well-formed UTF-8).
std::optional<CParsedJson> ParseJson(std::string_view text);

#endif  // VELTRANE_LSP_JSON_PARSE_H_
