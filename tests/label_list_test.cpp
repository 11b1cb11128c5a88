#include "checker/label_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

}  // namespace
