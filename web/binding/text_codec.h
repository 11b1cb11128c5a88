// A file's bytes as the text an editor shows, and that text back into the
// same bytes: what the web page's editor holds of a file in a code page.
//
// Every run of bytes decodes to characters that encode to exactly that run
// again. A byte that is no character of the code page (or only a second
// spelling of one, as some double-byte characters have) becomes the lone
// surrogate U+DC00 + byte, which no real text holds; encoding writes it
// back as that byte. So decoding and encoding again gives the bytes back,
// whatever they are.
#ifndef VELTRANE_WEB_BINDING_TEXT_CODEC_H_
#define VELTRANE_WEB_BINDING_TEXT_CODEC_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

class CTextCodec {
 public:
  // Code page `number`: 65001 for UTF-8, a double-byte page (932, 936,
  // 949, 950), or a single-byte one; 0 reads as 1252.
  explicit CTextCodec(int number);

  int Number() const { return m_number; }

  // `bytes` as UTF-16 text; `escaped`, when given, says whether it holds
  // the escape of a byte (a lone surrogate).
  std::u16string Decode(std::string_view bytes, bool* escaped = nullptr) const;
  // The UTF-16 columns of bytes [begin, end) of `line` in the text that
  // Decode gives for the whole line: each offset counts the characters
  // that start before it, as the command line counts columns.
  std::pair<std::size_t, std::size_t> Columns(std::string_view line, std::size_t begin,
                                              std::size_t end) const;

  // `text` in the code page, each line break (CR LF, CR or LF) written as
  // `lineEnd`, or as it stands when `lineEnd` is empty. False when a
  // character cannot be written in the code page: `bad` is then the
  // offset of the first in `text`.
  bool Encode(std::u16string_view text, std::string_view lineEnd, std::string& bytes,
              std::size_t& bad) const;

 private:
  // The character at the start of `bytes` and how many bytes it takes. A
  // lead byte with a trail that makes no character (of its own spelling)
  // gives two: the lead's escape and the trail's.
  struct CDecoded {
    std::uint32_t code;
    std::size_t length;
    std::uint32_t second = 0;  // the trail's, when not 0
  };
  CDecoded DecodeOne(std::string_view bytes) const;
  // Appends `code` to `bytes`; false when the code page has no such
  // character.
  bool EncodeOne(std::uint32_t code, std::string& bytes) const;

  int m_number;
  bool m_utf8 = false;
  bool m_doubleByte = false;
  std::vector<bool> m_lead;
  // The character of each byte 0x80-0xFF alone, and of each pair
  // (lead - 0x81) * 192 + trail - 0x40; 0 where none.
  std::vector<std::uint16_t> m_high;
  const std::uint16_t* m_pairs = nullptr;
  // The one spelling each character is written with: its first in byte
  // order.
  std::unordered_map<std::uint16_t, std::uint16_t> m_spelling;
};

// What bytes are as UTF-8: ASCII alone, well-formed with other characters
// too, or not well-formed. A file's text is best shown in UTF-8 when its
// code page was not chosen and it is well-formed, else in 1252.
enum class Utf8Shape { ascii, wellFormed, malformed };
Utf8Shape ShapeAsUtf8(std::string_view bytes);

#endif  // VELTRANE_WEB_BINDING_TEXT_CODEC_H_
