#include "checker/label_list.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "checker/definition_index.h"

namespace {

TEST(LabelListTest, IndexOutsideTheListGivesNeutralValues) {
  CLabelList list;
  list.Add("a", 1, "[a]\n", 1);
  for (int index : {-1, 1, 1000}) {
    EXPECT_EQ(list.GetName(index), "") << index;
    EXPECT_EQ(list.GetText(index), "") << index;
    EXPECT_EQ(list.GetLine(index), -1) << index;
    EXPECT_EQ(list.GetKind(index), 0) << index;
    EXPECT_FALSE(list.IsUsed(index)) << index;
    list.MarkUsed(index);
  }
  EXPECT_EQ(list.GetCount(), 1);
  EXPECT_FALSE(list.IsUsed(0));
  list.MarkUsed(0);
  EXPECT_TRUE(list.IsUsed(0));
}

TEST(LabelListTest, GrowingKeepsEveryEntry) {
  CLabelList list;
  EXPECT_EQ(list.GetCapacity(), 1500);
  for (int i = 0; i < 1500; ++i)
    list.Add("n" + std::to_string(i), i + 1, "t" + std::to_string(i), i % 7);
  list.MarkUsed(0);
  list.MarkUsed(1499);
  list.Add("last", 1501, "[last]", 3);
  EXPECT_EQ(list.GetCapacity(), 2500);
  ASSERT_EQ(list.GetCount(), 1501);
  for (int i = 0; i < 1500; ++i) {
    ASSERT_EQ(list.GetName(i), "n" + std::to_string(i));
    ASSERT_EQ(list.GetLine(i), i + 1);
    ASSERT_EQ(list.GetText(i), "t" + std::to_string(i));
    ASSERT_EQ(list.GetKind(i), i % 7);
    ASSERT_EQ(list.IsUsed(i), i == 0 || i == 1499);
  }
  EXPECT_FALSE(list.IsUsed(1500));
}

TEST(LabelListTest, KeepsEveryByteOfLongAndManyTexts) {
  // Enough bytes to fill several of the list's internal blocks, one text
  // larger than any block, and names that are and are not part of their text.
  CLabelList list;
  std::vector<std::string> texts;
  for (int i = 0; i < 3000; ++i)
    texts.push_back("[" + std::to_string(i) + "]" + std::string(250, 'a' + i % 26) + "\n");
  texts.push_back(std::string(5 << 20, 'x'));
  for (std::size_t i = 0; i < texts.size(); ++i) {
    const std::string_view text = texts[i];
    if (i % 2 == 0)
      list.Add(text.substr(1, text.find(']') - 1), static_cast<int>(i), text, 1);
    else
      list.Add("other " + std::to_string(i), static_cast<int>(i), text, 1);
  }
  texts[0].assign(texts[0].size(), '?');  // the list holds copies
  ASSERT_EQ(list.GetCount(), 3001);
  for (int i = 0; i < 3000; ++i) {
    ASSERT_EQ(list.GetName(i), i % 2 == 0 ? std::to_string(i) : "other " + std::to_string(i));
    ASSERT_EQ(list.GetText(i), i == 0 ? "[0]" + std::string(250, 'a') + "\n" : texts[i]);
  }
  EXPECT_EQ(list.GetText(3000), texts[3000]);
}

struct SortCase {
  std::vector<std::string> names;  // added with lines 1, 2, ...
  std::vector<int> linesAfterSort;
};

TEST(LabelListTest, SortIsStableByUnsignedBytes) {
  const SortCase cases[] = {
      {{}, {}},
      {{"only"}, {1}},
      {{"b", "a", "b", "A"}, {4, 2, 1, 3}},
      // Bytes above 0x7f sort after ASCII, as unsigned values.
      {{"\xe9t\xe9", "z", "Z"}, {3, 2, 1}},
      // A prefix sorts before the longer name; blanks are ordinary bytes.
      {{"Drums ", "Drums", " Drums"}, {3, 2, 1}},
      {{"x", "x", "x", "w"}, {4, 1, 2, 3}},
      // Around the eighth byte, where comparing a number made of the first
      // eight bytes stops and comparing names goes on; zero bytes too.
      {{"abcdefghZ", "abcdefghA", "abcdefgh", std::string("abcdefg\0", 8), "abcdefg",
        "abcdefghA"},
       {5, 4, 3, 2, 6, 1}},
      {{"\xff\xff", "\xff", "\x01", std::string(1, '\0'), "", std::string(9, '\0')},
       {5, 4, 6, 3, 2, 1}},
  };
  for (const SortCase& c : cases) {
    CLabelList list;
    for (std::size_t i = 0; i < c.names.size(); ++i)
      list.Add(c.names[i], static_cast<int>(i) + 1, "", 0);
    list.Sort();
    std::vector<int> lines;
    for (int i = 0; i < list.GetCount(); ++i) lines.push_back(list.GetLine(i));
    EXPECT_EQ(lines, c.linesAfterSort);
  }
}

TEST(LabelListTest, SortMovesUsedFlagsWithTheirEntries) {
  CLabelList list;
  list.Add("b", 1, "[b]\n", 1);
  list.Add("a", 2, "[a]\n", 2);
  list.MarkUsed(0);
  list.Sort();
  EXPECT_EQ(list.GetName(0), "a");
  EXPECT_FALSE(list.IsUsed(0));
  EXPECT_EQ(list.GetText(1), "[b]\n");
  EXPECT_EQ(list.GetKind(1), 1);
  EXPECT_TRUE(list.IsUsed(1));
}

// A long list is sorted as two halves at once and merged: still by name in
// the code page, equal names still in the order they were added.
TEST(LabelListTest, LongListSortsStablyInEveryCodePage) {
  for (const int page : {0, 932}) {
    const CCodePage codePage = CCodePage::FromNumber(page).value_or(CCodePage());
    CLabelList list;
    constexpr int kCount = 150000;
    for (int i = 0; i < kCount; ++i) {
      // 300 names, some of double-byte characters whose trail bytes sort
      // differently from their bytes, each added many times over.
      const int n = i * 7919 % 300;
      const std::string name = n % 3 == 0
                                   ? "\x83" + std::string(1, static_cast<char>(0x40 + n % 60))
                                   : "N" + std::to_string(n);
      list.Add(name, i + 1, "[" + name + "]\n", 1);
    }
    list.Sort(codePage);
    ASSERT_EQ(list.GetCount(), kCount);
    for (int j = 1; j < kCount; ++j) {
      const CLabelEntry& before = list.At(j - 1);
      const CLabelEntry& after = list.At(j);
      const int order = codePage.Compare(before.name, after.name);
      ASSERT_LE(order, 0) << page << " at " << j;
      if (order == 0) {
        ASSERT_LT(before.line, after.line) << page << " at " << j;
      }
    }
  }
}

// The index finds the first definition of each name and kind in sorted
// order and marks the others shadowed, on one thread and, from a size on,
// on two; names it does not hold are not found.
TEST(DefinitionIndexTest, FindsTheFirstOfEachNameAndKind) {
  for (const int count : {1000, 70000}) {
    CLabelList list;
    for (int i = 0; i < count; ++i) {
      // Each name about seven times, under three kinds.
      const std::string name = "L" + std::to_string(i * 7919 % (count / 7));
      list.Add(name, i + 1, "[" + name + "]\n", 1 + i % 3);
    }
    list.Sort();
    const CDefinitionIndex index(list);
    std::map<std::pair<std::string, int>, int> first;
    for (int j = 0; j < count; ++j) {
      const CLabelEntry& entry = list.At(j);
      const bool added = first.try_emplace({std::string(entry.name), entry.kind}, j).second;
      ASSERT_EQ(entry.shadowed, !added) << count << " at " << j;
    }
    for (const auto& [key, j] : first) ASSERT_EQ(index.Find(key.first, key.second), j) << count;
    EXPECT_EQ(index.Find("L1", 4), -1);
    EXPECT_EQ(index.Find("M1", 1), -1);
    EXPECT_EQ(index.Find("", 1), -1);
  }
}

}  // namespace
