// Parsing message bodies into JSON without copying their strings: a
// didOpen holds the whole document in one string, and nlohmann/json's own
// parser copies each string once out of its scanner. This builder takes
// them over instead, so that a large document costs one copy less at its
// peak.
#ifndef VELTRANE_LSP_JSON_PARSE_H_
#define VELTRANE_LSP_JSON_PARSE_H_

#include <optional>
#include <string_view>

#include "lsp/json.h"

// The JSON value of `text`, or nullopt when it is not exactly one JSON
// value (or its strings are not well-formed UTF-8).
std::optional<Json> ParseJson(std::string_view text);

#endif  // VELTRANE_LSP_JSON_PARSE_H_
