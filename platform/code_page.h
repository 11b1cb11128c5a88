// The code page names are read in. In a double-byte code page a lead byte
// and the byte after it are one character: a search for "]" must not stop
// at a trail byte of the same value, and names sort by character, not by
// byte. Everything else about a name (lengths, positions, equality) stays
// a matter of bytes.
#ifndef VELTRANE_PLATFORM_CODE_PAGE_H_
#define VELTRANE_PLATFORM_CODE_PAGE_H_

#include <array>
#include <cstddef>
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

 private:
  CCodePage(int number, bool doubleByte) : m_number(number), m_bDoubleByte(doubleByte) {}

  int m_number = 0;
  bool m_bDoubleByte = false;
  std::array<bool, 256> m_lead{};
};

// The number of the system's ANSI code page: what GetACP gives on Windows,
// 0 (single-byte) on systems without one.
int GetAnsiCodePage();

// The code page of the system's ANSI code page; single-byte when the system
// has none or it is one this program does not know.
CCodePage SystemCodePage();

#endif  // VELTRANE_PLATFORM_CODE_PAGE_H_
