#include "cli/json_text.h"

#include <cstdint>
#include <cstdio>

namespace {

// Windows-1252 bytes 0x80..0x9F; the five it leaves undefined keep the
// code point of their value, as 0xA0..0xFF do.
constexpr std::uint16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& out, std::uint32_t code) {
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code >> 6)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

// The length of the well-formed UTF-8 sequence at the start of `bytes`, or
// 0 when it does not start with one (overlong forms, surrogates and code
// points past U+10FFFF included).
std::size_t Utf8SequenceLength(std::string_view bytes) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const unsigned char lead = byte(0);
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;  // the range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
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

}  // namespace

void AppendJsonString(std::string& json, std::string_view bytes) {
  json.push_back('"');
  for (std::size_t i = 0; i < bytes.size();) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c >= 0x80) {
      const std::size_t length = Utf8SequenceLength(bytes.substr(i));
      if (length > 0) {
        json.append(bytes.substr(i, length));
        i += length;
      } else {
        AppendUtf8(json, c < 0xA0 ? kCp1252High[c - 0x80] : c);
        ++i;
      }
      continue;
    }
    switch (c) {
      case '"': json.append("\\\""); break;
      case '\\': json.append("\\\\"); break;
      case '\n': json.append("\\n"); break;
      case '\r': json.append("\\r"); break;
      case '\t': json.append("\\t"); break;
      default:
        if (c < 0x20) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", c);
          json.append(escape);
        } else {
          json.push_back(static_cast<char>(c));
        }
    }
    ++i;
  }
  json.push_back('"');
}

std::string PathToUriReference(std::string_view path) {
  constexpr std::string_view kKept = "-._~/!$&'()*+,;=@";
  std::string uri;
  for (const char ch : path) {
    const unsigned char c = static_cast<unsigned char>(ch);
    const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (alnum || kKept.find(ch) != std::string_view::npos) {
      uri.push_back(ch);
    } else {
      char escape[4];
      std::snprintf(escape, sizeof escape, "%%%02X", c);
      uri.append(escape);
    }
  }
  return uri;
}
