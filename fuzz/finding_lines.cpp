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

// 'Label "NAME" SUFFIX' with the line number of an "already in line N"
// suffix left out and NAME made text by `toText`; false when `message` is
// no finding's.
template <typename ToText>
bool CommonMessage(std::string_view message, ToText toText, std::string& common) {
  if (!Take(message, "Label \"")) return false;
  std::string_view suffix;
  for (std::string_view end : {"\" not used", "\" not found"}) {
    if (message.ends_with(end)) suffix = end;
  }
  if (suffix.empty()) {
    std::size_t digits = 0;
    while (digits < message.size() &&
           std::isdigit(static_cast<unsigned char>(message[message.size() - 1 - digits])))
      ++digits;
    constexpr std::string_view kAlready = "\" already in line ";
    if (digits == 0 || !message.substr(0, message.size() - digits).ends_with(kAlready))
      return false;
    message.remove_suffix(digits);
    suffix = kAlready;
  }
  message.remove_suffix(suffix.size());
  common = "Label \"" + toText(message) + std::string(suffix);
  return true;
}

// `name` as the gnu lines show it: control characters as escapes, a tab
// as "\t", any other as "\xHH".
std::string Escaped(std::string_view name) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text;
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\t') {
      text += "\\t";
    } else if (byte < 0x20 || byte == 0x7F) {
      text += "\\x";
      text += kHex[byte >> 4];
      text += kHex[byte & 0xF];
    } else {
      text += c;
    }
  }
  return text;
}

}  // namespace

bool ReadProtocolFindings(std::string_view protocol, std::string_view displayName,
                          FindingLines& findings, int& count, const CCodePage& codePage) {
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
    std::string common;
    if (!CommonMessage(
            message, [&](std::string_view name) { return Escaped(codePage.ToUtf8(name)); }, common))
      return false;
    findings.push_back(std::string(severity->gnu) + common);
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
    std::string number;
    if (!TakeNumber(rest, number) || !Take(rest, ":") || !TakeNumber(rest, number) ||
        !Take(rest, ": "))
      return false;
    if (rest.starts_with("note: ")) continue;
    std::string_view severity;
    for (std::string_view s : {"warning: ", "error: "}) {
      if (rest.starts_with(s)) severity = s;
    }
    std::string common;
    rest.remove_prefix(severity.size());
    // Each finding line ends in the id of its rule.
    constexpr std::string_view kIds[] = {" [VLT1001]", " [VLT1002]", " [VLT1003]"};
    std::string_view id;
    for (std::string_view candidate : kIds)
      if (rest.ends_with(candidate)) id = candidate;
    rest.remove_suffix(id.size());
    if (severity.empty() || id.empty() ||
        !CommonMessage(rest, [](std::string_view name) { return std::string(name); }, common))
      return false;
    if (order.empty() || order.back() != input) order.push_back(input);
    findings[input].push_back(std::string(severity) + common);
  }
  return output.empty();
}
