#include <random>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "checker/fix/line_diff.h"
#include "lsp/features.h"

namespace {

// `before` with `changes` applied, taking the new lines from `after`.
std::string Apply(const std::vector<std::string_view>& before, const std::vector<std::string_view>& after,
                  const std::vector<CLineChange>& changes) {
  std::string out;
  std::size_t line = 0;
  for (const CLineChange& change : changes) {
    for (; line < change.oldBegin; ++line) out += before[line];
    for (std::size_t i = change.newBegin; i < change.newEnd; ++i) out += after[i];
    line = change.oldEnd;
  }
  for (; line < before.size(); ++line) out += before[line];
  return out;
}

std::string Join(const std::vector<std::string_view>& lines) {
  std::string out;
  for (std::string_view line : lines) out += line;
  return out;
}

// Changes as "old begin-end>new begin-end".
std::vector<std::string> Text(const std::vector<CLineChange>& changes) {
  std::vector<std::string> out;
  for (const CLineChange& c : changes) {
    out.push_back(std::to_string(c.oldBegin) + "-" + std::to_string(c.oldEnd) + ">" +
                  std::to_string(c.newBegin) + "-" + std::to_string(c.newEnd));
  }
  return out;
}

TEST(NearbyLineChangesTest, EachFixIsItsOwnRun) {
  struct Case {
    const char* name;
    std::string before;
    std::string after;
    std::vector<std::string> changes;
  } cases[] = {
      {"nothing changed", "a\nb\n", "a\nb\n", {}},
      {"one line changed", "a\nb\nc\n", "a\nB\nc\n", {"1-2>1-2"}},
      {"two changes far apart", "a\nb\nc\nd\ne\n", "A\nb\nc\nd\nE\n", {"0-1>0-1", "4-5>4-5"}},
      {"a line removed", "a\nb\nc\n", "a\nc\n", {"1-2>1-1"}},
      {"a line added", "a\nc\n", "a\nb\nc\n", {"1-1>1-2"}},
      {"a line moved up", "a\nx\nb\ny\n", "y\na\nx\nb\n", {"0-0>0-1", "3-4>4-4"}},
      {"the last line end added", "a\nb", "a\nb\n", {"1-2>1-2"}},
      {"everything", "a\nb\n", "c\nd\ne\n", {"0-2>0-3"}},
      {"to nothing", "a\nb\n", "", {"0-2>0-0"}},
      {"from nothing", "", "a\n", {"0-0>0-1"}},
  };
  for (const Case& c : cases) {
    const auto before = SplitLines(c.before);
    const auto after = SplitLines(c.after);
    const auto changes = NearbyLineChanges(before, after);
    EXPECT_EQ(Text(changes), c.changes) << c.name;
    EXPECT_EQ(Apply(before, after, changes), c.after) << c.name;
  }
}

TEST(NearbyLineChangesTest, AlwaysRebuildsTheNewText) {
  // Random texts of few distinct lines (many false matches) and random
  // edits of them: whatever runs come out, they make the new text.
  std::mt19937 random(29);
  const char* pool[] = {"a\n", "b\n", "\n", "[x]\n", "a"};
  for (int round = 0; round < 2000; ++round) {
    std::vector<std::string> lines;
    const int count = static_cast<int>(random() % 60);
    for (int i = 0; i < count; ++i) lines.push_back(pool[random() % 4]);
    std::vector<std::string> edited = lines;
    const int edits = static_cast<int>(random() % 8);
    for (int e = 0; e < edits; ++e) {
      const std::size_t at = edited.empty() ? 0 : random() % (edited.size() + 1);
      switch (random() % 3) {
        case 0: edited.insert(edited.begin() + static_cast<long>(at), pool[random() % 4]); break;
        case 1: if (at < edited.size()) edited.erase(edited.begin() + static_cast<long>(at)); break;
        default: if (at < edited.size()) edited[at] = pool[random() % 4];
      }
    }
    if (random() % 4 == 0) edited.push_back(pool[4]);
    std::string oldText;
    std::string newText;
    for (const std::string& line : lines) oldText += line;
    for (const std::string& line : edited) newText += line;
    const auto before = SplitLines(oldText);
    const auto after = SplitLines(newText);
    const auto changes = NearbyLineChanges(before, after);
    ASSERT_EQ(Apply(before, after, changes), Join(after)) << oldText << "|" << newText;
    for (std::size_t i = 1; i < changes.size(); ++i) {
      ASSERT_LT(changes[i - 1].oldEnd, changes[i].oldBegin + 1) << oldText << "|" << newText;
    }
  }
}

}  // namespace
