#include "platform/file.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
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
