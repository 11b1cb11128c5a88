// Where the line ends of a block of bytes stand, a bit for each byte, so
// that a reader finds the end of a line of a few bytes with a bit search
// rather than with calls of memchr, which is what most lines of an
// instrument definition file are.
#ifndef VELTRANE_PLATFORM_LINE_END_INDEX_H_
#define VELTRANE_PLATFORM_LINE_END_INDEX_H_

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>

// Marks where the LFs and CRs of p[0, n) stand: bit i of lf[w] is set when
// byte 64 * w + i is an LF, and likewise for CRs in cr. Bits from n on, in
// the last word, are clear.
// REQUIRES: lf and cr hold at least (n + 63) / 64 words.
void IndexLineEnds(const char* p, std::size_t n, std::uint64_t* lf, std::uint64_t* cr);

// The same, and in `semicolons` where the ";" bytes stand: the start of a
// comment, which entries and keys are searched for.
void IndexLineEndsAndSemicolons(const char* p, std::size_t n, std::uint64_t* lf, std::uint64_t* cr,
                                std::uint64_t* semicolons);

// The same without the wider instructions some processors have, which
// the two above use when they can: for tests, which compare the two.
void IndexLineEndsAndSemicolonsPortably(const char* p, std::size_t n, std::uint64_t* lf,
                                        std::uint64_t* cr, std::uint64_t* semicolons);

// The same with eight bytes at a time in 64-bit arithmetic, as where there
// are no vector instructions (WebAssembly): for tests, as the one above.
void IndexLineEndsAndSemicolonsInWords(const char* p, std::size_t n, std::uint64_t* lf,
                                       std::uint64_t* cr, std::uint64_t* semicolons);

// The position of the first set bit in [from, to), or `to`. Inline: it is
// called for every line read.
inline std::size_t FirstBit(const std::uint64_t* bits, std::size_t from, std::size_t to) {
  if (from >= to) return to;
  std::size_t w = from / 64;
  if (const std::uint64_t word = bits[w] >> (from % 64); word != 0)
    return std::min(to, from + static_cast<std::size_t>(std::countr_zero(word)));
  for (++w; w * 64 < to; ++w) {
    if (bits[w] != 0)
      return std::min(to, w * 64 + static_cast<std::size_t>(std::countr_zero(bits[w])));
  }
  return to;
}

#endif  // VELTRANE_PLATFORM_LINE_END_INDEX_H_
