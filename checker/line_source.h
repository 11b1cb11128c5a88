// A file's lines as the programs that load instrument definitions read
// them: each ends at LF, a CR before the LF belongs to the line end, and a
// lone CR stays inside the line. Places are given as editors show them,
// where a lone CR ends a line too.
#ifndef VELTRANE_CHECKER_LINE_SOURCE_H_
#define VELTRANE_CHECKER_LINE_SOURCE_H_

#include <bit>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "checker/finding.h"
#include "platform/file.h"
#include "platform/line_end_index.h"

struct CSourceLine {
  // The line without its end; of a line longer than kKept bytes, its
  // first kKept bytes.
  std::string_view text;
  std::uint64_t length = 0;   // the whole line's length without its end
  std::uint64_t offset = 0;   // the file offset of its first byte
  std::string_view ending;    // "\n", "\r\n", or "" for a last line without one
  int physicalLine = 0;       // 1-based, as editors count: lone CRs end lines too
  bool hasLoneCr = false;     // a CR inside the kept text
  // A ";" byte inside the kept text: of a double-byte code page, maybe the
  // second byte of a character, so no more than a hint to look.
  bool hasSemicolon = false;

  static constexpr std::size_t kKept = 64 * 1024;

  // Where bytes [begin, end) of the kept text stand as editors show them.
  CPlace PlaceOf(std::size_t begin, std::size_t end) const;
  // The offset just after the line's end.
  std::uint64_t EndOffset() const { return offset + length + ending.size(); }
};

// Reads a file's raw bytes in blocks and hands out its lines one by one.
// Memory stays within a block and one kept line, whatever the file's size.
class CLineSource {
 public:
  // Reads from `begin`, a line start whose physical line is `firstLine`.
  // REQUIRES: `file` stays open, whole (not a part), while lines are read.
  explicit CLineSource(const CStdioFile& file, std::uint64_t begin = 0, int firstLine = 1);

  // The next line, valid until the next call; false at the end. Throws
  // CFileException on a read error, or when the file has more lines than
  // an int counts.
  bool Next(CSourceLine& line) {
    bool read = false;
    ForEach([&](const CSourceLine& next) {
      line = next;
      read = true;
      return false;
    });
    return read;
  }

  // Calls `take(line)` with each line in turn, valid during the call, until
  // it returns false or the lines end; false when `take` stopped it. Throws
  // as Next does. Faster than calling Next for each line: the reader's
  // state stays in registers while `take` runs inline.
  template <typename Take>
  bool ForEach(Take&& take) {
    CSourceLine line;
    for (;;) {
      // Most lines: a few bytes, their LF in the buffer, no lone CR. Their
      // LFs are taken from the index a bit at a time; the rest of the
      // lines, and every read, go the long way.
      std::size_t w = m_lfWordIndex;
      std::uint64_t word = m_lfWord;
      std::size_t pos = m_pos;
      std::uint64_t offset = m_lineOffset;
      int physicalLine = m_physicalLine;
      const std::uint64_t* const lfBits = m_lfBits.data();
      const std::uint64_t* const crLfBits = m_crLfBits.data();
      const char* const buffer = m_buffer.data();
      const std::size_t words = m_words;
      // The next ";" from the line at hand on: most lines have none, and
      // then one comparison tells.
      std::size_t semicolon = m_semicolonsInBuffer ? FirstBit(m_semicolonBits.data(), pos, m_end) : m_end;
      bool taken = true;
      for (;;) {
        while (word == 0 && ++w < words) word = lfBits[w];
        if (word == 0) break;
        const std::uint64_t lfBit = word & (0 - word);
        const std::size_t lfAt = w * 64 + static_cast<std::size_t>(std::countr_zero(word));
        const bool crLf = (crLfBits[w] & lfBit) != 0;
        const std::size_t n = lfAt - pos - (crLf ? 1 : 0);
        if ((m_loneCrsInBuffer && FirstBit(m_crBits.data(), pos, pos + n) < pos + n) ||
            n > CSourceLine::kKept || physicalLine == kLastLine)
          break;
        line.text = std::string_view(buffer + pos, n);
        line.length = n;
        line.offset = offset;
        line.ending = crLf ? std::string_view("\r\n") : std::string_view("\n");
        line.physicalLine = physicalLine++;
        line.hasLoneCr = false;
        line.hasSemicolon = semicolon < pos + n;
        pos = lfAt + 1;
        if (semicolon < pos) semicolon = FirstBit(m_semicolonBits.data(), pos, m_end);
        word &= word - 1;
        offset += n + line.ending.size();
        if (!take(static_cast<const CSourceLine&>(line))) {
          taken = false;
          break;
        }
      }
      m_lfWordIndex = w;
      m_lfWord = word;
      m_pos = pos;
      m_lineOffset = offset;
      m_physicalLine = physicalLine;
      if (!taken) return false;
      if (!NextSlowly(line)) return true;
      if (!take(static_cast<const CSourceLine&>(line))) return false;
    }
  }

  // The physical line the next line starts in.
  int NextLine() const { return m_physicalLine; }

 private:
  static constexpr int kLastLine = std::numeric_limits<int>::max();

  // Next for the lines the index does not settle; then takes up the index
  // where the line ends.
  bool NextSlowly(CSourceLine& line);
  bool NextUnindexed(CSourceLine& line);
  // Reads the next block behind the unread bytes; false at the end.
  bool Fill();
  // The rest of a line too long to keep: passes over it, counting lone CRs.
  void SkipRestOfLine(CSourceLine& line);

  const CStdioFile& m_file;
  std::uint64_t m_readOffset;  // where the next block starts in the file
  std::vector<char> m_buffer;
  // Where the LFs, CRs and ";" of m_buffer[0, m_end) stand (see
  // IndexLineEndsAndSemicolons).
  std::vector<std::uint64_t> m_lfBits;
  std::vector<std::uint64_t> m_crBits;
  std::vector<std::uint64_t> m_semicolonBits;
  // The LFs that end a CR LF.
  std::vector<std::uint64_t> m_crLfBits;
  std::size_t m_words = 0;          // the index's words in use
  // Any CR in m_buffer[0, m_end) that is not the first half of a CR LF.
  bool m_loneCrsInBuffer = false;
  bool m_semicolonsInBuffer = false;
  // The LFs of word m_lfWordIndex from m_pos on.
  std::size_t m_lfWordIndex = 0;
  std::uint64_t m_lfWord = 0;
  std::size_t m_pos = 0;
  std::size_t m_end = 0;
  bool m_atEnd = false;
  int m_physicalLine;
  std::uint64_t m_lineOffset;
  std::string m_long;  // the kept start of a line longer than a block allows
};

// The section that the lines before `end`, a line start of `file`, end in:
// that of the last section header among them, or kNoSection. Reads back
// from `end` only as far as that header. With `afterUnknown`, also tells
// whether a "." line that names no section stands between that header and
// `end`. Throws CFileException on a read error.
int SectionBefore(const CStdioFile& file, std::uint64_t end, bool* afterUnknown = nullptr);

#endif  // VELTRANE_CHECKER_LINE_SOURCE_H_
