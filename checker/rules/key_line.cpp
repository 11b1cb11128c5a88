// Reading key lines: numbers, brackets, the key's identity, misspellings.
#include "checker/rules/key_line.h"

#include <algorithm>

#include "checker/blanks.h"
#include "checker/notes/edit_distance.h"

namespace line_pass {

// The value of decimal digits, or nullopt past kMostDigits of them.
std::optional<std::uint64_t> NumberOf(std::string_view digits) {
  const std::size_t first = std::min(digits.find_first_not_of('0'), digits.size());
  if (digits.size() - first > kMostDigits) return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : digits.substr(first)) value = value * 10 + static_cast<unsigned>(c - '0');
  return value;
}

std::string AsciiLower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return lower;
}

std::optional<std::uint32_t> PartValue(std::string_view part, std::uint64_t largest,
                                       std::uint32_t any) {
  if (part == "*") return any;
  if (part.empty() || !std::all_of(part.begin(), part.end(), IsDigit)) return std::nullopt;
  const std::optional<std::uint64_t> value = NumberOf(part);
  if (!value || *value > largest) return std::nullopt;
  return static_cast<std::uint32_t>(*value);
}

std::uint32_t Identity(std::size_t known, std::uint32_t bank, std::uint32_t program) {
  return static_cast<std::uint32_t>(known + 1) << 24 | bank << 8 | program;
}

std::string IdentityText(std::uint32_t identity) {
  // Both spellings of UseNotesAsControllers have the first's number.
  const KnownKey& known = kKnownKeys[(identity >> 24) - 1];
  std::string text(known.name);
  const auto part = [](std::uint32_t value, std::uint32_t any) {
    return value == any ? std::string("*") : std::to_string(value);
  };
  if (known.bracketParts >= 1) text += "[" + part(identity >> 8 & 0x7FFF, kAnyBank);
  if (known.bracketParts == 2) text += "," + part(identity & 0xFF, kAnyProgram);
  if (known.bracketParts >= 1) text += "]";
  return text;
}

std::size_t FindFrom(std::string_view text, char c, std::size_t from, const CCodePage& codePage) {
  if (from > text.size()) return std::string_view::npos;
  const std::size_t at = codePage.Find(text.substr(from), c);
  return at == std::string_view::npos ? at : from + at;
}

KeyLine ReadKeyLine(std::string_view text, const CCodePage& codePage) {
  KeyLine key;
  const std::size_t nameEnd =
      std::min({codePage.Find(text, '['), codePage.Find(text, '='), text.size()});
  key.name = text.substr(0, nameEnd);
  const std::size_t equals = codePage.Find(text, '=');
  if (equals != std::string_view::npos) {
    key.equals = equals;
    key.value = text.substr(equals + 1);
  }
  for (const KnownKey& known : kKnownKeys)
    if (known.name == key.name) key.known = &known;
  if (!key.known) return key;

  // Both spellings of UseNotesAsControllers set the same key.
  const std::size_t which = key.known->key == Key::usesNotesAsControllers
                                ? static_cast<std::size_t>(key.known - kKnownKeys.data()) - 1
                                : static_cast<std::size_t>(key.known - kKnownKeys.data());
  key.identity = Identity(which, 0, 0);
  if (key.known->bracketParts == 0) {
    if (nameEnd < text.size() && text[nameEnd] == '[') key.malformed = MalformedKeyReason::brackets;
    else if (!key.equals) key.malformed = MalformedKeyReason::noEquals;
    return key;
  }
  const std::size_t close = FindFrom(text, ']', nameEnd, codePage);
  if (nameEnd == text.size() || text[nameEnd] != '[' || close == std::string_view::npos ||
      !key.equals || *key.equals != close + 1) {
    key.malformed = key.equals ? MalformedKeyReason::brackets : MalformedKeyReason::noEquals;
    return key;
  }
  const std::string_view inside = text.substr(nameEnd + 1, close - nameEnd - 1);
  const std::size_t comma = inside.find(',');
  const bool twoParts = key.known->bracketParts == 2;
  if ((comma != std::string_view::npos) != twoParts ||
      (twoParts && inside.find(',', comma + 1) != std::string_view::npos)) {
    key.malformed = MalformedKeyReason::brackets;
    return key;
  }
  // A part that would be a number but for a blank: the blank is the trouble.
  const auto blankOnly = [](std::string_view part, std::uint64_t largest, std::uint32_t any) {
    return TrimBlanks(part).size() != part.size() && PartValue(TrimBlanks(part), largest, any);
  };
  const std::string_view bankPart = inside.substr(0, comma);
  const std::optional<std::uint32_t> bank = PartValue(bankPart, kLargestBank, kAnyBank);
  if (!bank) {
    key.malformed = blankOnly(bankPart, kLargestBank, kAnyBank) ? MalformedKeyReason::bankBlank
                                                                 : MalformedKeyReason::bank;
    return key;
  }
  std::uint32_t program = 0;
  if (twoParts) {
    const std::string_view programPart = inside.substr(comma + 1);
    const std::optional<std::uint32_t> value =
        PartValue(programPart, kLargestProgram, kAnyProgram);
    if (!value) {
      key.malformed = blankOnly(programPart, kLargestProgram, kAnyProgram)
                          ? MalformedKeyReason::programBlank
                          : MalformedKeyReason::program;
      return key;
    }
    program = *value;
  }
  key.identity = Identity(which, *bank, program);
  return key;
}

const KnownKey* LikelyKey(std::string_view name) {
  if (name.empty() || name.size() > 32) return nullptr;
  const std::string lower = AsciiLower(name);
  const KnownKey* best = nullptr;
  int bestDistance = 3;
  for (const KnownKey& known : kKnownKeys) {
    const int limit = known.name.size() <= 4 ? 1 : 2;
    const int distance = BoundedEditDistance(lower, AsciiLower(known.name), limit);
    if (distance <= limit && distance < bestDistance) {
      best = &known;
      bestDistance = distance;
    }
  }
  return best;
}

}  // namespace line_pass
