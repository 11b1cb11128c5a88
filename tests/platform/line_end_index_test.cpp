#include "platform/line_end_index.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

// Each way of making the index marks exactly the bytes a plain look at
// every byte finds, whatever the length, up to the last bit of the last
// word.
TEST(LineEndIndexTest, MarksWhatAPlainLookFinds) {
  std::mt19937 random(3);
  // Bytes one bit away from those looked for, and with the high bit set,
  // catch a comparison of eight bytes at a time that carries or borrows.
  const char kBytes[] = {'\n', '\r', ';', 'a', '\0', '\xff', 'x', '\x8a', '\x8d', '\xbb',
                         '\x0b', '\x0c', ':', '\x01', '\x80', '\x7f'};
  for (std::size_t n = 0; n < 300; ++n) {
    std::string text(n, 'a');
    for (char& c : text) c = kBytes[random() % sizeof kBytes];
    const std::size_t words = (n + 63) / 64;
    std::vector<std::uint64_t> expected[3];
    for (auto& bits : expected) bits.assign(words, 0);
    for (std::size_t i = 0; i < n; ++i) {
      const char wanted[] = {'\n', '\r', ';'};
      for (int b = 0; b < 3; ++b)
        if (text[i] == wanted[b]) expected[b][i / 64] |= std::uint64_t{1} << (i % 64);
    }
    // A word past those in use stays as it was.
    std::vector<std::uint64_t> fast[3], portable[3], inWords[3];
    for (int b = 0; b < 3; ++b) {
      fast[b].assign(words + 1, 7);
      portable[b].assign(words + 1, 7);
      inWords[b].assign(words + 1, 7);
    }
    IndexLineEndsAndSemicolonsInWords(text.data(), n, inWords[0].data(), inWords[1].data(),
                                      inWords[2].data());
    IndexLineEndsAndSemicolons(text.data(), n, fast[0].data(), fast[1].data(), fast[2].data());
    IndexLineEndsAndSemicolonsPortably(text.data(), n, portable[0].data(), portable[1].data(),
                                       portable[2].data());
    std::vector<std::uint64_t> lf(words + 1, 7), cr(words + 1, 7);
    IndexLineEnds(text.data(), n, lf.data(), cr.data());
    for (int b = 0; b < 3; ++b) {
      expected[b].push_back(7);
      EXPECT_EQ(fast[b], expected[b]) << n << " " << b;
      EXPECT_EQ(portable[b], expected[b]) << n << " " << b;
      EXPECT_EQ(inWords[b], expected[b]) << n << " " << b;
    }
    EXPECT_EQ(lf, expected[0]) << n;
    EXPECT_EQ(cr, expected[1]) << n;
  }
}

}  // namespace
