// The raw line reader against a plain reading of the same bytes: block
// edges, lines longer than what is kept, CR LF split across blocks, lone
// CRs and the last line without an end.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "checker/line_source.h"
#include "checker/scanner.h"

namespace {

struct Line {
  std::string text;  // kept part
  std::uint64_t length;
  std::uint64_t offset;
  std::string ending;
  int physicalLine;
  bool semicolon;

  bool operator==(const Line&) const = default;
};

std::vector<Line> Plain(const std::string& bytes) {
  std::vector<Line> lines;
  std::size_t at = 0;
  int physical = 1;
  while (at < bytes.size()) {
    std::size_t lf = bytes.find('\n', at);
    std::string ending = lf == std::string::npos ? "" : "\n";
    std::size_t end = lf == std::string::npos ? bytes.size() : lf;
    if (!ending.empty() && end > at && bytes[end - 1] == '\r') {
      --end;
      ending = "\r\n";
    }
    const std::string whole = bytes.substr(at, end - at);
    const std::string kept = whole.substr(0, CSourceLine::kKept);
    lines.push_back({kept, whole.size(), at, ending, physical, kept.find(';') != std::string::npos});
    for (std::size_t i = 0; i < whole.size(); ++i)
      if (whole[i] == '\r') ++physical;
    ++physical;
    at = end + ending.size();
  }
  return lines;
}

std::vector<Line> Read(const std::string& bytes, std::uint64_t begin = 0, int firstLine = 1) {
  CStdioFile file;
  file.OpenMemory(bytes, "t");
  CLineSource source(file, begin, firstLine);
  std::vector<Line> lines;
  CSourceLine line;
  while (source.Next(line)) {
    lines.push_back({std::string(line.text), line.length, line.offset, std::string(line.ending),
                     line.physicalLine, line.hasSemicolon});
  }
  return lines;
}

TEST(LineSourceTest, ReadsAsAPlainSplitDoes) {
  constexpr std::size_t kBlock = 1 << 20;
  std::vector<std::string> files = {
      "", "a", "a\n", "a\r\n", "a\r", "\r\r\n\n", "a\rb\rc", "g\nab\rx", "a;b\r\n;\n",
      std::string(kBlock - 1, 'x') + "\r\n" + "tail",
      std::string(kBlock - 2, 'x') + "\r\r\n" + "tail\r",
      std::string(70000, 'y') + "\r\nshort\n" + std::string(70000, 'z'),
      std::string(3 * kBlock, 'w') + "\r" + std::string(10, 'v') + "\r\n" + "end",
      std::string(CSourceLine::kKept, 'k') + "\r\n" + std::string(CSourceLine::kKept - 1, 'k') +
          "\r\n",
  };
  std::mt19937 random(7);
  for (int n = 0; n < 20; ++n) {
    std::string bytes;
    while (bytes.size() < kBlock + 5000) {
      const int kind = static_cast<int>(random() % 10);
      if (kind == 0) bytes += std::string(random() % 90000, 'L');
      else if (kind < 3) bytes += "\r";
      else if (kind < 6) bytes += "\r\n";
      else if (kind < 8) bytes += "\n";
      else bytes += random() % 2 ? "12=Warm Pad" : "12=Warm; Pad";
    }
    files.push_back(bytes);
  }
  for (const std::string& bytes : files) {
    SCOPED_TRACE(bytes.size() < 40 ? bytes : std::to_string(bytes.size()) + " bytes");
    EXPECT_EQ(Read(bytes) == Plain(bytes), true);
  }
}

TEST(LineSourceTest, PlacesFollowLoneCrs) {
  CSourceLine line;
  line.text = "ab\rcd\re";
  line.length = line.text.size();
  line.offset = 100;
  line.physicalLine = 7;
  line.hasLoneCr = true;
  const CPlace place = line.PlaceOf(4, 5);
  EXPECT_EQ(place.line, 8);
  EXPECT_EQ(place.lineOffset, 103u);
  EXPECT_EQ(place.begin, 1u);
  EXPECT_EQ(place.end, 2u);
  EXPECT_EQ(place.lineText, "cd");
  // A range that runs into the next line ends at the lone CR.
  EXPECT_EQ(line.PlaceOf(0, 7).end, 2u);
}

// A second part read on its own: it starts at a line start, with the line
// number it is given, in the section the lines before it leave.
TEST(LineSourceTest, APartStartsWhereTheLinesBeforeItEnd) {
  const std::string files[] = {
      ".Patch Names\r\n[A]\r\n0=a\r\n.Note Names\rx\n[B]\n1=b\r\r\n.Other\n[C]\n",
      std::string(300, 'x') + ".RPN Names\n.NRPN Names" + std::string(70000, 'n') + "\n" +
          std::string(300000, 'y') + "\r\n.Instrument Definitions\r\n\r\r\n[I]\n",
      // A CR LF, and a header after an LF, across the edge of a 256 KB read.
      std::string(262143, 'a') + "\r\n.Patch Names\r" + std::string(262129, 'b') +
          "\n.Note Names\n\r",
  };
  for (const std::string& bytes : files) {
    const std::vector<Line> lines = Plain(bytes);
    CStdioFile file;
    file.OpenMemory(bytes, "t");
    int section = kNoSection;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const Line& line = lines[i];
      EXPECT_EQ(SectionBefore(file, line.offset), section) << i;
      const std::vector<Line> rest(lines.begin() + static_cast<std::ptrdiff_t>(i), lines.end());
      EXPECT_EQ(Read(bytes, line.offset, line.physicalLine) == rest, true) << i;
      if (const int header = FindSectionHeader(line.text); header != kNoSection) section = header;
    }
  }
}

}  // namespace
