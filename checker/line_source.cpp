#include "checker/line_source.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <limits>

#include "checker/scanner.h"
#include "platform/line_end_index.h"


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

int SectionBefore(const CStdioFile& file, std::uint64_t end, bool* afterUnknown) {
  if (afterUnknown) *afterUnknown = false;
  constexpr std::size_t kBack = 1 << 16;
  std::vector<char> block(kBack + 1);
  for (std::uint64_t blockEnd = end; blockEnd > 0;) {
    // The block, and the byte before it, which tells whether its first
    // byte starts a line.
    const std::uint64_t begin = blockEnd > kBack ? blockEnd - kBack : 0;
    const std::uint64_t from = begin > 0 ? begin - 1 : 0;
    const std::size_t want = static_cast<std::size_t>(blockEnd - from);
    std::size_t got = 0;
    while (got < want) {
      const std::size_t n = file.ReadBytesAt(from + got, block.data() + got, want - got);
      if (n == 0) return kNoSection;  // the file shrank meanwhile
      got += n;
    }
    const std::size_t first = begin > 0 ? 1 : 0;  // block[first] is at `begin`
    for (std::size_t at = want; at-- > first;) {
      if (block[at] != '.' || (at > 0 && block[at - 1] != '\n')) continue;
      // A line that starts with "." opens the section it names, if any.
      char head[64];
      const std::size_t size = file.ReadBytesAt(from + at, head, sizeof head);
      const std::string_view text(head, size);
      if (const int section = FindSectionHeader(text.substr(0, text.find('\n')));
          section != kNoSection)
        return section;
      if (afterUnknown) *afterUnknown = true;
    }
    blockEnd = begin;
  }
  return kNoSection;
}
