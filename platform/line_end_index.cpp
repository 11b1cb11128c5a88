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

}  // namespace

void IndexLineEnds(const char* p, std::size_t n, std::uint64_t* lf, std::uint64_t* cr) {
  IndexBytes<'\n', '\r'>(p, n, {lf, cr});
}

void IndexLineEndsAndSemicolons(const char* p, std::size_t n, std::uint64_t* lf, std::uint64_t* cr,
                                std::uint64_t* semicolons) {
  IndexBytes<'\n', '\r', ';'>(p, n, {lf, cr, semicolons});
}
