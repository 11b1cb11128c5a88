#include "web/binding/text_codec.h"

#include <algorithm>
#include <cstring>

#include "platform/code_page.h"
#include "platform/tables/code_page_tables.h"

namespace {

constexpr std::uint32_t kEscapeBase = 0xDC00;  // U+DC80..U+DCFF: bytes 0x80..0xFF

std::size_t PairIndex(unsigned char lead, unsigned char trail) {
  return static_cast<std::size_t>(lead - 0x81) * 192 + (trail - 0x40);
}

std::uint32_t Utf8Code(std::string_view sequence) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(sequence[i]); };
  switch (sequence.size()) {
    case 1:
      return byte(0);
    case 2:
      return (byte(0) & 0x1Fu) << 6 | (byte(1) & 0x3Fu);
    case 3:
      return (byte(0) & 0x0Fu) << 12 | (byte(1) & 0x3Fu) << 6 | (byte(2) & 0x3Fu);
    default:
      return (byte(0) & 0x07u) << 18 | (byte(1) & 0x3Fu) << 12 | (byte(2) & 0x3Fu) << 6 |
             (byte(3) & 0x3Fu);
  }
}

}  // namespace

CTextCodec::CTextCodec(int number) : m_number(number == 0 ? 1252 : number) {
  m_utf8 = m_number == 65001;
  const std::optional<CCodePage> page = CCodePage::FromNumber(m_number);
  m_doubleByte = page && page->IsDoubleByte();
  m_lead.assign(256, false);
  if (m_doubleByte) {
    for (int c = 0; c < 256; ++c) m_lead[c] = page->IsLeadByte(static_cast<unsigned char>(c));
  }
  if (m_utf8) return;
  const CCodePageTable* table = FindCodePageTable(m_number);
  m_high.assign(128, 0);
  for (int c = 0x80; c < 0x100; ++c) {
    std::uint16_t code = table ? table->high[c - 0x80] : 0;
    // 1252 leaves five bytes undefined; they keep the code point of their
    // value, as everywhere else this program shows 1252 text.
    if (code == 0 && m_number == 1252) code = static_cast<std::uint16_t>(c);
    m_high[c - 0x80] = code;
  }
  if (m_doubleByte && table) m_pairs = table->pairs;
  // The first spelling of each character in byte order is the one it is
  // written with: singles, then pairs.
  for (int c = 0x80; c < 0x100; ++c) {
    if (m_high[c - 0x80] >= 0x80 && !m_lead[c])
      m_spelling.emplace(m_high[c - 0x80], static_cast<std::uint16_t>(c));
  }
  if (m_pairs) {
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
      if (!m_lead[lead]) continue;
      for (int trail = 0x40; trail <= 0xFF; ++trail) {
        const std::uint16_t code = m_pairs[PairIndex(lead, trail)];
        if (code >= 0x80) m_spelling.emplace(code, static_cast<std::uint16_t>(lead << 8 | trail));
      }
    }
  }
}

CTextCodec::CDecoded CTextCodec::DecodeOne(std::string_view bytes) const {
  const auto c = static_cast<unsigned char>(bytes[0]);
  if (c < 0x80) return {c, 1};
  if (m_utf8) {
    if (const std::size_t length = Utf8SequenceLength(bytes))
      return {Utf8Code(bytes.substr(0, length)), length};
    return {kEscapeBase + c, 1};
  }
  const auto spelledSo = [&](std::uint16_t code, std::uint16_t spelling) {
    const auto it = m_spelling.find(code);
    return code >= 0x80 && it != m_spelling.end() && it->second == spelling;
  };
  if (m_lead[c]) {
    // The engine reads a lead byte and its trail as one character; so
    // does the editor's text, as one character or as two escapes. A byte
    // below 0x40 is no trail in any of these code pages: a line end or a
    // character of its own.
    const auto trail = bytes.size() >= 2 ? static_cast<unsigned char>(bytes[1]) : 0;
    if (trail < 0x40) return {kEscapeBase + c, 1};
    const std::uint16_t code = m_pairs ? m_pairs[PairIndex(c, trail)] : 0;
    if (spelledSo(code, static_cast<std::uint16_t>(c << 8 | trail))) return {code, 2};
    return {kEscapeBase + c, 2, trail < 0x80 ? trail : kEscapeBase + trail};
  }
  const std::uint16_t code = m_high[c - 0x80];
  if (spelledSo(code, c)) return {code, 1};
  return {kEscapeBase + c, 1};
}

std::u16string CTextCodec::Decode(std::string_view bytes, bool* escaped) const {
  // No character takes fewer bytes than UTF-16 units: room for the text
  // at once, written through a pointer, then cut to its length.
  std::u16string text(bytes.size(), u'\0');
  char16_t* out = text.data();
  bool anyEscape = false;
  for (std::size_t i = 0; i < bytes.size();) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c < 0x80) {
      *out++ = c;
      ++i;
      continue;
    }
    const CDecoded decoded = DecodeOne(bytes.substr(i));
    for (const std::uint32_t code : {decoded.code, decoded.second}) {
      if (code == 0) continue;
      if (code >= 0x10000) {
        *out++ = static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
        *out++ = static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
      } else {
        anyEscape = anyEscape || (code >= kEscapeBase && code < kEscapeBase + 0x100);
        *out++ = static_cast<char16_t>(code);
      }
    }
    i += decoded.length;
  }
  text.resize(static_cast<std::size_t>(out - text.data()));
  if (escaped) *escaped = anyEscape;
  return text;
}

std::pair<std::size_t, std::size_t> CTextCodec::Columns(std::string_view line, std::size_t begin,
                                                        std::size_t end) const {
  std::size_t units = 0;
  std::size_t start = 0;
  for (std::size_t i = 0; i < line.size() && i < std::max(begin, end);) {
    const CDecoded decoded = static_cast<unsigned char>(line[i]) < 0x80
                                 ? CDecoded{static_cast<unsigned char>(line[i]), 1}
                                 : DecodeOne(line.substr(i));
    units += (decoded.code >= 0x10000 ? 2 : 1) + (decoded.second ? 1 : 0);
    if (i < begin) start = units;
    i += decoded.length;
  }
  return {start, units};
}

bool CTextCodec::EncodeOne(std::uint32_t code, std::string& bytes) const {
  if (code < 0x80) {
    bytes.push_back(static_cast<char>(code));
    return true;
  }
  if (code >= kEscapeBase + 0x80 && code <= kEscapeBase + 0xFF) {
    bytes.push_back(static_cast<char>(code - kEscapeBase));
    return true;
  }
  if (code >= 0xD800 && code <= 0xDFFF) return false;  // any other lone surrogate
  if (m_utf8) {
    AppendUtf8(bytes, code);
    return true;
  }
  if (code > 0xFFFF) return false;
  const auto it = m_spelling.find(static_cast<std::uint16_t>(code));
  if (it == m_spelling.end()) return false;
  if (it->second > 0xFF) bytes.push_back(static_cast<char>(it->second >> 8));
  bytes.push_back(static_cast<char>(it->second & 0xFF));
  return true;
}

bool CTextCodec::Encode(std::u16string_view text, std::string_view lineEnd, std::string& bytes,
                        std::size_t& bad) const {
  bytes.clear();
  bytes.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const char16_t unit = text[i];
    if (!lineEnd.empty() && (unit == u'\r' || unit == u'\n')) {
      bytes += lineEnd;
      i += unit == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n' ? 2 : 1;
      continue;
    }
    std::uint32_t code = unit;
    std::size_t length = 1;
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((unit - 0xD800u) << 10) + (text[i + 1] - 0xDC00u);
      length = 2;
    }
    if (!EncodeOne(code, bytes)) {
      bad = i;
      return false;
    }
    i += length;
  }
  return true;
}

Utf8Shape ShapeAsUtf8(std::string_view bytes) {
  bool beyondAscii = false;
  for (std::size_t i = 0; i < bytes.size();) {
    // Eight ASCII bytes at a time: most files are ASCII all through.
    std::uint64_t word = 0;
    if (i + sizeof word <= bytes.size()) {
      std::memcpy(&word, bytes.data() + i, sizeof word);
      if ((word & 0x8080808080808080ull) == 0) {
        i += sizeof word;
        continue;
      }
    }
    if (static_cast<unsigned char>(bytes[i]) < 0x80) {
      ++i;
      continue;
    }
    const std::size_t length = Utf8SequenceLength(bytes.substr(i));
    if (length == 0) return Utf8Shape::malformed;
    beyondAscii = true;
    i += length;
  }
  return beyondAscii ? Utf8Shape::wellFormed : Utf8Shape::ascii;
}
