// Blanks as instrument definition files have them: spaces and tabs, which
// loaders keep or drop around names and values.
#ifndef VELTRANE_CHECKER_BLANKS_H_
#define VELTRANE_CHECKER_BLANKS_H_

#include <string_view>

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

#endif  // VELTRANE_CHECKER_BLANKS_H_
