#include <windows.h>

#include <cstdint>

#include "platform/code_page.h"

int GetAnsiCodePage() { return static_cast<int>(GetACP()); }

bool DecodeWithSystem(int number, std::string_view character, std::string& utf8) {
  wchar_t wide[8];
  const int count =
      MultiByteToWideChar(static_cast<UINT>(number), MB_ERR_INVALID_CHARS, character.data(),
                          static_cast<int>(character.size()), wide, 8);
  if (count <= 0) return false;
  for (int i = 0; i < count; ++i) {
    std::uint32_t code = static_cast<std::uint16_t>(wide[i]);
    if (code >= 0xD800 && code < 0xDC00 && i + 1 < count) {
      code = 0x10000 + ((code - 0xD800) << 10) + (static_cast<std::uint16_t>(wide[++i]) - 0xDC00);
    }
    AppendUtf8(utf8, code);
  }
  return true;
}
