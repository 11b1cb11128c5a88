#include "checker/edit_distance.h"

#include <gtest/gtest.h>

#include <cstdint>
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

}  // namespace
