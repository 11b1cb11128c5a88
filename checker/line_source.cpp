#include "checker/line_source.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <limits>

#include "checker/scanner.h"
#include "platform/line_end_index.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

namespace {

constexpr std::size_t kBlock = 1 << 18;

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

CLineSource::CLineSource(const CStdioFile& file, std::uint64_t begin, int firstLine)
    : m_file(file),
      m_readOffset(begin),
      m_buffer(kBlock),
      m_lfBits(kBlock / 64 + 1),
      m_crBits(kBlock / 64 + 1),
      m_semicolonBits(kBlock / 64 + 1),
      m_crLfBits(kBlock / 64 + 1),
      m_physicalLine(firstLine),
      m_lineOffset(begin) {}

bool CLineSource::Fill() {
  if (m_atEnd) return false;
  if (m_pos > 0) {
    std::memmove(m_buffer.data(), m_buffer.data() + m_pos, m_end - m_pos);
    m_end -= m_pos;
    m_pos = 0;
  }
  if (m_end == m_buffer.size()) {
    m_buffer.resize(m_buffer.size() * 2);
    m_lfBits.resize(m_buffer.size() / 64 + 1);
    m_crBits.resize(m_buffer.size() / 64 + 1);
    m_semicolonBits.resize(m_buffer.size() / 64 + 1);
    m_crLfBits.resize(m_buffer.size() / 64 + 1);
  }
  const std::size_t n = m_file.ReadBytesAt(m_readOffset, m_buffer.data() + m_end,
                                           m_buffer.size() - m_end);
  m_readOffset += n;
  m_end += n;
  m_atEnd = n == 0;
  // The unread bytes moved to the front are indexed again with the new
  // ones: they are the start of one line, a few bytes as a rule.
  IndexLineEndsAndSemicolons(m_buffer.data(), m_end, m_lfBits.data(), m_crBits.data(),
                             m_semicolonBits.data());
  m_words = (m_end + 63) / 64;
  // A CR LF's CR stands one before its LF, maybe in the word before. A CR
  // that ends the buffer counts as lone until the next read tells.
  std::uint64_t loneCrs = 0;
  std::uint64_t semicolons = 0;
  for (std::size_t w = 0; w < m_words; ++w) {
    const std::uint64_t crsBefore = m_crBits[w] << 1 | (w > 0 ? m_crBits[w - 1] >> 63 : 0);
    m_crLfBits[w] = m_lfBits[w] & crsBefore;
    const std::uint64_t lfsAfter = m_lfBits[w] >> 1 | (w + 1 < m_words ? m_lfBits[w + 1] << 63 : 0);
    loneCrs |= m_crBits[w] & ~lfsAfter;
    semicolons |= m_semicolonBits[w];
  }
  m_loneCrsInBuffer = loneCrs != 0;
  m_semicolonsInBuffer = semicolons != 0;
  return !m_atEnd;
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

bool CLineSource::NextSlowly(CSourceLine& line) {
  const bool read = NextUnindexed(line);
  m_lfWordIndex = m_pos / 64;
  m_lfWord = m_lfWordIndex < m_words ? m_lfBits[m_lfWordIndex] >> (m_pos % 64) << (m_pos % 64) : 0;
  return read;
}

bool CLineSource::NextUnindexed(CSourceLine& line) {
  for (;;) {
    const char* begin = m_buffer.data() + m_pos;
    const std::size_t available = m_end - m_pos;
    const std::size_t lfAt = FirstBit(m_lfBits.data(), m_pos, m_end);
    const bool lf = lfAt < m_end;
    if (!lf && available < CSourceLine::kKept && !m_atEnd) {
      // Filling moves the unread bytes to the front: look again.
      Fill();
      continue;
    }
    if (!lf && available == 0) return false;
    if (m_physicalLine == kLastLine)
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
      std::size_t n = lf ? lfAt - m_pos : available;
      line.ending = lf ? "\n" : "";
      if (lf && n > 0 && (m_crBits[(lfAt - 1) / 64] >> ((lfAt - 1) % 64) & 1) != 0) {
        --n;
        line.ending = "\r\n";
      }
      const std::string_view whole(begin, n);
      line.text = whole.substr(0, CSourceLine::kKept);
      line.length = n;
      // Lone CRs are rare: only then are they counted.
      if (FirstBit(m_crBits.data(), m_pos, m_pos + n) < m_pos + n) {
        m_physicalLine += LoneCrs(whole);
        line.hasLoneCr = line.text.find('\r') != std::string_view::npos;
      }
      m_pos += n + line.ending.size();
    }
    line.hasSemicolon = line.text.find(';') != std::string_view::npos;
    ++m_physicalLine;
    m_lineOffset = line.EndOffset();
    return true;
  }
}

namespace {

// Counts of the bytes of a block that tell how many lines it ends.
struct LineEndCounts {
  std::uint64_t lfs = 0;
  std::uint64_t crs = 0;
  std::uint64_t crLfs = 0;  // CRs with an LF right after them in the block
};

// The counts of p[0, n), and in `dots` the places of the "." that follow an
// LF in the block (a line's first byte, then).
LineEndCounts CountLineEnds(const char* p, std::size_t n, std::vector<std::size_t>& dots) {
  LineEndCounts counts;
  std::size_t i = 1;  // byte 0 has no byte before it here, and is the caller's
#if defined(__SSE2__) || defined(_M_X64)
  const __m128i lf = _mm_set1_epi8('\n');
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i dot = _mm_set1_epi8('.');
  const __m128i zero = _mm_setzero_si128();
  // Each lane counts up to 255 before the sums take it.
  while (i + 17 <= n) {
    __m128i lfLanes = zero;
    __m128i crLanes = zero;
    __m128i crLfLanes = zero;
    for (int round = 0; round < 255 && i + 17 <= n; ++round, i += 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
      const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i - 1));
      const __m128i after = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 1));
      const __m128i isLf = _mm_cmpeq_epi8(v, lf);
      const __m128i isCr = _mm_cmpeq_epi8(v, cr);
      lfLanes = _mm_sub_epi8(lfLanes, isLf);
      crLanes = _mm_sub_epi8(crLanes, isCr);
      crLfLanes = _mm_sub_epi8(crLfLanes, _mm_and_si128(isCr, _mm_cmpeq_epi8(after, lf)));
      unsigned starts = static_cast<unsigned>(_mm_movemask_epi8(
          _mm_and_si128(_mm_cmpeq_epi8(v, dot), _mm_cmpeq_epi8(before, lf))));
      for (; starts != 0; starts &= starts - 1)
        dots.push_back(i + static_cast<std::size_t>(std::countr_zero(starts)));
    }
    const auto sum = [&](__m128i lanes) {
      const __m128i sums = _mm_sad_epu8(lanes, zero);
      return static_cast<std::uint64_t>(_mm_cvtsi128_si32(sums)) +
             static_cast<std::uint64_t>(_mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
    };
    counts.lfs += sum(lfLanes);
    counts.crs += sum(crLanes);
    counts.crLfs += sum(crLfLanes);
  }
#endif
  for (; i < n; ++i) {
    counts.lfs += p[i] == '\n';
    counts.crs += p[i] == '\r';
    counts.crLfs += p[i] == '\r' && i + 1 < n && p[i + 1] == '\n';
    if (p[i] == '.' && p[i - 1] == '\n') dots.push_back(i);
  }
  return counts;
}

}  // namespace

CLinesBefore CountLinesBefore(const CStdioFile& file, std::uint64_t end) {
  CLinesBefore before;
  std::vector<char> block(kBlock);
  std::vector<std::size_t> dots;
  char last = '\n';  // the byte before the block; the file's start starts a line
  std::uint64_t crs = 0;
  std::uint64_t crLfs = 0;
  for (std::uint64_t offset = 0; offset < end;) {
    const std::size_t n = file.ReadBytesAt(
        offset, block.data(), static_cast<std::size_t>(std::min<std::uint64_t>(kBlock, end - offset)));
    if (n == 0) break;
    // The first byte, with the one before it from the last block.
    const char first = block[0];
    before.lines += first == '\n';
    crs += first == '\r';
    crLfs += (last == '\r' && first == '\n') + (first == '\r' && n > 1 && block[1] == '\n');
    dots.clear();
    if (first == '.' && last == '\n') dots.push_back(0);
    const LineEndCounts counts = CountLineEnds(block.data(), n, dots);
    before.lines += counts.lfs;
    crs += counts.crs;
    crLfs += counts.crLfs;
    // The section headers: lines that start with "." and name a section.
    for (const std::size_t at : dots) {
      char head[64];
      std::size_t size = std::min<std::size_t>(sizeof head, n - at);
      if (size < sizeof head) size = file.ReadBytesAt(offset + at, head, sizeof head);
      else std::memcpy(head, block.data() + at, size);
      const std::string_view text(head, size);
      if (const int section = FindSectionHeader(text.substr(0, text.find('\n')));
          section != kNoSection)
        before.section = section;
    }
    last = block[n - 1];
    offset += n;
  }
  // A CR is lone unless an LF follows it.
  before.lines += crs - crLfs;
  return before;
}
