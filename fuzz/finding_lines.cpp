#include "fuzz/finding_lines.h"

#include <cctype>

namespace {

// Takes `prefix` off the front of `text`; false when it is not there.
bool Take(std::string_view& text, std::string_view prefix) {
  if (!text.starts_with(prefix)) return false;
  text.remove_prefix(prefix.size());
  return true;
}

// Takes a run of digits off the front of `text` into `number`.
bool TakeNumber(std::string_view& text, std::string& number) {
  std::size_t n = 0;
  while (n < text.size() && std::isdigit(static_cast<unsigned char>(text[n]))) ++n;
  if (n == 0) return false;
  number.assign(text.substr(0, n));
  text.remove_prefix(n);
  return true;
}

// Takes the text up to the next "\n" and the "\n" itself; false when there
// is none.
bool TakeLine(std::string_view& text, std::string_view& line) {
  const std::size_t end = text.find('\n');
  if (end == std::string_view::npos) return false;
  line = text.substr(0, end);
  text.remove_prefix(end + 1);
  return true;
}

// The severity each finding line of a protocol starts with, as the gnu
// format spells it; an error record ends with an empty line.
struct Severity {
  std::string_view protocol;
  std::string_view gnu;
  bool blankLineAfter;
};
constexpr Severity kSeverities[] = {
    {"Warning: ", "warning: ", false},
    {"Error: ", "error: ", true},
};

}  // namespace

bool ReadProtocolFindings(std::string_view protocol, std::string_view displayName,
                          FindingLines& findings, int& count) {
  findings.clear();
  std::string_view rest = protocol;
  if (!Take(rest, "Veltrane Protocol\nFile: \"") || !Take(rest, displayName) ||
      !Take(rest, "\"\n\n"))
    return false;
  std::string number;
  while (!Take(rest, "Number of errors ")) {
    std::string_view text, message;
    if (!Take(rest, "Line ") || !TakeNumber(rest, number) || !Take(rest, ": ") ||
        !TakeLine(rest, text) || !TakeLine(rest, message))
      return false;
    const Severity* severity = nullptr;
    for (const Severity& s : kSeverities)
      if (Take(message, s.protocol)) severity = &s;
    if (!severity || (severity->blankLineAfter && !Take(rest, "\n"))) return false;
    findings.push_back(number + ": " + std::string(severity->gnu) + std::string(message));
  }
  if (!TakeNumber(rest, number) || !rest.empty() || number.size() > 9) return false;
  count = std::stoi(number);
  return true;
}

bool ReadGnuFindings(std::string_view output, std::map<std::string, FindingLines>& findings,
                     std::vector<std::string>& order) {
  findings.clear();
  order.clear();
  std::string_view line;
  while (TakeLine(output, line)) {
    // The input names this reader is given have no ":" of their own.
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) return false;
    const std::string input(line.substr(0, colon));
    std::string_view rest = line.substr(colon + 1);
    const std::string_view finding = rest;
    std::string number;
    if (!TakeNumber(rest, number) || !Take(rest, ": ")) return false;
    if (rest.starts_with("note: ")) continue;
    if (!rest.starts_with("warning: ") && !rest.starts_with("error: ")) return false;
    if (order.empty() || order.back() != input) order.push_back(input);
    findings[input].emplace_back(finding);
  }
  return output.empty();
}
