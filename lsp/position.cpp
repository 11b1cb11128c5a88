#include "lsp/position.h"

namespace {

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// UTF-16 units of the sequence of `length` bytes.
std::uint32_t Utf16Units(std::size_t length) { return length == 4 ? 2 : 1; }

std::uint32_t UnitsOfSequence(std::size_t length, PositionEncoding encoding) {
  return encoding == PositionEncoding::utf8 ? static_cast<std::uint32_t>(length)
                                            : Utf16Units(length);
}

}  // namespace

std::string_view EncodingName(PositionEncoding encoding) {
  return encoding == PositionEncoding::utf8 ? "utf-8" : "utf-16";
}

std::size_t SequenceLength(std::string_view bytes) {
  if (bytes.empty()) return 0;
  const auto b0 = static_cast<unsigned char>(bytes[0]);
  std::size_t length;
  unsigned char low = 0x80, high = 0xBF;  // the second byte's range
  if (b0 < 0x80) return 1;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    length = 2;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    length = 3;
    if (b0 == 0xE0) low = 0xA0;
    if (b0 == 0xED) high = 0x9F;  // no surrogates
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    length = 4;
    if (b0 == 0xF0) low = 0x90;
    if (b0 == 0xF4) high = 0x8F;
  } else {
    return 1;
  }
  if (bytes.size() < length) return 1;
  const auto b1 = static_cast<unsigned char>(bytes[1]);
  if (b1 < low || b1 > high) return 1;
  for (std::size_t i = 2; i < length; ++i) {
    if (!IsContinuation(static_cast<unsigned char>(bytes[i]))) return 1;
  }
  return length;
}

std::uint32_t UnitsOf(std::string_view bytes, PositionEncoding encoding) {
  if (encoding == PositionEncoding::utf8) return static_cast<std::uint32_t>(bytes.size());
  std::uint32_t units = 0;
  std::size_t i = 0;
  while (i < bytes.size()) {
    if (static_cast<unsigned char>(bytes[i]) < 0x80) {
      ++units;
      ++i;
      continue;
    }
    const std::size_t length = SequenceLength(bytes.substr(i));
    units += Utf16Units(length);
    i += length;
  }
  return units;
}

std::size_t ByteOfUnits(std::string_view line, std::uint32_t units, PositionEncoding encoding) {
  std::size_t i = 0;
  std::uint32_t counted = 0;
  while (i < line.size()) {
    const std::size_t length = SequenceLength(line.substr(i));
    const std::uint32_t next = counted + UnitsOfSequence(length, encoding);
    if (next > units) return i;
    counted = next;
    i += length;
  }
  return line.size();
}
