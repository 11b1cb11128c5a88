// Resolution: which definition each reference names, by name and kind, on
// whole files; and the uses index that the list rules and the language
// server share: each definition's references, in file order, whatever the
// resolution holds.
#include "checker/resolve.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "tests/check_fixture.h"

namespace {

struct ResolveCase {
  const char* label;
  std::string file;
  Flags flags;
};

// The case's label, so that test names and failure reports stay short.
void PrintTo(const ResolveCase& c, std::ostream* os) { *os << c.label; }

class ResolveTest : public ::testing::TestWithParam<ResolveCase> {};

TEST_P(ResolveTest, MarksMatchesByNameAndKind) {
  ScratchDir dir;
  EXPECT_EQ(UsedFlags(CheckContent(dir, GetParam().file).result), GetParam().flags);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ResolveTest,
    ::testing::Values(
        ResolveCase{"NoReferences", ".Patch Names\n[A]\n[B]\n", {"00", ""}},
        ResolveCase{"SameKindResolves",
                    ".Controller Names\n[Standard]\nControl=Standard\n", {"1", "1"}},
        ResolveCase{"OtherKindDoesNot",
                    ".Note Names\n[Standard]\nControl=Standard\n", {"0", "0"}},
        ResolveCase{"TwoReferencesOneDefinition",
                    ".Patch Names\n[GM]\n.Instrument Definitions\n[I]\n"
                    "Patch[*]=GM\nPatch[0]=GM\n",
                    {"11", "11"}},
        ResolveCase{"FirstOfTwoEqualDefinitions",
                    ".Controller Names\n[Standard]\n[Standard]\nControl=Standard\n",
                    {"10", "1"}},
        ResolveCase{"InstrumentsArePreMarked",
                    ".Instrument Definitions\n[My Synth]\n", {"1", ""}},
        ResolveCase{"CaseMatters", ".Controller Names\n[std]\nControl=Std\n",
                    {"0", "0"}},
        ResolveCase{"EmptyNameMatchesEmptyName", ".RPN Names\n[]\n[X\nRPN=\n",
                    {"10", "1"}},
        ResolveCase{"KindZeroOnlyByBasedOnBeforeHeaders",
                    "[Base]\nBasedOn=Base\n.Note Names\nBasedOn=Base\n",
                    {"1", "10"}},
        ResolveCase{"SameNameDifferentKinds",
                    ".Controller Names\n[S]\n.RPN Names\n[S]\nRPN=S\n",
                    {"01", "1"}}),
    [](const auto& info) { return std::string(info.param.label); });


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
