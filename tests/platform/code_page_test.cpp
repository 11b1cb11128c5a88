#include "platform/code_page.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "checker/protocol.h"
#include "tests/check_fixture.h"

namespace {

CCodePage Page(int number) { return CCodePage::FromNumber(number).value(); }

TEST(CodePageTest, KnowsTheDoubleByteAndSingleBytePages) {
  const struct {
    int number;
    bool known;
    bool doubleByte;
  } cases[] = {
      {932, true, true},   {936, true, true},   {949, true, true},
      {950, true, true},   {1252, true, false}, {850, true, false},
      {28591, true, false}, {65001, true, false}, {0, false, false},
      {-932, false, false}, {1361, false, false}, {9999, false, false},
  };
  for (const auto& c : cases) {
    const auto page = CCodePage::FromNumber(c.number);
    ASSERT_EQ(page.has_value(), c.known) << c.number;
    if (page) {
      EXPECT_EQ(page->IsDoubleByte(), c.doubleByte) << c.number;
    }
  }
  // Half-width katakana are single bytes in 932 only.
  EXPECT_FALSE(Page(932).IsLeadByte(0xB1));
  EXPECT_TRUE(Page(936).IsLeadByte(0xB1));
  EXPECT_TRUE(Page(932).IsLeadByte(0xFC));
  EXPECT_FALSE(Page(932).IsLeadByte(0xFD));
  EXPECT_FALSE(Page(949).IsLeadByte(0xFF));
}

// Names as people read them, from the program's own tables: Windows'
// characters for the bytes where other systems' converters differ (932's
// wave dash, 950's box drawing), and the bytes no code page defines, which
// are read as Windows-1252 so that nothing is lost.
TEST(CodePageTest, ToUtf8DecodesWithTheTables) {
  const struct {
    int number;
    std::string bytes;
    std::string utf8;
  } cases[] = {
      {932, "\x83\x5D\x81\x5B Kit", "\u30BE\u30FC Kit"},
      {932, "\x81\x60\x81\x5F", "\uFF5E\uFF3C"},      // not U+301C, U+005C
      {932, "\xB1\x87\x40", "\uFF71\u2460"},           // half-width katakana, NEC
      {932, "\x83", "\u0192"},                            // a lead byte at the end
      {932, "\x85\x40", "\u2026@"},                      // no character: 1252, byte by byte
      {936, "\x81\x40\xB0\xA1", "\u4E02\u554A"},
      {949, "\xB0\xA1", "\uAC00"},
      {950, "\xA1\x45\xF9\xF9\xA1\xC3", "\u2027\u2550\uFFE3"},
      {1251, "\xC0\xFF", "\u0410\u044F"},
      {1253, "\xAA", "\u00AA"},                           // undefined in 1253
      {866, "\x80\xE9", "\u0410\u0449"},
      {10000, "\x80", "\u00C4"},
      {28595, "\xB0", "\u0410"},
      {874, "\xA1", "\u0E01"},
      {20127, "\xE9", "\u00E9"},                          // ASCII: 1252 for the rest
      {65001, "\xC3\xA9\xE9", "\u00E9\u00E9"},          // UTF-8 kept, the stray byte 1252
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.number) + " " + c.bytes);
    EXPECT_EQ(Page(c.number).ToUtf8(c.bytes), c.utf8);
  }
}

TEST(CodePageTest, FindSkipsTheByteAfterEveryLeadByte) {
  const struct {
    int number;
    std::string text;
    char c;
    std::size_t found;
  } cases[] = {
      {932, "\x83]\x83\x41]", ']', 4},  // the first ] is a trail byte
      {1252, "\x83]\x83\x41]", ']', 1},
      {932, "\x81=X", '=', std::string::npos},
      {932, "ab\x83", '\x83', 2},       // a lead byte at the end stands alone
      {932, "\x83\x83", '\x83', std::string::npos},
      {936, "\xB1]]", ']', 2},          // 0xB1 leads in 936 ...
      {932, "\xB1]]", ']', 1},          // ... and is katakana in 932
  };
  for (const auto& c : cases)
    EXPECT_EQ(Page(c.number).Find(c.text, c.c), c.found) << c.number << " " << c.text;
}

TEST(CodePageTest, CompareOrdersByCharacterCodes) {
  const struct {
    int number;
    std::string a, b;
    int sign;
  } cases[] = {
      // Katakana 0xB1 is a single byte, so it sorts before every
      // double-byte character; byte order would put it after 0x83.
      {932, "\xB1", "\x83\x41", -1},
      {1252, "\xB1", "\x83\x41", 1},
      {932, "A", "\x81\x40", -1},
      {932, "\x83\x41", "\x83\x40", 1},
      // A lead byte with nothing after it is its own code.
      {932, "\x83", "\x82\x41", -1},
      {932, "\x83", "\x83\x41", -1},   // a prefix sorts first
      {932, "\x83\x41 Kit", "\x83\x41 Kit", 0},
      // Where the names part, the lead bytes before decide whether a byte
      // starts a character or ends one.
      {932, "\x81\x81\x83\x41", "\x81\x81\xB1", 1},
      {932, "\x81\x83\x41", "\x81\xB1", -1},
      {932, "", "", 0},
      {936, "\x81\x40", "\x80", 1},
  };
  for (const auto& c : cases) {
    const int got = Page(c.number).Compare(c.a, c.b);
    EXPECT_EQ((got > 0) - (got < 0), c.sign) << c.number << " " << c.a << " " << c.b;
    const int back = Page(c.number).Compare(c.b, c.a);
    EXPECT_EQ((back > 0) - (back < 0), -c.sign) << "reversed";
  }
}

struct CodePageCase {
  const char* label;
  std::string file;
  std::string findings932;   // the gnu-like findings of a check in 932
  std::string findings1252;  // ... and of the same file in 1252
};

void PrintTo(const CodePageCase& c, std::ostream* os) { *os << c.label; }

// "LINE kind NAME;" for each finding, in protocol order.
std::string FindingsIn(const std::string& content, int codePage) {
  ScratchDir dir;
  const CCheckedInput checked = CheckContent(dir, content, Page(codePage));
  std::string out;
  const char* kinds[] = {"dup", "unused", "notfound"};
  for (const CFinding& f : checked.result.findings) {
    out += std::to_string(f.line) + " " + kinds[static_cast<int>(f.kind)] + " " +
           std::string(f.name) + ";";
  }
  return out;
}

class CodePageCheckTest : public ::testing::TestWithParam<CodePageCase> {};

TEST_P(CodePageCheckTest, FindsWholeCharacters) {
  EXPECT_EQ(FindingsIn(GetParam().file, 932), GetParam().findings932);
  EXPECT_EQ(FindingsIn(GetParam().file, 1252), GetParam().findings1252);
}

const std::string kDrumKit = "\x83\x5D\x83\x41 Kit";  // its first trail byte is "]"

INSTANTIATE_TEST_SUITE_P(
    Cases, CodePageCheckTest,
    ::testing::Values(
        CodePageCase{"TrailByteLikeBracketStaysInTheLabel",
                     ".Note Names\n[" + kDrumKit + "]\n.Instrument Definitions\n[I]\n"
                     "Key[*,*]=" + kDrumKit + "\n",
                     "",
                     "2 unused \x83;5 notfound " + kDrumKit + ";"},
        CodePageCase{"LeadByteSwallowsTheEqualsSign",
                     ".Controller Names\n[X]\n.Instrument Definitions\n[I]\nControl\x81=X\n",
                     "2 unused X;5 notfound Control\x81=X;", ""},
        CodePageCase{"LeadByteAtThePieceEndStandsAlone",
                     ".RPN Names\n[" + std::string(252, 'r') + "\x83]\nRPN=]\n",
                     // Pieces stay 254 bytes: the "]" after the cut is a
                     // line of its own in both code pages.
                     "2 unused ;4 notfound ];", "2 unused ;4 notfound ];"},
        CodePageCase{"HalfWidthKatakanaSortBeforeDoubleByteNames",
                     ".Note Names\n[\x83\x41]\n[\xB1]\n[A]\n",
                     "4 unused A;3 unused \xB1;2 unused \x83\x41;",
                     "4 unused A;2 unused \x83\x41;3 unused \xB1;"},
        CodePageCase{"DuplicatesAreEqualBytes",
                     ".Note Names\n[\x83\x41]\n[\x83\x41]\n",
                     "3 dup \x83\x41;2 unused \x83\x41;3 unused \x83\x41;",
                     "3 dup \x83\x41;2 unused \x83\x41;3 unused \x83\x41;"}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
