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
  const std::size_t n = std::min(a.size(), b.size());
  const std::size_t i = static_cast<std::size_t>(
      std::mismatch(a.begin(), a.begin() + n, b.begin()).first - a.begin());
  auto sizes = [&] { return (i == a.size() ? 0 : 1) - (i == b.size() ? 0 : 1); };
  auto byte = [](std::string_view s, std::size_t k) {
    return static_cast<unsigned char>(s[k]);
  };
  // Both names agree up to i, so i is a character boundary in both or in
  // neither. A byte that cannot lead ends a character wherever it stands,
  // so the lead-byte values between the last such byte and i pair up: an
  // odd run means byte i is the trail of a character both names begin.
  std::size_t run = 0;
  while (run < i && IsLeadByte(byte(a, i - 1 - run))) ++run;
  if (i == n) return sizes();
  if (run % 2 == 1) return byte(a, i) < byte(b, i) ? -1 : 1;
  // A character boundary: a lead byte with a trail is a code above every
  // single byte; a lead byte that ends its name is a code of its own.
  auto code = [&](std::string_view s) {
    const unsigned lead = byte(s, i);
    return IsLeadByte(lead) && i + 1 < s.size() ? lead * 256u + byte(s, i + 1) : lead;
  };
  return code(a) < code(b) ? -1 : 1;
}

CCodePage SystemCodePage() {
  return CCodePage::FromNumber(GetAnsiCodePage()).value_or(CCodePage());
}
