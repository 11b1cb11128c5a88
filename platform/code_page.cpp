#include "platform/code_page.h"

#include <algorithm>
#include <iterator>

namespace {

struct ByteRange {
  unsigned char first, last;
};

struct DoubleByteCodePage {
  int number;
  ByteRange leads[2];  // a second range of {0, 0} is unused
};

// Lead-byte ranges of the double-byte ANSI code pages: Japanese Shift-JIS,
// simplified Chinese GBK, Korean and traditional Chinese Big5. In 932 the
// bytes between the two ranges (0xA1-0xDF) are half-width katakana, single
// bytes.
constexpr DoubleByteCodePage kDoubleByte[] = {
    {932, {{0x81, 0x9F}, {0xE0, 0xFC}}},
    {936, {{0x81, 0xFE}, {0, 0}}},
    {949, {{0x81, 0xFE}, {0, 0}}},
    {950, {{0x81, 0xFE}, {0, 0}}},
};

// Single-byte code pages, by their Windows numbers: the OEM and ANSI pages,
// Mac Roman, US-ASCII, ISO 8859-x, KOI8 and UTF-8, whose bytes of a
// character are never "]" or "=", so that it reads byte by byte correctly.
constexpr int kSingleByte[] = {
    437,   708,   720,   737,   775,   850,   852,   855,   857,   858,
    860,   861,   862,   863,   864,   865,   866,   869,   874,   1250,
    1251,  1252,  1253,  1254,  1255,  1256,  1257,  1258,  10000, 20127,
    20866, 21866, 28591, 28592, 28593, 28594, 28595, 28596, 28597, 28598,
    28599, 28603, 28605, 65001,
};

}  // namespace

std::optional<CCodePage> CCodePage::FromNumber(int number) {
  for (const DoubleByteCodePage& page : kDoubleByte) {
    if (page.number != number) continue;
    CCodePage codePage(number, true);
    for (const ByteRange& range : page.leads) {
      if (range.first == 0) continue;
      for (int c = range.first; c <= range.last; ++c) codePage.m_lead[c] = true;
    }
    return codePage;
  }
  if (std::find(std::begin(kSingleByte), std::end(kSingleByte), number) !=
      std::end(kSingleByte))
    return CCodePage(number, false);
  return std::nullopt;
}

std::size_t CCodePage::Find(std::string_view text, char c) const {
  if (!m_bDoubleByte) return text.find(c);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) {
      ++i;  // the trail byte belongs to this character
      continue;
    }
    if (text[i] == c) return i;
  }
  return std::string_view::npos;
}

int CCodePage::Compare(std::string_view a, std::string_view b) const {
  // string_view compares by unsigned byte value, which is the order of
  // character codes whenever no lead byte is involved.
  if (!m_bDoubleByte) return a.compare(b);
  // The bytes before the first difference parse alike in both names, so
  // the walk can step by whole characters of either.
  auto code = [this](std::string_view s, std::size_t i, std::size_t& length) {
    const unsigned char lead = static_cast<unsigned char>(s[i]);
    if (IsLeadByte(lead) && i + 1 < s.size()) {
      length = 2;
      return lead * 256u + static_cast<unsigned char>(s[i + 1]);
    }
    length = 1;
    return static_cast<unsigned>(lead);
  };
  std::size_t i = 0;
  for (;;) {
    if (i == a.size() || i == b.size())
      return (i == a.size() ? 0 : 1) - (i == b.size() ? 0 : 1);
    std::size_t length = 0;
    const unsigned ca = code(a, i, length);
    const unsigned cb = code(b, i, length);
    if (ca != cb) return ca < cb ? -1 : 1;
    i += length;  // equal codes are characters of equal length
  }
}

CCodePage SystemCodePage() {
  return CCodePage::FromNumber(GetAnsiCodePage()).value_or(CCodePage());
}
