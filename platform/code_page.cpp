#include "platform/code_page.h"

#include <algorithm>
#include <iterator>

#include "platform/tables/code_page_tables.h"

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

// Windows-1252 bytes 0x80..0x9F; the five it leaves undefined keep the
// code point of their value, as 0xA0..0xFF do.
constexpr std::uint16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendCp1252(std::string& out, unsigned char c) {
  AppendUtf8(out, c >= 0x80 && c < 0xA0 ? kCp1252High[c - 0x80] : c);
}

// Code pages whose bytes ToUtf8 reads with its own Windows-1252 table, so
// that the usual case needs no look-up.
bool IsCp1252(int number) { return number == 0 || number == 1252; }

}  // namespace

bool DecodeCharacter(int number, std::string_view character, std::string& utf8) {
  const CCodePageTable* table = FindCodePageTable(number);
  if (table == nullptr || character.empty() || character.size() > 2) return false;
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(character[i]); };
  std::uint16_t code = byte(0);
  if (character.size() == 2) {
    code = table->pairs != nullptr && byte(0) >= 0x81 && byte(0) <= 0xFE && byte(1) >= 0x40
               ? table->pairs[(byte(0) - 0x81) * 192 + (byte(1) - 0x40)]
               : 0;
  } else if (code >= 0x80) {
    code = table->high[code - 0x80];
  }
  if (code == 0) return false;
  AppendUtf8(utf8, code);
  return true;
}

std::size_t Utf8SequenceLength(std::string_view bytes) {
  if (bytes.empty()) return 0;
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const unsigned char lead = byte(0);
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;  // the range of the second byte
  if (lead < 0x80) {
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (bytes.size() < length) return 0;
  if (byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}

void AppendUtf8(std::string& out, std::uint32_t code) {
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code >> 6)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

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

std::string CCodePage::ToUtf8(std::string_view bytes) const {
  std::string utf8;
  utf8.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size();) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c < 0x80) {
      utf8.push_back(static_cast<char>(c));
      ++i;
      continue;
    }
    std::size_t length = 1;
    if (m_bDoubleByte) {
      if (IsLeadByte(c) && i + 1 < bytes.size()) length = 2;
    } else if (const std::size_t sequence = Utf8SequenceLength(bytes.substr(i))) {
      utf8.append(bytes.substr(i, sequence));
      i += sequence;
      continue;
    }
    const std::string_view character = bytes.substr(i, length);
    if (IsCp1252(m_number) || !DecodeCharacter(m_number, character, utf8)) {
      for (const char b : character) AppendCp1252(utf8, static_cast<unsigned char>(b));
    }
    i += length;
  }
  return utf8;
}

std::size_t CCodePage::CountCharacters(std::string_view bytes) const {
  std::size_t count = 0;
  for (std::size_t i = 0; i < bytes.size(); ++count) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (m_bDoubleByte)
      i += IsLeadByte(c) && i + 1 < bytes.size() ? 2 : 1;
    else
      i += std::max<std::size_t>(1, Utf8SequenceLength(bytes.substr(i)));
  }
  return count;
}

CCodePage SystemCodePage() {
  return CCodePage::FromNumber(GetAnsiCodePage()).value_or(CCodePage());
}
