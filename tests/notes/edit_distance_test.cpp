#include "checker/notes/edit_distance.h"
#include "platform/code_page.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

namespace {

using namespace std::string_literals;

struct DistanceCase {
  std::string a;
  std::string b;
  int distance;
};

// Each edit, and the pairs where a restricted distance (no edit of a
// transposed pair) or a careless shortcut would give another answer.
const DistanceCase kCases[] = {
    {"", "", 0},
    {"", "abc", 3},
    {"Standard", "Standard", 0},
    {"Standard", "Standart", 1},       // substitution
    {"Standard", "Standardd", 1},      // insertion
    {"Standard", "Stndard", 1},        // deletion
    {"Standard", "Stnadard", 1},       // transposition
    {"Stnadrad", "Standard", 2},       // two transpositions
    {"ca", "abc", 2},                  // transposed, then a byte between
    {"Bank CA", "Bank ABC", 2},
    {"abcdef", "badcfe", 3},
    {"kitten", "sitting", 3},
    {"a\0b"s, "b\0a"s, 2},             // NUL is a byte like any other
    {"\xff\x01"s, "\x01\xff"s, 1},     // bytes above 127 are not negative
    {"Room Kit", "room kit", 2},
};

TEST(EditDistanceTest, KnownPairs) {
  for (const DistanceCase& c : kCases) {
    SCOPED_TRACE(c.a + " / " + c.b);
    EXPECT_EQ(EditDistance(c.a, c.b), c.distance);
    EXPECT_EQ(EditDistance(c.b, c.a), c.distance);
    for (int limit = 0; limit <= 4; ++limit)
      EXPECT_EQ(BoundedEditDistance(c.a, c.b, limit), std::min(c.distance, limit + 1));
  }
}

// The bounded distance strips common ends and rejects by byte counts
// before it fills a table; neither may change an answer. Names over a
// three-letter alphabet share ends and bytes often.
TEST(EditDistanceTest, BoundedAgreesWithThePlainTable) {
  std::uint64_t state = 12345;
  auto next = [&state] {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<unsigned>(state >> 33);
  };
  auto word = [&] {
    std::string s(next() % 9, ' ');
    for (char& c : s) c = static_cast<char>('a' + next() % 3);
    return s;
  };
  for (int i = 0; i < 20000; ++i) {
    const std::string a = word();
    std::string b = next() % 2 ? word() : a;
    // Often a near copy, so that small distances are well covered.
    for (unsigned edits = next() % 3; edits > 0 && !b.empty(); --edits)
      b[next() % b.size()] = static_cast<char>('a' + next() % 3);
    const int limit = static_cast<int>(next() % 4);
    ASSERT_EQ(BoundedEditDistance(a, b, limit), std::min(EditDistance(a, b), limit + 1))
        << a << " / " << b << " limit " << limit;
  }
}

// In UTF-8 a well-formed sequence is one character and any other byte one
// of its own; a one-character typo in a Japanese name is one edit.
struct CharacterCase {
  std::string bytes;
  std::u32string characters;
};

const CharacterCase kCharacterCases[] = {
    {"Kit", U"Kit"},
    {"\xE3\x82\xBE\xE3\x83\xBC\xE3\x83\xB3", U"\u30BE\u30FC\u30F3"},  // ゾーン
    {"\xF0\x9D\x84\x9E!", U"\U0001D11E!"},
    {"\xE3\x82", {0x1100E3, 0x110082}},              // cut short
    {"\xC0\xAF", {0x1100C0, 0x1100AF}},              // overlong
    {"\xED\xA0\x80", {0x1100ED, 0x1100A0, 0x110080}},  // a surrogate
    {"\xFF\xC3\xA9", {0x1100FF, 0xE9}},
};

TEST(EditDistanceTest, Utf8Characters) {
  for (const CharacterCase& c : kCharacterCases) {
    SCOPED_TRACE(c.bytes);
    EXPECT_EQ(Utf8Characters(c.bytes), c.characters);
  }
}

TEST(EditDistanceTest, CharactersCountOnceEach) {
  const struct {
    std::string a, b;
    int bytes, characters;
  } cases[] = {
      // ゾーン Kit / ソーン Kit: one character of three bytes, one byte apart.
      {"\xE3\x82\xBE\xE3\x83\xBC\xE3\x83\xB3 Kit", "\xE3\x82\xBD\xE3\x83\xBC\xE3\x83\xB3 Kit", 1, 1},
      // ドラム / ドラ: a character missing is three bytes missing.
      {"\xE3\x83\x89\xE3\x83\xA9\xE3\x83\xA0", "\xE3\x83\x89\xE3\x83\xA9", 3, 1},
      // Two characters swapped: many bytes, one transposition.
      {"\xC3\xA9\xE3\x82\xBE", "\xE3\x82\xBE\xC3\xA9", 4, 1},
      {"caf\xC3\xA9", "cafe", 2, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.a + " / " + c.b);
    EXPECT_EQ(BoundedEditDistance(c.a, c.b, 4), std::min(c.bytes, 5));
    EXPECT_EQ(BoundedEditDistance(Utf8Characters(c.a), Utf8Characters(c.b), 4), c.characters);
    EXPECT_EQ(BoundedEditDistance(Utf8Characters(c.a), Utf8Characters(c.b), 0),
              std::min(c.characters, 1));
  }
}

// A double-byte code page's characters: a lead byte takes the byte after
// it, even one that looks like "]" or "\\"; single-byte code pages and a
// lead byte cut off at the end keep each byte.
TEST(EditDistanceTest, CodePageCharacters) {
  const struct {
    int codePage;
    std::string bytes;
    std::u32string characters;
  } cases[] = {
      {932, "\x83\x5D\x81[", {0x1835D, 0x1815B}},  // ゾー, the second trail byte a "["
      {932, "\xB1Kit", {0xB1, 'K', 'i', 't'}},      // half-width katakana: one byte
      {932, "A\x83", {'A', 0x83}},                   // a lead byte at the end
      {936, "\xB9\xDC", {0x1B9DC}},
      {949, "\xB5\xE5", {0x1B5E5}},
      {950, "\xC1\x5C", {0x1C15C}},
      {1252, "\x83\x5D", {0x83, 0x5D}},
      {65001, "\xE3\x82\xBE", {0x30BE}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.codePage) + ": " + c.bytes);
    const std::optional<CCodePage> codePage = CCodePage::FromNumber(c.codePage);
    ASSERT_TRUE(codePage);
    EXPECT_EQ(CodePageCharacters(c.bytes, *codePage), c.characters);
    EXPECT_EQ(CodePageCharacters(c.bytes, *codePage).size(), codePage->CountCharacters(c.bytes));
  }
}

}  // namespace
