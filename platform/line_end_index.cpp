#include "platform/line_end_index.h"

#include <algorithm>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define VELTRANE_HAVE_SSE2 1
#endif

namespace {

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

void IndexLineEndsAndSemicolons(const char* p, std::size_t n, std::uint64_t* lf, std::uint64_t* cr,
                                std::uint64_t* semicolons) {
#ifdef VELTRANE_HAVE_AVX2
  if (HasAvx2()) return IndexBytesAvx2<'\n', '\r', ';'>(p, n, {lf, cr, semicolons});
#endif
  IndexBytes<'\n', '\r', ';'>(p, n, {lf, cr, semicolons});
}
