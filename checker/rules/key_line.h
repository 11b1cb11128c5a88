// The grammar of an instrument's key lines: the keys programs know, how a
// key line reads ("Patch[BANK]=List", "Key[BANK,PROGRAM]=List"), what makes
// one malformed, and the known key a name likely misspells.
#ifndef VELTRANE_CHECKER_RULES_KEY_LINE_H_
#define VELTRANE_CHECKER_RULES_KEY_LINE_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "checker/scanner.h"
#include "platform/code_page.h"

namespace line_pass {

constexpr std::uint64_t kLargestBank = 16383;
constexpr std::uint64_t kLargestProgram = 127;
// Numbers of more digits than this are out of every range; reading them
// stops here so that they never overflow.
constexpr std::size_t kMostDigits = 9;

// What is wrong with a key line of an instrument (VLT2004). The reasons
// about the value come last.
enum class MalformedKeyReason {
  brackets,            // Patch[..], Key[..,..] or a key without brackets has the wrong shape
  noEquals,            // no "=" at all
  bank,                // the bank is neither * nor 0..16383
  program,             // the program is neither * nor 0..127
  bankBlank,           // the bank would be one but for a blank inside the brackets
  programBlank,        // the program would be one but for a blank inside the brackets
  drumValue,           // Drum is neither 0 nor 1
  bankSelMethodValue,  // BankSelMethod is not 0..3
  switchValue,         // UseNotesAsControllers is neither 0 nor 1
};

// The keys of an instrument that programs know.
enum class Key {
  patch, key, drum, control, rpn, nrpn, basedOn, bankSelMethod, useNotesAsControllers,
  usesNotesAsControllers,
};
struct KnownKey {
  std::string_view name;
  Key key;
  int bracketParts;  // 0: none; Patch[BANK]: 1; Key[BANK,PROGRAM]: 2
};
constexpr std::array<KnownKey, 10> kKnownKeys = {{
    {kPatchKey, Key::patch, 1},
    {kKeyKey, Key::key, 2},
    {"Drum", Key::drum, 2},
    {kControlKey, Key::control, 0},
    {kRpnKey, Key::rpn, 0},
    {kNrpnKey, Key::nrpn, 0},
    {kBasedOnKey, Key::basedOn, 0},
    {"BankSelMethod", Key::bankSelMethod, 0},
    {"UseNotesAsControllers", Key::useNotesAsControllers, 0},
    {"UsesNotesAsControllers", Key::usesNotesAsControllers, 0},
}};

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The value of decimal digits, or nullopt past kMostDigits of them.
std::optional<std::uint64_t> NumberOf(std::string_view digits);

std::string AsciiLower(std::string_view text);

// A bank or program part of a key's brackets: "*" (`any`) or a number up
// to `largest`; nothing for any other.
std::optional<std::uint32_t> PartValue(std::string_view part, std::uint64_t largest,
                                       std::uint32_t any);

// A key line of an instrument taken apart.
struct KeyLine {
  std::string_view name;   // before "[" or "="
  const KnownKey* known = nullptr;
  std::optional<std::size_t> equals;  // where its "=" stands
  std::string_view value;  // after the "="
  // For duplicates: the key and its bank and program, as one number that
  // is never 0 (see Identity); IdentityText gives "Patch[42]", "Control".
  std::uint32_t identity = 0;
  std::optional<MalformedKeyReason> malformed;
};

// A bank or a program written "*".
constexpr std::uint32_t kAnyBank = kLargestBank + 1;
constexpr std::uint32_t kAnyProgram = kLargestProgram + 1;

std::uint32_t Identity(std::size_t known, std::uint32_t bank, std::uint32_t program);

// How people write the key `identity` stands for.
std::string IdentityText(std::uint32_t identity);

// The first `c` in `text` from `from` on, as a character of `codePage`
// (never the second byte of a double-byte one), or npos.
std::size_t FindFrom(std::string_view text, char c, std::size_t from, const CCodePage& codePage);

KeyLine ReadKeyLine(std::string_view text, const CCodePage& codePage);

// The known key that `name` most likely misspells: equal but for case, or
// within two edits (one for keys of four letters or fewer), the closest
// first. Null when none is that close.
const KnownKey* LikelyKey(std::string_view name);
}  // namespace line_pass

#endif  // VELTRANE_CHECKER_RULES_KEY_LINE_H_
