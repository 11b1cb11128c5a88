#include "platform/file.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "tests/test_util.h"

namespace {

using Pieces = std::vector<std::string>;

Pieces ReadAllPieces(const std::string& path, unsigned extraFlags = 0) {
  CStdioFile file;
  EXPECT_TRUE(file.Open(path, CFile::modeRead | extraFlags));
  Pieces pieces;
  std::string piece;
  while (file.ReadString(piece)) pieces.push_back(piece);
  EXPECT_TRUE(piece.empty());
  return pieces;
}

// The same pieces from the same bytes in memory, read both ways.
Pieces ReadAllMemoryPieces(const std::string& bytes, unsigned extraFlags = 0) {
  CStdioFile copied, inPlace;
  copied.OpenMemory(bytes, "memory", CFile::modeRead | extraFlags);
  inPlace.OpenMemory(bytes, "memory", CFile::modeRead | extraFlags);
  Pieces pieces;
  std::string piece;
  std::string_view view;
  while (copied.ReadString(piece)) {
    EXPECT_TRUE(inPlace.ReadPiece(view));
    EXPECT_EQ(view, piece);
    pieces.push_back(piece);
  }
  EXPECT_FALSE(inPlace.ReadPiece(view));
  return pieces;
}

struct ReadCase {
  const char* label;
  std::string bytes;
  Pieces pieces;
};

// The case's label, so that test names and failure reports stay short.
void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.label; }

class TextModeReading : public ::testing::TestWithParam<ReadCase> {};

TEST_P(TextModeReading, SplitsIntoPieces) {
  ScratchDir dir;
  WriteBytes(dir.File("in"), GetParam().bytes);
  EXPECT_EQ(ReadAllPieces(dir.File("in")), GetParam().pieces);
}

TEST_P(TextModeReading, SplitsBytesInMemoryAlike) {
  EXPECT_EQ(ReadAllMemoryPieces(GetParam().bytes), GetParam().pieces);
}

const std::string k253(253, 'a');
const std::string k254(254, 'b');
const std::string k300(300, 'c');

INSTANTIATE_TEST_SUITE_P(
    Cases, TextModeReading,
    ::testing::Values(
        ReadCase{"Empty", "", {}},
        ReadCase{"LfLines", "a\nb\n", {"a\n", "b\n"}},
        ReadCase{"CrLfBecomesLf", "a\r\nb\r\n", {"a\n", "b\n"}},
        ReadCase{"LoneCrStays", "a\rb\n", {"a\rb\n"}},
        ReadCase{"CrOnlyLineEnds", "a\rb\r", {"a\rb\r"}},
        ReadCase{"CrCrLf", "a\r\r\n", {"a\r\n"}},
        ReadCase{"NoFinalLineEnd", "a\nlast", {"a\n", "last"}},
        ReadCase{"EmptyLines", "\n\r\n\n", {"\n", "\n", "\n"}},
        ReadCase{"CtrlZIsData", "a\x1a" "b\n\x1a", {"a\x1a" "b\n", "\x1a"}},
        ReadCase{"NulBytesKept", std::string("a\0b\n\0\n", 6),
                 {std::string("a\0b\n", 4), std::string("\0\n", 2)}},
        ReadCase{"LineOf253FitsOnePiece", k253 + "\n", {k253 + "\n"}},
        ReadCase{"CrLfAfter253FitsOnePiece", k253 + "\r\n", {k253 + "\n"}},
        ReadCase{"LineOf254LeavesLineEndAlone", k254 + "\n", {k254, "\n"}},
        ReadCase{"CrLfAfter254", k254 + "\r\nx", {k254, "\n", "x"}},
        ReadCase{"LoneCrAt254", k253 + "\rx\n", {k253 + "\r", "x\n"}},
        ReadCase{"LongLineSplits", k300 + "\n",
                 {k300.substr(0, 254), k300.substr(254) + "\n"}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(TextModeReadingTest, CrLfAcrossReadBufferBoundary) {
  // The reader fetches the file in large blocks; a CR that ends one block
  // and the LF that starts the next are still one line end.
  const std::size_t block = 256 * 1024;
  std::string bytes;
  while (bytes.size() + 100 < block) bytes += std::string(99, 'y') + "\n";
  bytes += std::string(block - 1 - bytes.size(), 'x') + "\r";
  bytes += "\nlast\r";
  ScratchDir dir;
  WriteBytes(dir.File("in"), bytes);
  Pieces pieces = ReadAllPieces(dir.File("in"));
  ASSERT_GE(pieces.size(), 2u);
  EXPECT_EQ(pieces.back(), "last\r");
  EXPECT_TRUE(pieces[pieces.size() - 2].ends_with("x\n"));
}

TEST(TextModeReadingTest, CrLfAcrossReadBufferBoundaryInMemory) {
  // Every CR LF position around the block edge, and a CR that ends the
  // bytes: memory is fetched in the same blocks as a file.
  const std::size_t block = 256 * 1024;
  for (std::size_t at = block - 256; at <= block + 1; ++at) {
    std::string bytes(at, 'x');
    for (std::size_t i = 99; i < at; i += 100) bytes[i] = '\n';
    bytes += "\r\nlast\r";
    const Pieces pieces = ReadAllMemoryPieces(bytes);
    ASSERT_GE(pieces.size(), 2u) << at;
    EXPECT_EQ(pieces.back(), "last\r") << at;
    EXPECT_TRUE(pieces[pieces.size() - 2].ends_with("\n")) << at;
    EXPECT_FALSE(pieces[pieces.size() - 2].ends_with("\r\n")) << at;
  }
}

// A piece as ReadPiece hands it out, with the offset it starts at.
struct OffsetPiece {
  std::string text;
  std::uint64_t offset;
  bool operator==(const OffsetPiece&) const = default;
};

std::vector<OffsetPiece> ReadOffsetPieces(CStdioFile& file) {
  std::vector<OffsetPiece> pieces;
  std::string_view piece;
  while (file.ReadPiece(piece)) pieces.push_back({std::string(piece), file.GetPieceOffset()});
  return pieces;
}

// Over half a megabyte of lines of every length around the 254-character
// limit, in every line end, with lone CRs, so that the read buffer's edges
// fall everywhere.
std::string LinesOfEveryKind() {
  std::string bytes;
  const char firsts[] = {'0', '[', 'x', '\r', '\n', '.', 'P'};
  const char* ends[] = {"\n", "\r\n", "\r", "\r\r\n"};
  for (std::size_t i = 0; bytes.size() < 600 * 1024; ++i) {
    const std::size_t length = i % 7 == 0 ? 250 + i % 9 : i % 40;
    std::string line(length, 'a' + i % 26);
    if (!line.empty()) line[0] = firsts[i % std::size(firsts)];
    if (i % 11 == 0 && length > 3) line[length / 2] = '\r';
    bytes += line + ends[i % 3 == 0 ? i / 3 % std::size(ends) : 0];
  }
  return bytes;
}

// Whole lines that start with a byte other than "[" and "." may be passed
// over; what is read after them must be what reading every piece gives.
TEST(TextModeReadingTest, SkippedPiecesAreWholeUsualLines) {
  const std::string bytes = LinesOfEveryKind();
  std::array<bool, 256> skippable{};
  skippable.fill(true);
  skippable['['] = skippable['.'] = false;

  CStdioFile all;
  all.OpenMemory(bytes, "memory");
  const std::vector<OffsetPiece> pieces = ReadOffsetPieces(all);

  CStdioFile skipping;
  skipping.OpenMemory(bytes, "memory");
  std::size_t next = 0;
  std::uint64_t skippedInAll = 0;
  for (;;) {
    const std::uint64_t skipped = skipping.SkipPieces(skippable);
    skippedInAll += skipped;
    for (std::uint64_t k = 0; k < skipped; ++k, ++next) {
      ASSERT_LT(next, pieces.size());
      const OffsetPiece& piece = pieces[next];
      ASSERT_TRUE(piece.text.ends_with('\n')) << piece.offset;
      ASSERT_EQ(piece.text.find('\r'), std::string::npos) << piece.offset;
      ASSERT_TRUE(skippable[static_cast<unsigned char>(bytes[piece.offset])]) << piece.offset;
    }
    std::string_view piece;
    if (!skipping.ReadPiece(piece)) break;
    ASSERT_LT(next, pieces.size());
    ASSERT_EQ((OffsetPiece{std::string(piece), skipping.GetPieceOffset()}), pieces[next]);
    ++next;
  }
  EXPECT_EQ(next, pieces.size());
  EXPECT_GT(skippedInAll, pieces.size() / 3);  // most usual lines went by unseen
}

// Parts of a file split after an LF read, one after the other, as the
// whole does, offsets and all; from a file and from memory.
TEST(TextModeReadingTest, PartsReadAsTheWhole) {
  const std::string bytes = LinesOfEveryKind();
  ScratchDir dir;
  WriteBytes(dir.File("in"), bytes);
  for (const bool memory : {false, true}) {
    CStdioFile whole;
    if (memory)
      whole.OpenMemory(bytes, "memory");
    else
      ASSERT_TRUE(whole.Open(dir.File("in"), CFile::modeRead));
    const std::vector<OffsetPiece> pieces = ReadOffsetPieces(whole);
    EXPECT_EQ(whole.GetSourceLength(), bytes.size());
    for (const std::size_t from : {std::size_t{0}, bytes.size() / 3, std::size_t{256 * 1024 - 3},
                                   bytes.size() - 2}) {
      const std::uint64_t split = bytes.find('\n', from) + 1;
      CStdioFile first;
      CStdioFile second;
      first.OpenPart(whole, 0, split);
      second.OpenPart(whole, split, std::numeric_limits<std::uint64_t>::max());
      std::vector<OffsetPiece> parts = ReadOffsetPieces(first);
      for (OffsetPiece& piece : ReadOffsetPieces(second)) parts.push_back(std::move(piece));
      EXPECT_EQ(parts, pieces) << "memory " << memory << " split " << split;
      // The whole file's own position is the parts' business no more.
      EXPECT_THROW(second.Seek(0, CFile::begin), CFileException);
    }
  }
}

TEST(TextModeReadingTest, BinaryModeKeepsCrLf) {
  ScratchDir dir;
  WriteBytes(dir.File("in"), "a\r\nb");
  EXPECT_EQ(ReadAllPieces(dir.File("in"), CFile::typeBinary),
            (Pieces{"a\r\n", "b"}));
}

TEST(TextModeReadingTest, SeekToBeginReadsAgain) {
  ScratchDir dir;
  WriteBytes(dir.File("in"), "one\ntwo\n");
  CStdioFile file;
  ASSERT_TRUE(file.Open(dir.File("in"), CFile::modeRead));
  std::string piece;
  ASSERT_TRUE(file.ReadString(piece));
  file.SeekToBegin();
  ASSERT_TRUE(file.ReadString(piece));
  EXPECT_EQ(piece, "one\n");
}

TEST(MemoryFileTest, BinaryModeKeepsCrLf) {
  EXPECT_EQ(ReadAllMemoryPieces("a\r\nb", CFile::typeBinary),
            (Pieces{"a\r\n", "b"}));
}

TEST(MemoryFileTest, SeeksLikeAFile) {
  const std::string bytes = "one\ntwo\nthree\n";
  struct {
    const char* label;
    std::int64_t offset;
    CFile::SeekPosition from;
    std::uint64_t position;
    std::string next;  // the piece read after the seek; "" for none
  } cases[] = {
      {"ToBegin", 0, CFile::begin, 0, "one\n"},
      {"IntoALine", 5, CFile::begin, 5, "wo\n"},
      // After one piece the buffer holds the rest; current counts from the
      // piece's end, not from the buffer's.
      {"BackFromCurrent", -2, CFile::current, 2, "e\n"},
      {"FromEnd", -6, CFile::end, 8, "three\n"},
      {"BeyondTheEnd", 100, CFile::end, 114, ""},
  };
  for (const auto& c : cases) {
    CStdioFile file;
    file.OpenMemory(bytes, "m");
    std::string piece;
    ASSERT_TRUE(file.ReadString(piece));
    EXPECT_EQ(file.Seek(c.offset, c.from), c.position) << c.label;
    EXPECT_EQ(file.ReadString(piece), !c.next.empty()) << c.label;
    EXPECT_EQ(piece, c.next) << c.label;
  }
}

TEST(MemoryFileTest, SeekBeforeTheStartThrowsAndKeepsThePlace) {
  CStdioFile file;
  file.OpenMemory("abc\ndef\n", "mem.ins");
  std::string piece;
  ASSERT_TRUE(file.ReadString(piece));
  try {
    file.Seek(-5, CFile::current);
    FAIL() << "no exception";
  } catch (const CFileException& e) {
    EXPECT_STREQ(e.what(), "mem.ins: Invalid argument");
  }
  EXPECT_THROW(file.Seek(INT64_MIN, CFile::end), CFileException);
  EXPECT_THROW(file.Seek(INT64_MAX, CFile::end), CFileException);
  ASSERT_TRUE(file.ReadString(piece));
  EXPECT_EQ(piece, "def\n");
}

TEST(MemoryFileTest, CloseAndReopenOnAFile) {
  ScratchDir dir;
  WriteBytes(dir.File("in"), "from disk\n");
  CStdioFile file;
  file.OpenMemory("from memory\n", "m");
  EXPECT_TRUE(file.IsOpen());
  EXPECT_TRUE(file.IsMemory());
  EXPECT_EQ(file.GetFilePath(), "m");
  // Opening a file forgets the bytes, and their unread buffer with them.
  ASSERT_TRUE(file.Open(dir.File("in"), CFile::modeRead));
  EXPECT_FALSE(file.IsMemory());
  std::string piece;
  ASSERT_TRUE(file.ReadString(piece));
  EXPECT_EQ(piece, "from disk\n");
  file.OpenMemory("again\n", "m");
  ASSERT_TRUE(file.ReadString(piece));
  EXPECT_EQ(piece, "again\n");
  file.Close();
  EXPECT_FALSE(file.IsOpen());
  EXPECT_FALSE(file.IsMemory());
}

TEST(FileOpenTest, FailuresFillTheRecord) {
  ScratchDir dir;
  struct {
    std::string path;
    unsigned flags;
    std::string reason;
  } cases[] = {
      {dir.File("missing"), CFile::modeRead, "No such file or directory"},
      {dir.path(), CFile::modeRead, "Is a directory"},
      {dir.path(), CFile::modeCreate | CFile::modeReadWrite, "Is a directory"},
      {dir.File("no/such/folder"), CFile::modeCreate | CFile::modeReadWrite,
       "No such file or directory"},
      {"", CFile::modeRead, "No such file or directory"},
  };
  for (const auto& c : cases) {
    CStdioFile file;
    CFileException error;
    EXPECT_FALSE(file.Open(c.path, c.flags, &error)) << c.path;
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(error.GetErrorText(), c.reason) << c.path;
    EXPECT_EQ(std::string(error.what()), c.path + ": " + c.reason);
  }
}

TEST(FileOpenTest, ExclusiveOpenRefusesASecondExclusiveOpen) {
  ScratchDir dir;
  WriteBytes(dir.File("in"), "x\n");
  CStdioFile first;
  ASSERT_TRUE(first.Open(dir.File("in"), CFile::modeRead | CFile::shareExclusive));
  CStdioFile second;
  CFileException error;
  EXPECT_FALSE(second.Open(dir.File("in"),
                           CFile::modeRead | CFile::shareExclusive, &error));
  EXPECT_EQ(error.m_cause, CFileException::sharingViolation);
  EXPECT_EQ(error.GetErrorText(), "locked by another process");
  first.Close();
  EXPECT_TRUE(second.Open(dir.File("in"), CFile::modeRead | CFile::shareExclusive));
}

#ifdef _WIN32
TEST(FileOpenTest, ExclusiveOpenShutsOutEveryOtherOpen) {
  // Share mode 0 keeps out every other program, not only those that ask
  // for exclusive access themselves; the file can still be looked at.
  ScratchDir dir;
  WriteBytes(dir.File("in"), "x\n");
  CStdioFile held;
  ASSERT_TRUE(held.Open(dir.File("in"), CFile::modeRead | CFile::shareExclusive));
  for (unsigned mode : {unsigned{CFile::modeRead}, unsigned{CFile::modeReadWrite},
                        CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite}) {
    CStdioFile other;
    CFileException error;
    EXPECT_FALSE(other.Open(dir.File("in"), mode, &error)) << mode;
    EXPECT_EQ(error.m_cause, CFileException::sharingViolation) << mode;
  }
  CFileStatus status;
  ASSERT_TRUE(CFile::GetStatus(dir.File("in"), status));
  EXPECT_EQ(status.m_size, 2u);
  EXPECT_TRUE(status.IsSameFile(held.GetStatus()));
}
#endif

TEST(FileWriteTest, NoTruncateKeepsContentUntilSetLength) {
  ScratchDir dir;
  const std::string path = dir.File("out");
  WriteBytes(path, "old content that is long");
  CStdioFile file;
  const unsigned flags = CFile::modeCreate | CFile::modeNoTruncate |
                         CFile::modeReadWrite | CFile::shareExclusive;
  ASSERT_TRUE(file.Open(path, flags));
  EXPECT_EQ(file.GetLength(), 24u);
  file.SetLength(0);
  file.SeekToBegin();
  file.WriteString("new\nlines");
  file.Close();
  EXPECT_EQ(ReadBytes(path), TextFileBytes("new\nlines"));
}

TEST(FileWriteTest, TextModeWritesTheSystemsLineEnd) {
  // Long enough that line ends fall on both sides of a buffer flush.
  const std::string many = std::string(70000, 'l') + "\n" + std::string(70000, 'm') + "\n";
  struct {
    const char* label;
    unsigned mode;
    std::string text;
    std::string bytes;
  } cases[] = {
      {"Text", 0, "a\nb\n\nc", TextFileBytes("a\nb\n\nc")},
      {"TextKeepsCrBeforeLf", 0, "a\r\n", "a\r" + TextFileBytes("\n")},
      {"TextNoLineEnd", 0, "abc", "abc"},
      {"TextLong", 0, many, TextFileBytes(many)},
      {"BinaryAsIs", CFile::typeBinary, "a\nb\r\n", "a\nb\r\n"},
  };
  for (const auto& c : cases) {
    ScratchDir dir;
    CStdioFile file;
    ASSERT_TRUE(file.Open(dir.File("out"),
                          CFile::modeCreate | CFile::modeReadWrite | c.mode));
    file.WriteString(c.text);
    file.Close();
    EXPECT_EQ(ReadBytes(dir.File("out")), c.bytes) << c.label;
  }
}

TEST(FileWriteTest, TextWrittenReadsBackAsWritten) {
  ScratchDir dir;
  CStdioFile out;
  ASSERT_TRUE(out.Open(dir.File("f"), CFile::modeCreate | CFile::modeWrite));
  out.WriteString("one\ntwo\n");
  out.Close();
  EXPECT_EQ(ReadAllPieces(dir.File("f")), (Pieces{"one\n", "two\n"}));
}

#ifndef _WIN32  // Windows has no device that is always full
TEST(FileWriteTest, WriteErrorThrowsWithPathAndReason) {
  CStdioFile file;
  ASSERT_TRUE(file.Open("/dev/full", CFile::modeCreate | CFile::modeNoTruncate |
                                         CFile::modeReadWrite));
  file.SetLength(0);  // a device has no length to set: not an error
  file.WriteString("protocol");
  try {
    file.Close();
    FAIL() << "no exception";
  } catch (const CFileException& e) {
    EXPECT_STREQ(e.what(), "/dev/full: No space left on device");
  }
  EXPECT_FALSE(file.IsOpen());
}
#endif

TEST(FileStatusTest, RemoveAndStatus) {
  ScratchDir dir;
  const std::string path = dir.File("f");
  WriteBytes(path, "abc");
  CFileStatus status;
  ASSERT_TRUE(CFile::GetStatus(path, status));
  EXPECT_EQ(status.m_size, 3u);
  CFile::Remove(path);
  EXPECT_FALSE(CFile::GetStatus(path, status));
  EXPECT_THROW(CFile::Remove(path), CFileException);
}

}  // namespace
