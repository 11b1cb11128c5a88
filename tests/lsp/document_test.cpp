#include "lsp/document.h"

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "lsp/position.h"

namespace {

constexpr auto kUtf16 = PositionEncoding::utf16;
constexpr auto kUtf8 = PositionEncoding::utf8;

// "ä" is 2 bytes and 1 UTF-16 unit, "€" 3 bytes and 1 unit, "𝄞" 4 bytes
// and 2 units (a surrogate pair).
const std::string kLine = "a\xC3\xA4" "b\xE2\x82\xAC" "c\xF0\x9D\x84\x9E" "d";

TEST(PositionTest, CountsUnits) {
  EXPECT_EQ(UnitsOf(kLine, kUtf16), 8u);
  EXPECT_EQ(UnitsOf(kLine, kUtf8), kLine.size());
  // Bytes that are not UTF-8 count one unit each.
  EXPECT_EQ(UnitsOf("\xFF\xC3(", kUtf16), 3u);
  EXPECT_EQ(UnitsOf("\xED\xA0\x80", kUtf16), 3u);  // an encoded surrogate
}

TEST(PositionTest, FindsBytesOfUnits) {
  struct Case {
    std::uint32_t units;
    PositionEncoding encoding;
    std::size_t byte;
  };
  const Case cases[] = {
      {0, kUtf16, 0},  {1, kUtf16, 1},  {2, kUtf16, 3},  {3, kUtf16, 4},
      {4, kUtf16, 7},  {5, kUtf16, 8},  {6, kUtf16, 8},  // inside the pair
      {7, kUtf16, 12}, {8, kUtf16, 13}, {99, kUtf16, 13},
      {2, kUtf8, 1},   // inside "ä"
      {3, kUtf8, 3},   {13, kUtf8, 13}, {14, kUtf8, 13},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ByteOfUnits(kLine, c.units, c.encoding), c.byte)
        << c.units << " in " << EncodingName(c.encoding);
  }
}

TEST(DocumentTest, SplitsLinesAtEveryLineEnd) {
  const CDocument document("a\nb\r\nc\rd\r\r\ne\n", 1);
  ASSERT_EQ(document.LineCount(), 7u);
  const char* lines[] = {"a", "b", "c", "d", "", "e", ""};
  for (std::size_t i = 0; i < 7; ++i) EXPECT_EQ(document.LineText(i), lines[i]) << i;
  EXPECT_EQ(document.LineText(7), "");
  EXPECT_EQ(document.OffsetOf({3, 0}, kUtf16), 7u);
  EXPECT_EQ(document.OffsetOf({0, 9}, kUtf16), 1u);   // past the line's end
  EXPECT_EQ(document.OffsetOf({99, 0}, kUtf16), document.Text().size());
}

struct EditCase {
  const char* name;
  std::string before;
  CPosition start, end;
  std::string text;
  std::string after;
};

TEST(DocumentTest, AppliesEdits) {
  const EditCase cases[] = {
      {"insert", "ab\ncd", {1, 1}, {1, 1}, "X", "ab\ncXd"},
      {"join lines", "ab\ncd", {0, 2}, {1, 0}, "", "abcd"},
      {"CR meets LF", "a\rb", {1, 0}, {1, 0}, "\n", "a\r\nb"},
      {"CR LF parted", "a\r\nb", {0, 1}, {0, 1}, "x", "ax\r\nb"},
      {"after a surrogate pair", "\xF0\x9D\x84\x9Ex", {0, 2}, {0, 3}, "y", "\xF0\x9D\x84\x9Ey"},
      {"end before start", "abc", {0, 2}, {0, 1}, "Z", "abZc"},
      {"past the end", "abc", {5, 0}, {9, 9}, "!", "abc!"},
      {"replace all", "a\nb\nc", {0, 0}, {2, 1}, "new\r", "new\r"},
  };
  for (const EditCase& c : cases) {
    CDocument document(c.before, 1);
    document.Replace({c.start, c.end}, c.text, kUtf16);
    EXPECT_EQ(document.Text(), c.after) << c.name;
    const CDocument fresh(c.after, 1);
    ASSERT_EQ(document.LineCount(), fresh.LineCount()) << c.name;
    for (std::size_t i = 0; i < fresh.LineCount(); ++i)
      EXPECT_EQ(document.LineStart(i), fresh.LineStart(i)) << c.name << " line " << i;
  }
}

TEST(DocumentTest, RandomEditsKeepTheLineIndex) {
  // Edits made of line ends of every kind, kept against a document built
  // from the final text.
  std::mt19937 random(15);
  const std::string pieces[] = {"\n", "\r", "\r\n", "x", "[A]", "\xC3\xA4", ""};
  CDocument document("start\r\n", 0);
  for (int step = 0; step < 2000; ++step) {
    auto position = [&] {
      const auto line = static_cast<std::uint32_t>(random() % (document.LineCount() + 1));
      return CPosition{line, static_cast<std::uint32_t>(random() % 6)};
    };
    CPosition a = position(), b = position();
    if (b < a) std::swap(a, b);
    document.Replace({a, b}, pieces[random() % 7] + pieces[random() % 7], kUtf16);
    const CDocument fresh(document.Text(), 0);
    ASSERT_EQ(document.LineCount(), fresh.LineCount()) << step;
    for (std::size_t i = 0; i < fresh.LineCount(); ++i)
      ASSERT_EQ(document.LineStart(i), fresh.LineStart(i)) << step << " line " << i;
  }
}

// The text the changes give when each is applied on its own to a document
// made afresh from the text before it: slow, and plainly right.
std::string AppliedOneByOne(std::string text, const std::vector<CTextChange>& changes) {
  for (const CTextChange& change : changes) {
    if (!change.range) {
      text = change.text;
      continue;
    }
    const CDocument before(text, 0);
    const std::size_t from = before.OffsetOf(change.range->start, kUtf16);
    const std::size_t to = std::max(from, before.OffsetOf(change.range->end, kUtf16));
    text.replace(from, to - from, change.text);
  }
  return text;
}

TEST(DocumentTest, ManyChangesAtOnceAsOneByOne) {
  // A replace-all sends its changes last first or first first; a hostile
  // client in any order, whole texts among them.
  enum class Order { random, forward, backward };
  const Order orders[] = {Order::random, Order::forward, Order::backward};
  std::mt19937 random(23);
  const std::string pieces[] = {"\n", "\r", "\r\n", "x", "[A]", "\xC3\xA4", "\xF0\x9D\x84\x9E", ""};
  for (const Order order : orders) {
    for (int round = 0; round < 40; ++round) {
      std::string start;
      for (int i = 0; i < 30; ++i) start += pieces[random() % 8];
      std::vector<CTextChange> changes;
      std::uint32_t line = order == Order::backward ? 20 : 0;
      for (int i = 0; i < 25; ++i) {
        CPosition a{static_cast<std::uint32_t>(random() % 12), static_cast<std::uint32_t>(random() % 5)};
        if (order == Order::forward) a.line = line++ / 2;
        if (order == Order::backward) a.line = line > 0 ? --line / 2 : 0;
        CPosition b = a;
        b.character += static_cast<std::uint32_t>(random() % 3);
        CTextChange change{CRange{a, b}, pieces[random() % 8] + pieces[random() % 8]};
        if (order == Order::random && random() % 20 == 0) change.range.reset();
        changes.push_back(change);
      }
      const std::string expected = AppliedOneByOne(start, changes);
      CDocument document(start, 0);
      document.ApplyChanges(changes, kUtf16);
      ASSERT_EQ(document.Text(), expected) << "round " << round;
      const CDocument fresh(expected, 0);
      ASSERT_EQ(document.LineCount(), fresh.LineCount()) << round;
      for (std::size_t i = 0; i < fresh.LineCount(); ++i)
        ASSERT_EQ(document.LineStart(i), fresh.LineStart(i)) << round << " line " << i;
    }
  }
}

}  // namespace
