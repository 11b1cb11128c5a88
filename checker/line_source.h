// A file's lines as the programs that load instrument definitions read
// them: each ends at LF, a CR before the LF belongs to the line end, and a
// lone CR stays inside the line. Places are given as editors show them,
// where a lone CR ends a line too.
#ifndef VELTRANE_CHECKER_LINE_SOURCE_H_
#define VELTRANE_CHECKER_LINE_SOURCE_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "checker/finding.h"
#include "platform/file.h"

struct CSourceLine {
  // The line without its end; of a line longer than kKept bytes, its
  // first kKept bytes.
  std::string_view text;
  std::uint64_t length = 0;   // the whole line's length without its end
  std::uint64_t offset = 0;   // the file offset of its first byte
  std::string_view ending;    // "\n", "\r\n", or "" for a last line without one
  int physicalLine = 0;       // 1-based, as editors count: lone CRs end lines too
  bool hasLoneCr = false;     // a CR inside the kept text

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
  // REQUIRES: `file` stays open, whole (not a part), while lines are read.
  explicit CLineSource(const CStdioFile& file);

  // The next line, valid until the next call; false at the end. Throws
  // CFileException on a read error, or when the file has more lines than
  // an int counts.
  bool Next(CSourceLine& line);

 private:
  // Reads the next block behind the unread bytes; false at the end.
  bool Fill();
  // The rest of a line too long to keep: passes over it, counting lone CRs.
  void SkipRestOfLine(CSourceLine& line);

  const CStdioFile& m_file;
  std::uint64_t m_readOffset = 0;  // where the next block starts in the file
  std::vector<char> m_buffer;
  std::size_t m_pos = 0;
  std::size_t m_end = 0;
  bool m_atEnd = false;
  int m_physicalLine = 1;
  std::uint64_t m_lineOffset = 0;
  std::string m_long;  // the kept start of a line longer than a block allows
};

#endif  // VELTRANE_CHECKER_LINE_SOURCE_H_
