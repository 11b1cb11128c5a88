#include <iconv.h>

#include <cerrno>
#include <string>

#include "platform/code_page.h"

// These systems have no ANSI code page; names are read byte by byte unless
// the user asks for a code page.
int GetAnsiCodePage() { return 0; }

namespace {

// iconv's name for the Windows code page `number`.
std::string IconvName(int number) {
  struct Named {
    int number;
    const char* name;
  };
  static constexpr Named kNames[] = {
      {20127, "ASCII"},   {10000, "MACINTOSH"}, {20866, "KOI8-R"}, {21866, "KOI8-U"},
      {65001, "UTF-8"},   {28591, "ISO-8859-1"}, {28592, "ISO-8859-2"},
      {28593, "ISO-8859-3"}, {28594, "ISO-8859-4"}, {28595, "ISO-8859-5"},
      {28596, "ISO-8859-6"}, {28597, "ISO-8859-7"}, {28598, "ISO-8859-8"},
      {28599, "ISO-8859-9"}, {28603, "ISO-8859-13"}, {28605, "ISO-8859-15"},
      {936, "GBK"},       {950, "BIG5"},
  };
  for (const Named& named : kNames) {
    if (named.number == number) return named.name;
  }
  return "CP" + std::to_string(number);
}

}  // namespace

bool DecodeWithSystem(int number, std::string_view character, std::string& utf8) {
  const iconv_t converter = iconv_open("UTF-8", IconvName(number).c_str());
  if (converter == reinterpret_cast<iconv_t>(-1)) return false;
  char in[8];
  char out[32];
  if (character.size() > sizeof in) return false;
  character.copy(in, character.size());
  char* inPtr = in;
  std::size_t inLeft = character.size();
  char* outPtr = out;
  std::size_t outLeft = sizeof out;
  const std::size_t converted = iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft);
  iconv_close(converter);
  // Every byte must make one character; a partial one is no character.
  if (converted == static_cast<std::size_t>(-1) || inLeft != 0 || outPtr == out) return false;
  utf8.append(out, static_cast<std::size_t>(outPtr - out));
  return true;
}
