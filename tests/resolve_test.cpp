// The uses index that the list rules and the language server share: each
// definition's references, in file order, whatever the resolution holds.
#include <gtest/gtest.h>

#include <vector>

#include "checker/resolve.h"

namespace {

TEST(IndexUsesTest, EachDefinitionsReferencesInFileOrder) {
  struct Case {
    const char* label;
    std::vector<int> resolution;
    int definitions;
    std::vector<int> starts;
    std::vector<int> uses;
  } cases[] = {
      {"NoReferences", {}, 2, {0, 0, 0}, {}},
      {"NoDefinitions", {-1, -1}, 0, {0}, {}},
      {"NotFoundLeftOut", {-1, 0, -1}, 1, {0, 1}, {1}},
      {"InterleavedKeepFileOrder", {1, 0, 1, 0, 1}, 2, {0, 2, 5}, {1, 3, 0, 2, 4}},
      {"UnusedDefinitionBetween", {2, 0}, 3, {0, 1, 1, 2}, {1, 0}},
      // A resolution that names a definition past the end (never made by
      // the engine) is left out rather than written past the index.
      {"OutOfRangeLeftOut", {5, 0}, 1, {0, 1}, {1}},
  };
  for (const Case& c : cases) {
    const CUses index = IndexUses(c.resolution, c.definitions);
    EXPECT_EQ(index.starts, c.starts) << c.label;
    EXPECT_EQ(index.uses, c.uses) << c.label;
  }
}

}  // namespace
