// How many edits apart two names are, bounded, in characters of the code page.
#include "checker/notes/edit_distance.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <map>
#include <vector>

#include "platform/code_page.h"

namespace {

// Each edit changes the multiset of bytes by at most one on each side and a
// transposition not at all, so the larger one-sided difference of the two
// multisets is a lower bound of the distance.
int MultisetDistance(std::string_view a, std::string_view b) {
  // All zero between calls: each call clears what it counted, which costs
  // less than clearing the whole table for the few bytes of two names.
  thread_local std::array<int, 256> counts{};
  for (const char c : a) ++counts[static_cast<unsigned char>(c)];
  for (const char c : b) --counts[static_cast<unsigned char>(c)];
  int onlyA = 0;
  int onlyB = 0;
  // Only the bytes that occur can be non-zero; visiting them again keeps
  // the cost proportional to the names, not to the alphabet, and leaves
  // the table clear.
  for (const char c : a) {
    int& n = counts[static_cast<unsigned char>(c)];
    if (n > 0) onlyA += n;
    if (n < 0) onlyB -= n;
    n = 0;
  }
  for (const char c : b) {
    int& n = counts[static_cast<unsigned char>(c)];
    if (n < 0) onlyB -= n;
    n = 0;
  }
  return std::max(onlyA, onlyB);
}

// The last row of each character of `a` seen so far, 0 for none: a table
// for bytes, a map for the few characters of a name read as UTF-8.
class CLastRows {
 public:
  int& operator[](unsigned char c) { return m_bytes[c]; }
  int& operator[](char32_t c) { return m_characters[c]; }

 private:
  std::array<int, 256> m_bytes{};
  std::map<char32_t, int> m_characters;
};

unsigned char Code(char c) { return static_cast<unsigned char>(c); }
char32_t Code(char32_t c) { return c; }

template <typename Char>
int PlainEditDistance(std::basic_string_view<Char> a, std::basic_string_view<Char> b) {
  // Lowrance and Wagner's table, bordered by a row and column of "infinity"
  // so that a transposition needs no bounds checks.
  const int rows = static_cast<int>(a.size());
  const int cols = static_cast<int>(b.size());
  const int infinity = rows + cols;
  const int width = cols + 2;
  std::vector<int> d(static_cast<std::size_t>((rows + 2) * width));
  auto at = [&](int i, int j) -> int& { return d[static_cast<std::size_t>(i * width + j)]; };
  at(0, 0) = infinity;
  for (int i = 0; i <= rows; ++i) {
    at(i + 1, 0) = infinity;
    at(i + 1, 1) = i;
  }
  for (int j = 0; j <= cols; ++j) {
    at(0, j + 1) = infinity;
    at(1, j + 1) = j;
  }
  CLastRows lastRowOf;
  for (int i = 1; i <= rows; ++i) {
    int lastColMatch = 0;
    for (int j = 1; j <= cols; ++j) {
      const int k = lastRowOf[Code(b[j - 1])];
      const int l = lastColMatch;
      const int cost = a[i - 1] == b[j - 1] ? 0 : 1;
      if (cost == 0) lastColMatch = j;
      at(i + 1, j + 1) = std::min({at(i, j) + cost, at(i + 1, j) + 1, at(i, j + 1) + 1,
                                   at(k, l) + (i - k - 1) + 1 + (j - l - 1)});
    }
    lastRowOf[Code(a[i - 1])] = i;
  }
  return at(rows + 1, cols + 1);
}

template <typename Char>
int BoundedDistance(std::basic_string_view<Char> a, std::basic_string_view<Char> b, int limit) {
  // Bytes both names start or end with take part in no cheapest edit.
  while (!a.empty() && !b.empty() && a.front() == b.front()) {
    a.remove_prefix(1);
    b.remove_prefix(1);
  }
  while (!a.empty() && !b.empty() && a.back() == b.back()) {
    a.remove_suffix(1);
    b.remove_suffix(1);
  }
  const int lengthGap = std::abs(static_cast<int>(a.size()) - static_cast<int>(b.size()));
  if (lengthGap > limit) return limit + 1;
  if constexpr (sizeof(Char) == 1) {
    if (MultisetDistance(a, b) > limit) return limit + 1;
  }
  return std::min(PlainEditDistance(a, b), limit + 1);
}

}  // namespace

int EditDistance(std::string_view a, std::string_view b) { return PlainEditDistance(a, b); }

int BoundedEditDistance(std::string_view a, std::string_view b, int limit) {
  return BoundedDistance(a, b, limit);
}

int BoundedEditDistance(std::u32string_view a, std::u32string_view b, int limit) {
  return BoundedDistance(a, b, limit);
}

std::u32string Utf8Characters(std::string_view bytes) {
  std::u32string characters;
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t length = Utf8SequenceLength(bytes.substr(i));
    const auto byte = [&](std::size_t k) { return static_cast<char32_t>(Code(bytes[i + k])); };
    if (length == 0) {
      characters.push_back(0x110000 + byte(0));
      ++i;
      continue;
    }
    // The lead byte's bits after its length marker, then six of each byte.
    constexpr char32_t kLeadBits[5] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    char32_t code = byte(0) & kLeadBits[length];
    for (std::size_t k = 1; k < length; ++k) code = (code << 6) | (byte(k) & 0x3F);
    characters.push_back(code);
    i += length;
  }
  return characters;
}

bool HasWideCharacters(const CCodePage& codePage) {
  return codePage.IsUtf8() || codePage.IsDoubleByte();
}

std::u32string CodePageCharacters(std::string_view bytes, const CCodePage& codePage) {
  if (codePage.IsUtf8()) return Utf8Characters(bytes);
  std::u32string characters;
  characters.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const unsigned char c = Code(bytes[i]);
    // As CountCharacters reads them: a lead byte takes the byte after it,
    // whatever it is; a lead byte at the very end is a character alone.
    if (codePage.IsDoubleByte() && codePage.IsLeadByte(c) && i + 1 < bytes.size()) {
      characters.push_back(0x10000 + (static_cast<char32_t>(c) << 8) + Code(bytes[i + 1]));
      ++i;
    } else {
      characters.push_back(c);
    }
  }
  return characters;
}
