// What fixing keeps of a check: the order of folded and reported findings,
// the counts, and text kept in blocks that never move.
#include "checker/fix_findings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

CFinding At(FindingKind kind, int line, std::uint32_t begin, bool fix) {
  CFinding finding;
  finding.kind = kind;
  finding.place.line = line;
  finding.place.begin = begin;
  if (fix) finding.fix = CFix{true, "fix " + std::to_string(line), {{1, 2, "x"}}};
  return finding;
}

TEST(FixFindingsTest, FoldedAndReportedFindingsStandInTheOrderReported) {
  const struct {
    const char* label;
    std::vector<CFinding> folded;
    std::vector<CFinding> reported;  // in the order reported
    std::vector<std::string> order;  // "LINE RULE" of each entry
  } cases[] = {
      {"folded later than their place", {At(FindingKind::gapInInstrument, 9, 0, true),
                                         At(FindingKind::duplicateNumber, 3, 0, true)},
       {}, {"3 VLT2002", "9 VLT3005"}},
      {"merged by place", {At(FindingKind::duplicateNumber, 4, 0, true)},
       {At(FindingKind::notFound, 2, 0, true), At(FindingKind::unused, 6, 0, true)},
       {"2 VLT1003", "4 VLT2002", "6 VLT1002"}},
      {"one line: by column, then rule", {At(FindingKind::duplicateNumber, 5, 3, true),
                                          At(FindingKind::noFinalLineEnd, 5, 0, true)},
       {At(FindingKind::commentAfterValue, 5, 0, true)}, {"5 VLT3001", "5 VLT3008", "5 VLT2002"}},
      {"without a fix: counted, not kept", {At(FindingKind::duplicateNumber, 1, 0, false)},
       {At(FindingKind::unused, 2, 0, false), At(FindingKind::unusedSuppression, 3, 0, false)},
       {"3 VLT0001"}},
  };
  for (const auto& c : cases) {
    CFixFindings findings;
    for (const CFinding& finding : c.folded) findings.Fold(finding);
    std::vector<const CFinding*> reported;
    for (const CFinding& finding : c.reported) reported.push_back(&finding);
    findings.Merge(reported);
    std::vector<std::string> order;
    for (std::size_t i = 0; i < findings.Size(); ++i)
      order.push_back(std::to_string(findings[i].line) + " " + std::string(RuleOf(findings[i].kind).id));
    EXPECT_EQ(order, c.order) << c.label;
    int counted = 0;
    for (std::size_t kind = 0; kind < kFindingKindCount; ++kind)
      counted += findings.Count(static_cast<FindingKind>(kind));
    EXPECT_EQ(counted, static_cast<int>(c.folded.size() + c.reported.size())) << c.label;
  }
}

TEST(FixFindingsTest, APartAppendedKeepsItsFixesAndMovesItsLines) {
  CFixFindings first;
  first.Fold(At(FindingKind::duplicateNumber, 2, 0, true));
  CFixFindings second;
  for (int line = 1; line <= 5000; ++line) second.Fold(At(FindingKind::duplicateNumber, line, 0, true));
  second.ShiftLines(10);
  first.Append(std::move(second));
  first.Merge({});
  ASSERT_EQ(first.Size(), 5001u);
  EXPECT_EQ(first.Count(FindingKind::duplicateNumber), 5001);
  EXPECT_EQ(first[0].line, 2);
  EXPECT_EQ(first[1].line, 11);
  EXPECT_EQ(first[5000].line, 5010);
  EXPECT_EQ(*first[5000].title, "fix 5000");
  ASSERT_EQ(first[5000].editCount, 1u);
  EXPECT_EQ(first[5000].edits[0].text, "x");
}

TEST(TextArenaTest, ViewsStayGoodAsMoreIsKeptAndBlocksMove) {
  CTextArena arena;
  CTextArena other;
  std::vector<std::string_view> views;
  std::vector<std::string> texts;
  for (int i = 0; i < 20000; ++i) {
    // Pieces of every size, one larger than a block.
    texts.push_back(std::string(static_cast<std::size_t>(i % 97), static_cast<char>('a' + i % 26)));
    if (i == 777) texts.back() = std::string(100000, 'z');
    views.push_back((i % 2 ? other : arena).Keep(texts.back()));
  }
  arena.Splice(other);
  CTextArena moved = std::move(arena);
  for (std::size_t i = 0; i < texts.size(); ++i) ASSERT_EQ(views[i], texts[i]) << i;
}

}  // namespace
