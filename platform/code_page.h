// The code page names are read in. In a double-byte code page a lead byte
// and the byte after it are one character: a search for "]" must not stop
// at a trail byte of the same value, and names sort by character, not by
// byte. Everything else about a name (lengths, positions, equality) stays
// a matter of bytes.
#ifndef VELTRANE_PLATFORM_CODE_PAGE_H_
#define VELTRANE_PLATFORM_CODE_PAGE_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <optional>
#include <string_view>

class CCodePage {
 public:
  // A single-byte code page: every byte is a character of its own.
  CCodePage() = default;

  // The code page with Windows number `number`: 932, 936, 949 or 950 for
  // the double-byte ones, or one of the single-byte code pages (1252, 850,
  // 28591, ...). Returns nullopt for a number it does not know.
  static std::optional<CCodePage> FromNumber(int number);

  // The number it was made from; 0 for the default single-byte code page.
  int GetNumber() const { return m_number; }
  bool IsDoubleByte() const { return m_bDoubleByte; }
  // UTF-8 (65001): names are still read byte by byte, but a well-formed
  // sequence is one character wherever characters are counted.
  bool IsUtf8() const { return m_number == 65001; }
  bool IsLeadByte(unsigned char c) const { return m_lead[c]; }

  // The position of the first character `c` in `text`, or npos. The byte
  // after a lead byte is part of that character and never matches; a lead
  // byte that is the last byte of `text` stands alone.
  std::size_t Find(std::string_view text, char c) const;

  // Negative, 0 or positive as `a` sorts before, with or after `b`, by
  // character codes: a lead byte and the byte after it are one character
  // of code lead * 256 + trail, any other byte is its own code, and a name
  // that is a prefix of another sorts first. 0 only for equal bytes.
  int Compare(std::string_view a, std::string_view b) const;

  // `bytes` as UTF-8 text for people. A double-byte code page decodes each
  // character; the others keep well-formed UTF-8 sequences, which modern
  // editors write, and decode every other byte. What the code page cannot
  // decode is taken byte by byte as Windows-1252, so no byte is lost and
  // the result is always well-formed.
  std::string ToUtf8(std::string_view bytes) const;

  // The number of characters in `bytes` as ToUtf8 shows them: a lead byte
  // with the byte after it, or a well-formed UTF-8 sequence, is one.
  std::size_t CountCharacters(std::string_view bytes) const;

 private:
  CCodePage(int number, bool doubleByte) : m_number(number), m_bDoubleByte(doubleByte) {}

  int m_number = 0;
  bool m_bDoubleByte = false;
  std::array<bool, 256> m_lead{};
};

// The number of the system's ANSI code page: what GetACP gives on Windows,
// 0 (single-byte) on systems without one.
int GetAnsiCodePage();

// Decodes `character`, the bytes of one character of code page `number`,
// with this program's own tables, appending it to `utf8` as UTF-8. Returns
// false, appending nothing, when there is no table for the code page or the
// bytes are no character of it.
bool DecodeCharacter(int number, std::string_view character, std::string& utf8);

// The length of the well-formed UTF-8 sequence at the start of `bytes`, or
// 0 when it does not start with one (overlong forms, surrogates and code
// points past U+10FFFF included).
std::size_t Utf8SequenceLength(std::string_view bytes);

// Appends code point `code` to `out` as UTF-8.
void AppendUtf8(std::string& out, std::uint32_t code);

// The code page of the system's ANSI code page; single-byte when the system
// has none or it is one this program does not know.
CCodePage SystemCodePage();

#endif  // VELTRANE_PLATFORM_CODE_PAGE_H_
