// The notes on references not found and lists not used
// (checker/notes/check_notes.cpp), on small files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "checker/check.h"
#include "checker/rules/rule_selection.h"

namespace {

// A reference that names a list once its blanks or comment are gone gets
// a note that says so, before any "did you mean".
TEST(CheckNotesTest, TrimmedReferences) {
  const CRuleSelection rules = CRuleSelection::Defaults();
  CCheckOptions options;
  options.rules = &rules;
  const CCheckResult result =
      CheckBytes(".Patch Names\n[Drums]\n.Instrument Definitions\n[I]\nPatch[0]=Drums  \n"
                 "Patch[1]=Drums ; MSB=127\n",
                 options);
  std::vector<std::string> notes;
  for (const CFinding* finding : result.reported)
    if (finding->kind == FindingKind::notFound && finding->note) notes.push_back(finding->note->message);
  EXPECT_EQ(notes, (std::vector<std::string>{
                       "without the blanks at its end, it names \"Drums\" (line 2)",
                       "without the comment from \";\" on, it names \"Drums\" (line 2)"}));
}

}  // namespace
