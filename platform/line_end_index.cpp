#include "platform/line_end_index.h"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define VELTRANE_HAVE_SSE2 1
#endif

namespace {

// Bit i set when byte i of `word` (in memory order) equals `byte`: eight
// bytes at a time in plain 64-bit arithmetic, for processors without the
// vector instructions below and for WebAssembly. A byte is equal when its
// exclusive or with `byte` is zero; adding 0x7F to its low seven bits sets
// the high bit of every byte but a zero one, with no carry into the next.
inline std::uint8_t EqualBytes(std::uint64_t word, unsigned char byte) {
  constexpr std::uint64_t kLow = 0x7F7F7F7F7F7F7F7Full;
  const std::uint64_t x = word ^ (0x0101010101010101ull * byte);
  const std::uint64_t zero = ~(((x & kLow) + kLow) | x | kLow);
  // The high bit of byte i, moved to bit i of the top byte.
  return static_cast<std::uint8_t>(((zero >> 7) * 0x0102040810204080ull) >> 56);
}

// Marks the bytes equal to each of kBytes, from p[64 * w] on, a word at
// a time; returns the first word not marked (the last, partial one).
template <char... kBytes>
std::size_t IndexWords(const char* p, std::size_t n, std::size_t w,
                       std::uint64_t* const (&bits)[sizeof...(kBytes)]) {
  if constexpr (std::endian::native != std::endian::little) return w;
  constexpr unsigned char kWanted[] = {static_cast<unsigned char>(kBytes)...};
  constexpr std::size_t kCount = sizeof...(kBytes);
  for (; (w + 1) * 64 <= n; ++w) {
    std::uint64_t words[kCount] = {};
    for (int k = 0; k < 8; ++k) {
      std::uint64_t eight;
      std::memcpy(&eight, p + 64 * w + 8 * k, sizeof eight);
      for (std::size_t b = 0; b < kCount; ++b)
        words[b] |= static_cast<std::uint64_t>(EqualBytes(eight, kWanted[b])) << (8 * k);
    }
    for (std::size_t b = 0; b < kCount; ++b) bits[b][w] = words[b];
  }
  return w;
}

// Marks the bytes equal to each of kBytes in the bitmap of the same index.
template <char... kBytes>
void IndexBytes(const char* p, std::size_t n, std::uint64_t* const (&bits)[sizeof...(kBytes)]) {
  constexpr char kWanted[] = {kBytes...};
  constexpr std::size_t kCount = sizeof...(kBytes);
  std::size_t w = 0;
#ifdef VELTRANE_HAVE_SSE2
  __m128i wanted[kCount];
  for (std::size_t b = 0; b < kCount; ++b) wanted[b] = _mm_set1_epi8(kWanted[b]);
  for (; (w + 1) * 64 <= n; ++w) {
    std::uint64_t words[kCount] = {};
    for (int k = 0; k < 4; ++k) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 64 * w + 16 * k));
      for (std::size_t b = 0; b < kCount; ++b) {
        words[b] |= static_cast<std::uint64_t>(static_cast<std::uint32_t>(
                        _mm_movemask_epi8(_mm_cmpeq_epi8(v, wanted[b]))))
                    << (16 * k);
      }
    }
    for (std::size_t b = 0; b < kCount; ++b) bits[b][w] = words[b];
  }
#else
  w = IndexWords<kBytes...>(p, n, w, bits);
#endif
  for (; w * 64 < n; ++w) {
    std::uint64_t words[kCount] = {};
    const std::size_t count = std::min<std::size_t>(64, n - 64 * w);
    for (std::size_t i = 0; i < count; ++i) {
      const char c = p[64 * w + i];
      for (std::size_t b = 0; b < kCount; ++b)
        words[b] |= static_cast<std::uint64_t>(c == kWanted[b]) << i;
    }
    for (std::size_t b = 0; b < kCount; ++b) bits[b][w] = words[b];
  }
}

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define VELTRANE_HAVE_AVX2 1
#include <immintrin.h>

// The same with 32 bytes at a time, for processors that have AVX2: the
// index is made for every block read, so it is worth a second version.
template <char... kBytes>
__attribute__((target("avx2"))) void IndexBytesAvx2(
    const char* p, std::size_t n, std::uint64_t* const (&bits)[sizeof...(kBytes)]) {
  constexpr char kWanted[] = {kBytes...};
  constexpr std::size_t kCount = sizeof...(kBytes);
  __m256i wanted[kCount];
  for (std::size_t b = 0; b < kCount; ++b) wanted[b] = _mm256_set1_epi8(kWanted[b]);
  std::size_t w = 0;
  for (; (w + 1) * 64 <= n; ++w) {
    const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 64 * w));
    const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 64 * w + 32));
    for (std::size_t b = 0; b < kCount; ++b) {
      const std::uint32_t lowMask =
          static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(low, wanted[b])));
      const std::uint32_t highMask =
          static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(high, wanted[b])));
      bits[b][w] = static_cast<std::uint64_t>(highMask) << 32 | lowMask;
    }
  }
  // The rest, less than a word, the plain way.
  const std::size_t done = 64 * w;
  if (done < n) {
    std::uint64_t words[kCount] = {};
    for (std::size_t i = 0; i < n - done; ++i)
      for (std::size_t b = 0; b < kCount; ++b)
        words[b] |= static_cast<std::uint64_t>(p[done + i] == kWanted[b]) << i;
    for (std::size_t b = 0; b < kCount; ++b) bits[b][w] = words[b];
  }
}

bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}
#endif

}  // namespace

void IndexLineEnds(const char* p, std::size_t n, std::uint64_t* lf, std::uint64_t* cr) {
#ifdef VELTRANE_HAVE_AVX2
  if (HasAvx2()) return IndexBytesAvx2<'\n', '\r'>(p, n, {lf, cr});
#endif
  IndexBytes<'\n', '\r'>(p, n, {lf, cr});
}

void IndexLineEndsAndSemicolonsPortably(const char* p, std::size_t n, std::uint64_t* lf,
                                        std::uint64_t* cr, std::uint64_t* semicolons) {
  IndexBytes<'\n', '\r', ';'>(p, n, {lf, cr, semicolons});
}

void IndexLineEndsAndSemicolonsInWords(const char* p, std::size_t n, std::uint64_t* lf,
                                       std::uint64_t* cr, std::uint64_t* semicolons) {
  std::uint64_t* const bits[3] = {lf, cr, semicolons};
  std::size_t w = IndexWords<'\n', '\r', ';'>(p, n, 0, bits);
  // The last, partial word (or all, where the order of bytes in a word
  // is not the one IndexWords reads) the plain way.
  const std::size_t done = 64 * w;
  if (done < n) IndexLineEndsAndSemicolonsPortably(p + done, n - done, lf + w, cr + w, semicolons + w);
}

void IndexLineEndsAndSemicolons(const char* p, std::size_t n, std::uint64_t* lf, std::uint64_t* cr,
                                std::uint64_t* semicolons) {
#ifdef VELTRANE_HAVE_AVX2
  if (HasAvx2()) return IndexBytesAvx2<'\n', '\r', ';'>(p, n, {lf, cr, semicolons});
#endif
  IndexBytes<'\n', '\r', ';'>(p, n, {lf, cr, semicolons});
}
