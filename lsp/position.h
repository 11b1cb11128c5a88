// Positions as the protocol counts them: a 0-based line and a character
// offset in code units of the negotiated encoding, over the document's
// UTF-8 bytes.
#ifndef VELTRANE_LSP_POSITION_H_
#define VELTRANE_LSP_POSITION_H_

#include <cstddef>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

enum class PositionEncoding { utf16, utf8 };

// The protocol's name of `encoding`: "utf-16" or "utf-8".
std::string_view EncodingName(PositionEncoding encoding);

struct CPosition {
  std::uint32_t line = 0;
  std::uint32_t character = 0;
  // Line first, then character: the order of the text.
  auto operator<=>(const CPosition&) const = default;
};

struct CRange {
  CPosition start;
  CPosition end;
  bool operator==(const CRange&) const = default;
  // Whether the two share a position; touching counts, so that a cursor
  // just after a name is on it.
  bool Touches(const CRange& other) const { return !(end < other.start || other.end < start); }
};

// An edit of a document: the range it replaces, or none for the whole
// text, and the new text.
struct CTextChange {
  std::optional<CRange> range;
  std::string text;
};

// The number of code units `bytes` take. A byte that does not start a
// well-formed UTF-8 sequence counts as one unit of its own, as the U+FFFD
// it would be shown as.
std::uint32_t UnitsOf(std::string_view bytes, PositionEncoding encoding);

// The byte offset within `line` at which code unit `units` starts. Past the
// line's end: the line's length. Inside a character (half of a UTF-16
// surrogate pair, the middle of a UTF-8 sequence): that character's start.
std::size_t ByteOfUnits(std::string_view line, std::uint32_t units, PositionEncoding encoding);

// The length of the UTF-8 sequence that starts `bytes`, or 1 for a byte
// that starts none.
std::size_t SequenceLength(std::string_view bytes);

#endif  // VELTRANE_LSP_POSITION_H_
