#include "lsp/position.h"

#include <algorithm>

#include "platform/code_page.h"

namespace {

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

// A byte that starts no well-formed sequence counts as one character, as
// editors show it.
std::size_t SequenceLength(std::string_view bytes) {
  if (bytes.empty()) return 0;
  return std::max<std::size_t>(1, Utf8SequenceLength(bytes));
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
