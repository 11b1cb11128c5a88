// Bytes from an instrument file as text of a JSON document.
#ifndef VELTRANE_CLI_JSON_TEXT_H_
#define VELTRANE_CLI_JSON_TEXT_H_

#include <string>
#include <string_view>

// Appends `bytes` to `json` as a quoted JSON string. Well-formed UTF-8 is
// kept; every other byte is taken as a Windows-1252 character, the code page
// most instrument files are written in, so that any input gives valid JSON
// and no byte is lost. Control characters, NUL among them, are escaped.
void AppendJsonString(std::string& json, std::string_view bytes);

// `path` as a relative or absolute URI reference that names the same path:
// each byte that is not a letter, digit or one of - . _ ~ / ! $ & ' ( ) * +
// , ; = @ is percent-encoded, so blanks, "#", "?", ":" and non-ASCII bytes
// cannot change what the URI means.
std::string PathToUriReference(std::string_view path);

#endif  // VELTRANE_CLI_JSON_TEXT_H_
