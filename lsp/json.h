// JSON for the language server: nlohmann/json, and one way to turn it into
// text that never throws.
#ifndef VELTRANE_LSP_JSON_H_
#define VELTRANE_LSP_JSON_H_

#include <string>

#include <nlohmann/json.hpp>

using Json = nlohmann::json;

// `value` as compact JSON text. Strings that are not well-formed UTF-8 (a
// name cut where a 254-byte piece ends may split a character) get U+FFFD
// for the bytes that are not, instead of an exception.
inline std::string DumpJson(const Json& value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

#endif  // VELTRANE_LSP_JSON_H_
