// The characters of the code pages this program knows, as tables made at
// build time from published mappings: the same on every system.
#ifndef VELTRANE_PLATFORM_TABLES_CODE_PAGE_TABLES_H_
#define VELTRANE_PLATFORM_TABLES_CODE_PAGE_TABLES_H_

#include <cstdint>

// One code page: the code point of each byte 0x80-0xFF standing alone, and
// for the double-byte ones of each lead byte 0x81-0xFE with a trail byte
// 0x40-0xFF (at (lead - 0x81) * 192 + trail - 0x40). 0 marks bytes that are
// no character; bytes below 0x80 are ASCII.
struct CCodePageTable {
  int number;
  const std::uint16_t* high;   // 128 entries
  const std::uint16_t* pairs;  // 126 * 192 entries, or nullptr
};

// The table of Windows code page `number`, or nullptr for one without
// (UTF-8, US-ASCII and the numbers this program does not know).
const CCodePageTable* FindCodePageTable(int number);

#endif  // VELTRANE_PLATFORM_TABLES_CODE_PAGE_TABLES_H_
