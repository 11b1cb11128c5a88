#include "checker/line_source.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr std::size_t kBlock = 1 << 18;

// The first LF in [p, end), or null; `firstCr` and `lastCr` get the first
// and the last CR before it, or null. Most lines are a few bytes long, so
// this looks at 16 bytes at a time where the processor can, rather than
// calling memchr twice a line.
const char* FindLf(const char* p, const char* end, const char*& firstCr, const char*& lastCr) {
  firstCr = nullptr;
  lastCr = nullptr;
#if defined(__SSE2__)
  const __m128i lf = _mm_set1_epi8('\n');
  const __m128i cr = _mm_set1_epi8('\r');
  for (; end - p >= 16; p += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const unsigned lfs = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, lf)));
    unsigned crBits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, cr)));
    if (lfs != 0) crBits &= (lfs & (0u - lfs)) - 1;  // the CRs before the first LF
    if (crBits != 0) {
      if (!firstCr) firstCr = p + __builtin_ctz(crBits);
      lastCr = p + 31 - __builtin_clz(crBits);
    }
    if (lfs != 0) return p + __builtin_ctz(lfs);
  }
#endif
  for (; p < end; ++p) {
    if (*p == '\n') return p;
    if (*p == '\r') {
      if (!firstCr) firstCr = p;
      lastCr = p;
    }
  }
  return nullptr;
}

// The number of CRs in `text` that are not followed by an LF within it.
int LoneCrs(std::string_view text) {
  int count = 0;
  for (std::size_t at = text.find('\r'); at != std::string_view::npos;
       at = text.find('\r', at + 1)) {
    if (at + 1 == text.size() || text[at + 1] != '\n') ++count;
  }
  return count;
}

}  // namespace

CPlace CSourceLine::PlaceOf(std::size_t begin, std::size_t end) const {
  begin = std::min(begin, text.size());
  end = std::clamp(end, begin, text.size());
  CPlace place;
  place.line = physicalLine;
  place.lineOffset = offset;
  std::size_t lineBegin = 0;
  std::size_t lineEnd = text.size();
  if (hasLoneCr) {
    for (std::size_t at = text.find('\r'); at != std::string_view::npos;
         at = text.find('\r', at + 1)) {
      if (at < begin) {
        ++place.line;
        lineBegin = at + 1;
      } else {
        lineEnd = at;
        break;
      }
    }
    place.lineOffset = offset + lineBegin;
  }
  place.begin = static_cast<std::uint32_t>(begin - lineBegin);
  place.end = static_cast<std::uint32_t>(std::min(end, lineEnd) - lineBegin);
  place.lineText = text.substr(lineBegin, lineEnd - lineBegin);
  return place;
}

CLineSource::CLineSource(const CStdioFile& file) : m_file(file), m_buffer(kBlock) {}

bool CLineSource::Fill() {
  if (m_atEnd) return false;
  if (m_pos > 0) {
    std::memmove(m_buffer.data(), m_buffer.data() + m_pos, m_end - m_pos);
    m_end -= m_pos;
    m_pos = 0;
  }
  if (m_end == m_buffer.size()) m_buffer.resize(m_buffer.size() * 2);
  const std::size_t n = m_file.ReadBytesAt(m_readOffset, m_buffer.data() + m_end,
                                           m_buffer.size() - m_end);
  if (n == 0) {
    m_atEnd = true;
    return false;
  }
  m_readOffset += n;
  m_end += n;
  return true;
}

void CLineSource::SkipRestOfLine(CSourceLine& line) {
  // m_long holds the kept start; the rest is counted, not kept.
  int loneCrs = LoneCrs(m_long);
  bool crPending = !m_long.empty() && m_long.back() == '\r';
  if (crPending) --loneCrs;  // it may be the CR of a CR LF
  std::uint64_t length = m_long.size();
  for (;;) {
    if (m_pos == m_end) {
      m_pos = m_end = 0;
      if (!Fill()) break;
      continue;
    }
    const char* begin = m_buffer.data() + m_pos;
    const char* lf = static_cast<const char*>(std::memchr(begin, '\n', m_end - m_pos));
    const std::size_t n = lf ? static_cast<std::size_t>(lf - begin) : m_end - m_pos;
    const std::string_view chunk(begin, n);
    // A CR that ended the previous chunk is lone unless an LF follows it
    // right away.
    const bool crBeforeLf = crPending && n == 0 && lf;
    if (crPending && !crBeforeLf) ++loneCrs;
    crPending = false;
    if (!chunk.empty()) {
      loneCrs += LoneCrs(chunk);
      if (chunk.back() == '\r') {
        --loneCrs;
        crPending = true;
      }
    }
    length += n;
    m_pos += n;
    if (lf) {
      ++m_pos;
      const bool crLf = crPending || crBeforeLf;
      line.ending = crLf ? "\r\n" : "\n";
      if (crLf) --length;
      crPending = false;
      break;
    }
  }
  if (crPending) ++loneCrs;  // a CR at the very end of the file
  line.length = length;
  line.text = std::string_view(m_long).substr(0, CSourceLine::kKept);
  line.hasLoneCr = line.text.find('\r') != std::string_view::npos;
  m_physicalLine += loneCrs;
}

bool CLineSource::Next(CSourceLine& line) {
  for (;;) {
    const char* begin = m_buffer.data() + m_pos;
    const std::size_t available = m_end - m_pos;
    const char* firstCr = nullptr;
    const char* lastCr = nullptr;
    const char* lf = FindLf(begin, begin + available, firstCr, lastCr);
    if (!lf && available < CSourceLine::kKept && !m_atEnd) {
      // Filling moves the unread bytes to the front: look again.
      Fill();
      continue;
    }
    if (!lf && available == 0) return false;
    if (m_physicalLine == std::numeric_limits<int>::max())
      throw CFileException(m_file.GetFilePath(), EOVERFLOW);
    line.offset = m_lineOffset;
    line.physicalLine = m_physicalLine;
    line.hasLoneCr = false;
    line.ending = "";
    if (!lf && available >= CSourceLine::kKept) {
      m_long.assign(begin, CSourceLine::kKept);
      m_pos += CSourceLine::kKept;
      SkipRestOfLine(line);
    } else {
      std::size_t n = lf ? static_cast<std::size_t>(lf - begin) : available;
      m_pos += n + (lf ? 1 : 0);
      line.ending = lf ? "\n" : "";
      if (lf && lastCr == lf - 1) {
        --n;
        line.ending = "\r\n";
      }
      const std::string_view whole(begin, n);
      line.text = whole.substr(0, CSourceLine::kKept);
      line.length = n;
      // Lone CRs are rare: only then are they counted.
      if (firstCr && firstCr < begin + n) {
        m_physicalLine += LoneCrs(whole);
        line.hasLoneCr = line.text.find('\r') != std::string_view::npos;
      }
    }
    ++m_physicalLine;
    m_lineOffset = line.EndOffset();
    return true;
  }
}
