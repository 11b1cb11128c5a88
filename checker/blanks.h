// Blanks as instrument definition files have them: spaces and tabs, which
// loaders keep or drop around names and values; and the ";" comment after
// a value, which loaders keep or cut.
#ifndef VELTRANE_CHECKER_BLANKS_H_
#define VELTRANE_CHECKER_BLANKS_H_

#include <string_view>

#include "platform/code_page.h"

inline constexpr std::string_view kBlanks = " \t";

inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// `text` without the blanks at its end.
inline std::string_view TrimEndBlanks(std::string_view text) {
  const std::size_t last = text.find_last_not_of(kBlanks);
  return last == std::string_view::npos ? std::string_view() : text.substr(0, last + 1);
}

// `text` without the blanks at either end.
inline std::string_view TrimBlanks(std::string_view text) {
  const std::size_t first = text.find_first_not_of(kBlanks);
  return first == std::string_view::npos ? std::string_view() : TrimEndBlanks(text.substr(first));
}

// `value` as programs that cut a ";" comment read it: up to its first ";"
// (a character of `codePage`, never the trail byte of another), or whole.
inline std::string_view CutComment(std::string_view value, const CCodePage& codePage) {
  return value.substr(0, codePage.Find(value, ';'));
}

#endif  // VELTRANE_CHECKER_BLANKS_H_
