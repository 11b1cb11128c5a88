// Fixes applied to a file's bytes: which fixes of one round go in, the
// fix of a reference that a note says most likely means another list, and
// the rounds converging on generated files.
#include "checker/fix/fix_apply.h"
#include "checker/rules/rule_selection.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace std::string_literals;

CFix Fix(std::vector<CEdit> edits, bool safe = true) {
  CFix fix;
  fix.safe = safe;
  fix.title = "fix";
  fix.edits = std::move(edits);
  return fix;
}

struct RoundCase {
  const char* label;
  std::vector<CFix> fixes;  // one finding each, in this order
  bool unsafe;
  std::string after;        // of "abcdef"
  int fixed;
  int deferred;
};

TEST(ApplyFixesTest, TakesWhatDoesNotCollideAndLeavesTheRestWhole) {
  const RoundCase cases[] = {
      {"apart", {Fix({{0, 1, "X"}}), Fix({{4, 5, "Y"}})}, false, "XbcdYf", 2, 0},
      {"overlapping: the later waits", {Fix({{1, 4, "Z"}}), Fix({{3, 5, "W"}})}, false, "aZef", 1, 1},
      {"in the order of the first edit, not of the findings",
       {Fix({{3, 5, "W"}}), Fix({{1, 4, "Z"}})}, false, "aZef", 1, 1},
      {"a fix waits whole, even its edit that collides with nothing",
       {Fix({{0, 1, "X"}}), Fix({{0, 1, "Y"}, {4, 5, "Z"}})}, false, "Xbcdef", 1, 1},
      {"two insertions at one place: in the order of the findings",
       {Fix({{2, 2, "1"}}), Fix({{2, 2, "2"}})}, false, "ab12cdef", 2, 0},
      {"two equal insertions at one place: one fix shared", {Fix({{2, 2, "1"}}), Fix({{2, 2, "1"}})},
       false, "ab1cdef", 2, 0},
      {"an insertion at the end of a replacement", {Fix({{1, 3, "Z"}}), Fix({{3, 3, "+"}})}, false,
       "aZdef", 1, 1},
      {"replacements side by side", {Fix({{0, 2, "X"}}), Fix({{2, 4, "Y"}})}, false, "XYef", 2, 0},
      {"one fix shared by two findings", {Fix({{1, 2, "Q"}}), Fix({{1, 2, "Q"}})}, false, "aQcdef", 2, 0},
      {"an unsafe fix unasked", {Fix({{1, 2, "Q"}}, false)}, false, "abcdef", 0, 0},
      {"an unsafe fix asked for", {Fix({{1, 2, "Q"}}, false)}, true, "aQcdef", 1, 0},
      {"deleting and inserting", {Fix({{0, 3, ""}}), Fix({{6, 6, "\r\n"}})}, false, "def\r\n", 2, 0},
      {"past the end", {Fix({{5, 7, "X"}})}, false, "abcdef", 0, 0},
      {"edits out of order", {Fix({{4, 5, "X"}, {0, 1, "Y"}})}, false, "abcdef", 0, 0},
      {"edits that overlap each other", {Fix({{0, 3, "X"}, {2, 4, "Y"}})}, false, "abcdef", 0, 0},
      {"an edit that ends before it begins", {Fix({{3, 2, "X"}})}, false, "abcdef", 0, 0},
      {"no edits", {Fix({})}, false, "abcdef", 0, 0},
      {"grows, then shrinks", {Fix({{0, 1, "XYZW"}}), Fix({{2, 6, ""}})}, false, "XYZWb", 2, 0},
      {"shrinks, then grows past the old length", {Fix({{0, 3, ""}}), Fix({{4, 5, "LONGER"}})},
       false, "dLONGERf", 2, 0},
      {"grows at both ends", {Fix({{0, 0, "<<"}}), Fix({{6, 6, ">>>"}})}, false, "<<abcdef>>>", 2, 0},
  };
  for (const RoundCase& c : cases) {
    std::vector<CFinding> findings(c.fixes.size() + 1);
    std::vector<const CFinding*> reported;
    for (std::size_t i = 0; i < c.fixes.size(); ++i) {
      findings[i].fix = c.fixes[i];
      reported.push_back(&findings[i]);
    }
    reported.push_back(&findings.back());  // a finding without a fix is passed over
    const CFixRound round = ApplyFixes("abcdef", reported, c.unsafe);
    EXPECT_EQ(round.text, c.after) << c.label;
    EXPECT_EQ(round.fixed, c.fixed) << c.label;
    EXPECT_EQ(round.deferred, c.deferred) << c.label;
    // FixBytes edits its copy where it stands, rather than building a new
    // one: the same bytes all the same.
    bool first = true;
    const CFixOutcome outcome = FixBytes("abcdef", [&](std::string_view) {
      CCheckResult result;
      if (std::exchange(first, false)) {
        result.ruleFindings = findings;
        for (CFinding& finding : result.ruleFindings) result.reported.push_back(&finding);
      }
      return result;
    }, c.unsafe, 1);
    EXPECT_EQ(outcome.text, c.after) << c.label;
    // The fake's second check reports nothing: every finding is gone, the
    // one without a fix too.
    EXPECT_EQ(outcome.fixed, c.after == "abcdef" ? 0 : static_cast<int>(findings.size()))
        << c.label;
  }
}

const CRuleSelection& DefaultRules() {
  static const CRuleSelection rules = CRuleSelection::Defaults();
  return rules;
}

CCheckResult Check(std::string_view bytes, int codePage,
                   const CRuleSelection& rules = DefaultRules()) {
  CCheckOptions options;
  if (codePage != 0) options.codePage = *CCodePage::FromNumber(codePage);
  options.rules = &rules;
  return CheckBytes(bytes, options);
}

CFixOutcome Fixed(const std::string& bytes, int codePage, bool unsafe,
                  const CRuleSelection& rules = DefaultRules()) {
  return FixBytes(
      bytes, [codePage, &rules](std::string_view text) { return Check(text, codePage, rules); }, unsafe);
}

// `text` with every "\n" written as `lineEnd`.
std::string WithLineEnds(const std::string& text, const std::string& lineEnd) {
  std::string out;
  for (const char c : text) out += c == '\n' ? lineEnd : std::string(1, c);
  return out;
}

// A lone CR ends a line for editors but not for the check, which would
// read a file of them as one line: it stands in a comment line at the top.
struct LineEndVariant {
  const char* name;
  std::string lineEnd;
  std::string firstLine;
};
const LineEndVariant kVariants[] = {
    {"LF", "\n", ""}, {"CR LF", "\r\n", ""}, {"lone CR", "\r\n", "; one\rtwo\r\n"}};

struct FixCase {
  const char* label;
  int codePage;
  const char* ignore;  // rules left out of ALL
  std::string before;  // "\n" stands for each line end
  std::string safe;    // after --fix
  std::string unsafe;  // after --fix --unsafe-fixes
};

// Each case in each line end: the fixed text, nothing else changed, and a
// second fix changes nothing.
void ExpectFixes(const FixCase& c) {
  std::vector<std::string> ignore;
  if (*c.ignore) ignore.push_back(c.ignore);
  const CRuleSelection rules = SelectRules(std::vector<std::string>{"ALL"}, ignore);
  for (const LineEndVariant& variant : kVariants) {
    auto written = [&](const std::string& text) {
      return variant.firstLine + WithLineEnds(text, variant.lineEnd);
    };
    const std::string label = c.label + " with "s + variant.name;
    for (const bool unsafe : {false, true}) {
      const CFixOutcome once = FixBytes(
          written(c.before), [&](std::string_view text) { return Check(text, c.codePage, rules); },
          unsafe);
      EXPECT_EQ(once.text, written(unsafe ? c.unsafe : c.safe)) << label << (unsafe ? ", unsafe" : "");
      EXPECT_TRUE(once.converged) << label;
      EXPECT_EQ(FixBytes(once.text, [&](std::string_view text) { return Check(text, c.codePage, rules); },
                         unsafe).text,
                once.text)
          << label;
    }
  }
}

TEST(RuleFixTest, EachFixableRule) {
  const std::string instrument = ".Patch Names\n[GM]\n0=Piano\n.Controller Names\n[Std]\n"
                                 ".Instrument Definitions\n[Synth]\n";
  const std::string head = instrument + "Patch[*]=GM\n";
  const std::string above = ".Patch Names\n[GM]\n0=Piano\n.Controller Names\n[Std]\n.Instrument Definitions\n";
  const std::string longName(244, 'n');
  const FixCase cases[] = {
      {"VLT1003 a close name: a guess", 0, "", head + "Control=Stdd\n", head + "Control=Stdd\n",
       head + "Control=Std\n"},
      {"VLT1003 the only list nothing uses", 0, "",
       ".Controller Names\n[Main Controls]\n.Instrument Definitions\n[I]\nControl=Something else\n",
       ".Controller Names\n[Main Controls]\n.Instrument Definitions\n[I]\nControl=Something else\n",
       ".Controller Names\n[Main Controls]\n.Instrument Definitions\n[I]\nControl=Main Controls\n"},
      {"VLT1003 no fix: the list of that name stands in another section", 0, "",
       ".Patch Names\n[Std]\n.Instrument Definitions\n[I]\nControl=Std\n",
       ".Patch Names\n[Std]\n.Instrument Definitions\n[I]\nControl=Std\n",
       ".Patch Names\n[Std]\n.Instrument Definitions\n[I]\nControl=Std\n"},
      {"VLT1003 no fix: the line would be read as two", 0, "",
       ".Controller Names\n[" + longName + "xy]\n.Instrument Definitions\n[I]\nControl=" + longName + "\n",
       ".Controller Names\n[" + longName + "xy]\n.Instrument Definitions\n[I]\nControl=" + longName + "\n",
       ".Controller Names\n[" + longName + "xy]\n.Instrument Definitions\n[I]\nControl=" + longName + "\n"},
      {"VLT1003 Shift-JIS, a trail byte ']' in the name", 932, "",
       ".Note Names\n[\x83\x5D\x83\x41 Kit]\n.Instrument Definitions\n[I]\nKey[*,*]=\x83\x5D\x83\x41 Kt\n",
       ".Note Names\n[\x83\x5D\x83\x41 Kit]\n.Instrument Definitions\n[I]\nKey[*,*]=\x83\x5D\x83\x41 Kt\n",
       ".Note Names\n[\x83\x5D\x83\x41 Kit]\n.Instrument Definitions\n[I]\nKey[*,*]=\x83\x5D\x83\x41 Kit\n"},
      {"VLT1003 trailing blanks", 0, "", head + "Control=Std \t\n", head + "Control=Std\n",
       head + "Control=Std\n"},
      {"VLT1003 and VLT3001 a comment after the reference", 0, "",
       head + "Control=Std ; the standard\n", above + "; Control: the standard\n[Synth]\nPatch[*]=GM\nControl=Std\n",
       above + "; Control: the standard\n[Synth]\nPatch[*]=GM\nControl=Std\n"},
      {"VLT3001 a comment after BankSelMethod", 0, "",
       instrument + "BankSelMethod=1 ; MSB only\nPatch[*]=GM\n",
       above + "; BankSelMethod: MSB only\n[Synth]\nBankSelMethod=1\nPatch[*]=GM\n",
       above + "; BankSelMethod: MSB only\n[Synth]\nBankSelMethod=1\nPatch[*]=GM\n"},
      {"VLT3002 a label and its references trimmed", 0, "",
       ".Patch Names\n[ GM\t]\n.Instrument Definitions\n[I]\nPatch[*]= GM\t\n",
       ".Patch Names\n[GM]\n.Instrument Definitions\n[I]\nPatch[*]=GM\n",
       ".Patch Names\n[GM]\n.Instrument Definitions\n[I]\nPatch[*]=GM\n"},
      {"VLT3002 no fix: the trimmed name is taken", 0, "",
       ".Patch Names\n[ GM]\n[GM]\n.Instrument Definitions\n[I]\nPatch[*]= GM\nPatch[0]=GM\n",
       ".Patch Names\n[ GM]\n[GM]\n.Instrument Definitions\n[I]\nPatch[*]= GM\nPatch[0]=GM\n",
       ".Patch Names\n[ GM]\n[GM]\n.Instrument Definitions\n[I]\nPatch[*]= GM\nPatch[0]=GM\n"},
      {"VLT3002 Shift-JIS", 932, "",
       ".Note Names\n[ \x83\x5D\x83\x41 ]\n.Instrument Definitions\n[I]\nKey[*,*]= \x83\x5D\x83\x41 \n",
       ".Note Names\n[\x83\x5D\x83\x41]\n.Instrument Definitions\n[I]\nKey[*,*]=\x83\x5D\x83\x41\n",
       ".Note Names\n[\x83\x5D\x83\x41]\n.Instrument Definitions\n[I]\nKey[*,*]=\x83\x5D\x83\x41\n"},
      {"VLT3004 BankSelMethod moves above the first Patch line", 0, "",
       head + "Control=Std\nBankSelMethod=1\n", instrument + "BankSelMethod=1\nPatch[*]=GM\nControl=Std\n",
       instrument + "BankSelMethod=1\nPatch[*]=GM\nControl=Std\n"},
      {"VLT3005 blank lines go", 0, "", head + "\n\nControl=Std\n", head + "Control=Std\n",
       head + "Control=Std\n"},
      {"VLT3005 no fix: a gap with a comment", 0, "", head + "\n; c\nControl=Std\n",
       head + "\n; c\nControl=Std\n", head + "\n; c\nControl=Std\n"},
      {"VLT3008 the file's own line end", 0, "", head + "Control=Std", head + "Control=Std\n",
       head + "Control=Std\n"},
      {"no final line end stays when VLT3008 is not selected", 0, "VLT3008", head + "Control=Stdd",
       head + "Control=Stdd", head + "Control=Std"},
      {"VLT2002 the later of two equal entries goes", 0, "",
       ".Patch Names\n[GM]\n0=Piano\n1=Organ\n0=Piano\n.Instrument Definitions\n[I]\nPatch[*]=GM\n",
       ".Patch Names\n[GM]\n0=Piano\n1=Organ\n.Instrument Definitions\n[I]\nPatch[*]=GM\n",
       ".Patch Names\n[GM]\n0=Piano\n1=Organ\n.Instrument Definitions\n[I]\nPatch[*]=GM\n"},
      {"VLT2002 no fix: different text", 0, "",
       ".Patch Names\n[GM]\n0=Piano\n0=Organ\n.Instrument Definitions\n[I]\nPatch[*]=GM\n",
       ".Patch Names\n[GM]\n0=Piano\n0=Organ\n.Instrument Definitions\n[I]\nPatch[*]=GM\n",
       ".Patch Names\n[GM]\n0=Piano\n0=Organ\n.Instrument Definitions\n[I]\nPatch[*]=GM\n"},
      {"VLT0001 a suppression that silences nothing goes", 0, "",
       "; veltrane: ignore VLT2006\n" + head, head, head},
      {"VLT2005 a misspelled key: a guess", 0, "", head + "Contol=Std\n", head + "Contol=Std\n",
       head + "Control=Std\n"},
  };
  for (const FixCase& c : cases) ExpectFixes(c);
}

// Files where a fix once changed what a program reads, worked against a
// suppression or miscounted: the bytes --fix and --fix --unsafe-fixes
// give, how many findings each says it fixed, and the rules still reported
// after the safe fixes (all rules on), in LF and CR LF.
struct SafetyCase {
  const char* label;
  std::string before;  // "\n" stands for each line end
  std::string safe;
  std::string unsafe;
  int fixedSafe;
  int fixedUnsafe;
  std::string remaining;  // the ids reported after --fix, in order
};

TEST(FixSafetyTest, FixesKeepMeaningSuppressionsAndCounts) {
  const std::string patches = ".Patch Names\n[A]\n0=Piano\n.Instrument Definitions\n";
  const std::string bright = ".Patch Names\n[Piano; Bright]\n0=Grand\n.Instrument Definitions\n[I]\n";
  const std::string std = ".Controller Names\n[Std]\n.Instrument Definitions\n";
  // The key's line is as long as a line may be; the comment's would be longer.
  const std::string longComment(237, 'c');
  const SafetyCase cases[] = {
      {"a comment that is part of the name a reference names stays",
       bright + "Patch[0]=Piano; Bright\n", bright + "Patch[0]=Piano; Bright\n",
       bright + "Patch[0]=Piano; Bright\n", 0, 0, "VLT3001"},
      {"so it does when blanks follow it",
       bright + "Patch[0]=Piano; Bright \n", bright + "Patch[0]=Piano; Bright \n",
       bright + "Patch[0]=Piano; Bright\n", 0, 2, "VLT1002 VLT1003 VLT3001"},
      {"a repeated entry with another between keeps what the last entry gives",
       ".Patch Names\n[A]\n0=Piano\n0=Organ\n0=Piano\n", ".Patch Names\n[A]\n0=Piano\n0=Organ\n0=Piano\n",
       ".Patch Names\n[A]\n0=Piano\n0=Organ\n0=Piano\n", 0, 0, "VLT1002 VLT2002 VLT2002"},
      {"a repeated entry right after its equal goes",
       ".Patch Names\n[A]\n0=Piano\n0=Piano\n0=Organ\n", ".Patch Names\n[A]\n0=Piano\n0=Organ\n",
       ".Patch Names\n[A]\n0=Piano\n0=Organ\n", 1, 1, "VLT1002 VLT2002"},
      {"a comment after the first key goes above the label, not into the instrument",
       patches + "[I]\nBankSelMethod=1 ; msb\nPatch[0]=A\n",
       patches + "; BankSelMethod: msb\n[I]\nBankSelMethod=1\nPatch[0]=A\n",
       patches + "; BankSelMethod: msb\n[I]\nBankSelMethod=1\nPatch[0]=A\n", 1, 1, ""},
      {"the comments of one instrument go above it in their order, the key's own with them",
       patches + "[I]\nPatch[0]=A ;one\nBankSelMethod=1\t; two\n",
       patches + "; Patch[0]: one\n; BankSelMethod: two\n[I]\nBankSelMethod=1\nPatch[0]=A\n",
       patches + "; Patch[0]: one\n; BankSelMethod: two\n[I]\nBankSelMethod=1\nPatch[0]=A\n", 5, 5, ""},
      {"a comment too long for a line of its own stays",
       patches + "[I]\nBankSelMethod=1;" + longComment + "\nPatch[0]=A\n",
       patches + "[I]\nBankSelMethod=1;" + longComment + "\nPatch[0]=A\n",
       patches + "[I]\nBankSelMethod=1;" + longComment + "\nPatch[0]=A\n", 0, 0, "VLT3001"},
      {"a key with a suppression comment stays with it",
       patches + "[I]\nPatch[*]=A\n; veltrane: ignore VLT3001\nBankSelMethod=1 ; msb\n",
       patches + "[I]\nPatch[*]=A\n; veltrane: ignore VLT3001\nBankSelMethod=1 ; msb\n",
       patches + "[I]\nPatch[*]=A\n; veltrane: ignore VLT3001\nBankSelMethod=1 ; msb\n", 0, 0,
       "VLT3005 VLT3004"},
      {"a key moved above the first Patch line goes above its suppression comment",
       patches + "[I]\n; veltrane: ignore VLT1003\nPatch[*]=X\nBankSelMethod=1\n",
       patches + "[I]\nBankSelMethod=1\n; veltrane: ignore VLT1003\nPatch[*]=X\n",
       patches + "[I]\nBankSelMethod=1\n; veltrane: ignore VLT1003\nPatch[*]=X\n", 1, 1,
       "VLT1002 VLT3005"},
      {"a line with a suppressed finding is not changed by another rule's fix",
       std + "[I]\n; veltrane: ignore VLT3001\nControl=Std ; standard\n",
       std + "[I]\n; veltrane: ignore VLT3001\nControl=Std ; standard\n",
       std + "[I]\n; veltrane: ignore VLT3001\nControl=Std ; standard\n", 0, 0, "VLT1002 VLT3005 VLT1003"},
      {"a fix that would leave a suppression silencing nothing is not applied",
       ".Patch Names\n[ A]\n0=P\n.Instrument Definitions\n[I]\n; veltrane: ignore VLT1003\nPatch[*]=A\n",
       ".Patch Names\n[ A]\n0=P\n.Instrument Definitions\n[I]\n; veltrane: ignore VLT1003\nPatch[*]=A\n",
       ".Patch Names\n[ A]\n0=P\n.Instrument Definitions\n[I]\n; veltrane: ignore VLT1003\nPatch[*]=A\n", 0, 0,
       "VLT1002 VLT3002 VLT3005"},
      {"a label is not trimmed while a reference with a comment names it as it is",
       ".Patch Names\n[ B]\n0=x\n.Instrument Definitions\n[I]\nPatch[*]= B;x\n",
       ".Patch Names\n[ B]\n0=x\n.Instrument Definitions\n[I]\nPatch[*]= B;x\n",
       ".Patch Names\n[ B]\n0=x\n.Instrument Definitions\n[I]\nPatch[*]= B;x\n", 0, 0,
       "VLT1002 VLT3002 VLT1003 VLT3001"},
      {"of two BankSelMethod lines after the Patch lines the first moves first, and only it",
       patches + "[I]\nPatch[*]=A\n; veltrane: ignore VLT3001\nBankSelMethod=1 ; msb\nBankSelMethod=0\n",
       patches + "[I]\nPatch[*]=A\n; veltrane: ignore VLT3001\nBankSelMethod=1 ; msb\nBankSelMethod=0\n",
       patches + "[I]\nPatch[*]=A\n; veltrane: ignore VLT3001\nBankSelMethod=1 ; msb\nBankSelMethod=0\n",
       0, 0, "VLT3005 VLT3004 VLT2008 VLT3004"},
      {"a reference with a comment on a line too long to read whole stays",
       std + "[I]\nControl=Std ;" + std::string(300, 'c') + "\n",
       std + "[I]\nControl=Std ;" + std::string(300, 'c') + "\n",
       std + "[I]\nControl=Std ;" + std::string(300, 'c') + "\n", 0, 0, "VLT1002 VLT1003 VLT3001 VLT3009"},
      {"no trim where another list's name is the same without its blanks",
       ".Patch Names\n[B ]\n[B]\n.Instrument Definitions\n[I]\nPatch[*]= B\t\nPatch[0]=B \nPatch[1]=B\n",
       ".Patch Names\n[B ]\n[B]\n.Instrument Definitions\n[I]\nPatch[*]= B\t\nPatch[0]=B \nPatch[1]=B\n",
       ".Patch Names\n[B ]\n[B]\n.Instrument Definitions\n[I]\nPatch[*]= B\t\nPatch[0]=B \nPatch[1]=B\n", 0, 0,
       "VLT3002 VLT1003 VLT3002"},
      {"no cut nor guess where another list's name is the same without its blanks",
       ".Patch Names\n[A ]\n[A]\n[C]\n.Instrument Definitions\n[I]\nPatch[*]=A;B\nPatch[0]=A\n",
       ".Patch Names\n[A ]\n[A]\n[C]\n.Instrument Definitions\n[I]\nPatch[*]=A;B\nPatch[0]=A\n",
       ".Patch Names\n[A ]\n[A]\n[C]\n.Instrument Definitions\n[I]\nPatch[*]=A;B\nPatch[0]=A\n", 0, 0,
       "VLT1002 VLT3002 VLT1002 VLT1003 VLT3001"},
      {"nor past a BankSelMethod line that is badly written",
       patches + "[I]\nPatch[*]=A\nBankSelMethod=9\nBankSelMethod=0\n",
       patches + "[I]\nPatch[*]=A\nBankSelMethod=9\nBankSelMethod=0\n",
       patches + "[I]\nPatch[*]=A\nBankSelMethod=9\nBankSelMethod=0\n", 0, 0, "VLT2004 VLT3004"},
      {"a suppression that ends at a lone CR with a label after it stays",
       ".Patch Names\n; veltrane: ignore\r[A]\n0=x\n", ".Patch Names\n; veltrane: ignore\r[A]\n0=x\n",
       ".Patch Names\n; veltrane: ignore\r[A]\n0=x\n", 0, 0, "VLT0001"},
      {"a blank before a reference goes where the name without it is a list",
       patches + "[I]\nPatch[0]= A\n", patches + "[I]\nPatch[0]=A\n", patches + "[I]\nPatch[0]=A\n", 2, 2, ""},
      {"the guess is a list nothing uses that the reference starts, not one in use",
       ".Patch Names\n[Bank 0 (GM1)]\n[Bank 1]\n.Instrument Definitions\n[I]\nPatch[0]=Bank 0\nPatch[1]=Bank 1\n",
       ".Patch Names\n[Bank 0 (GM1)]\n[Bank 1]\n.Instrument Definitions\n[I]\nPatch[0]=Bank 0\nPatch[1]=Bank 1\n",
       ".Patch Names\n[Bank 0 (GM1)]\n[Bank 1]\n.Instrument Definitions\n[I]\nPatch[0]=Bank 0 (GM1)\nPatch[1]=Bank 1\n",
       0, 2, "VLT1002 VLT1003"},
      {"no guess between two lists as close",
       ".Patch Names\n[Pad1]\n[Pad2]\n.Instrument Definitions\n[I]\nPatch[0]=Pad\n",
       ".Patch Names\n[Pad1]\n[Pad2]\n.Instrument Definitions\n[I]\nPatch[0]=Pad\n",
       ".Patch Names\n[Pad1]\n[Pad2]\n.Instrument Definitions\n[I]\nPatch[0]=Pad\n", 0, 0,
       "VLT1002 VLT1002 VLT1003"},
  };
  const CRuleSelection all = SelectRules(std::vector<std::string>{"ALL"}, {});
  for (const SafetyCase& c : cases) {
    for (const std::string lineEnd : {"\n", "\r\n"}) {
      const std::string label = c.label + (lineEnd == "\n" ? " with LF"s : " with CR LF"s);
      for (const bool unsafe : {false, true}) {
        const CFixOutcome outcome = Fixed(WithLineEnds(c.before, lineEnd), 0, unsafe, all);
        EXPECT_EQ(outcome.text, WithLineEnds(unsafe ? c.unsafe : c.safe, lineEnd)) << label;
        EXPECT_EQ(outcome.fixed, unsafe ? c.fixedUnsafe : c.fixedSafe) << label;
        if (unsafe) continue;
        std::string ids;
        for (const CFinding* finding : outcome.remaining.reported)
          ids += (ids.empty() ? "" : " ") + std::string(finding->Rule().id);
        EXPECT_EQ(ids, c.remaining) << label;
      }
    }
  }
}

TEST(ReferenceFixTest, ANameThatRunsOnPastALoneCrHasNoFix) {
  // The check reads "Standar\rd" as one name, but an editor shows "d" on a
  // line of its own: replacing the first line's part would leave it there.
  const std::string file =
      ".Controller Names\r\n[Standard]\r\n.Instrument Definitions\r\n[I]\r\nControl=Standar\rd\r\n";
  const CCheckResult result = Check(file, 0);
  const CFinding& finding = result.findings.back();
  ASSERT_EQ(finding.kind, FindingKind::notFound);
  ASSERT_TRUE(finding.note.has_value());
  EXPECT_FALSE(finding.fix.has_value());
}

TEST(ReferenceFixTest, TheFixSaysWhatItChangesTo) {
  const CCheckResult result = Check(
      ".Note Names\n[\x83\x5D\x83\x41 Kit]\n.Instrument Definitions\n[I]\nKey[*,*]=\x83\x5D\x83\x41 Kt\n",
      932);
  const CFinding& finding = result.findings.back();
  ASSERT_TRUE(finding.fix.has_value());
  EXPECT_FALSE(finding.fix->safe);
  EXPECT_EQ(finding.fix->title, "Change to \"\xE3\x82\xBE\xE3\x82\xA2 Kit\"");
}

// A small file of every construct the fixes meet: lists and references
// with close names, case and blanks, names in another section, long
// lines, lone CRs and double-byte names, in random line ends.
std::string GeneratedFile(std::mt19937& random, bool doubleByte) {
  static const char* const kHeaders[] = {".Patch Names", ".Note Names", ".Controller Names",
                                         ".Instrument Definitions"};
  static const char* const kKeys[] = {"Patch[*]=", "Key[*,*]=", "Control=", "BasedOn="};
  static const char* const kNames[] = {"Standard", "Standrd", "standard", "Drums", "Drum",
                                       "GM Bank", "GMBank", "\x83\x5D\x83\x41 Kit",
                                       "\x83\x5D\x83\x41 Kt", "Pad", "Pads", " Pad", "Pad ",
                                       "Pad ; c", "Drums\t"};
  static const char* const kOthers[] = {"0=Piano", "0=Organ", "1=Piano", "", "; c",
                                        "BankSelMethod=1", "BankSelMethod=2 ; MSB", "Contol=x",
                                        "patch[0]=Pad", "; veltrane: ignore VLT2006",
                                        "; veltrane: ignore VLT3005"};
  static const char* const kEnds[] = {"\n", "\r\n", "\r"};
  auto pick = [&random](auto& table) {
    return table[std::uniform_int_distribution<std::size_t>(0, std::size(table) - 1)(random)];
  };
  std::string file;
  const int lines = std::uniform_int_distribution<int>(5, 40)(random);
  for (int i = 0; i < lines; ++i) {
    std::string name = pick(kNames);
    if (!doubleByte && name[0] == '\x83') name = "Kit";
    switch (random() % 7) {
      case 0:
      case 6: file += random() % 3 ? pick(kOthers) : pick(kHeaders); break;
      case 1:
      case 2: file += "[" + name + "]"; break;
      case 3:
      case 4: file += pick(kKeys) + name; break;
      case 5: file += random() % 8 ? pick(kOthers) : "Control=" + std::string(250, 'x'); break;
    }
    if (i + 1 < lines || random() % 2) file += pick(kEnds);
  }
  return file;
}

TEST(FixBytesTest, ConvergesRaisesNothingAndCountsWhatIsGone) {
  std::mt19937 random(21);
  int changedFiles = 0;
  int suppressionsLeft = 0;
  const CRuleSelection all = SelectRules(std::vector<std::string>{"ALL"}, {});
  for (int n = 0; n < 400; ++n) {
    const bool doubleByte = n % 2 == 1;
    const std::string file = GeneratedFile(random, doubleByte);
    const int codePage = doubleByte ? 932 : 0;
    for (const bool unsafe : {false, true}) {
      const CFixOutcome once = Fixed(file, codePage, unsafe, all);
      ASSERT_TRUE(once.converged) << file;
      // No rule reports more than before, and the count is what is gone.
      std::map<std::string_view, int> counts;
      for (const CFinding* finding : Check(file, codePage, all).reported) ++counts[finding->Rule().id];
      for (const CFinding* finding : once.remaining.reported) --counts[finding->Rule().id];
      int gone = 0;
      for (const auto& [id, count] : counts) {
        ASSERT_GE(count, 0) << id << " raised by a fix of\n" << file;
        gone += count;
      }
      ASSERT_EQ(once.fixed, gone) << file;
      // A second run finds nothing more to fix but the suppressions that
      // the first run's fixes left silencing nothing, which that run kept.
      const CFixOutcome twice = Fixed(once.text, codePage, unsafe, all);
      std::map<std::string_view, int> again;
      for (const CFinding* finding : once.remaining.reported) ++again[finding->Rule().id];
      for (const CFinding* finding : twice.remaining.reported) --again[finding->Rule().id];
      for (const auto& [id, count] : again)
        ASSERT_TRUE(count == 0 || id == "VLT0001") << id << " fixed the second time in\n" << file;
      if (twice.text != once.text) ++suppressionsLeft;
      if (once.text != file) ++changedFiles;
    }
  }
  // The files must give the fixes something to do; few suppressions go idle.
  EXPECT_GT(changedFiles, 100);
  EXPECT_LT(suppressionsLeft, 10);
}

// What fixing reads of a check made for fixing, against a full check of
// the same bytes: every count, and each fix in the order reported.
void ExpectSameFixFindings(const std::string& file, const CCheckOptions& options,
                           const std::string& label) {
  CCheckOptions full = options;
  full.forFixing = false;
  full.notes = true;
  const CCheckResult whole = CheckBytes(file, full);
  const CCheckResult folded = CheckBytes(file, options);
  ASSERT_TRUE(folded.fixFindings) << label;
  const CFixFindings& fixing = *folded.fixFindings;
  std::map<FindingKind, int> counts;
  std::vector<const CFinding*> fixed;
  for (const CFinding* finding : whole.reported) {
    ++counts[finding->kind];
    if (finding->fix || finding->kind == FindingKind::unusedSuppression) fixed.push_back(finding);
  }
  for (std::size_t kind = 0; kind < kFindingKindCount; ++kind)
    EXPECT_EQ(fixing.Count(static_cast<FindingKind>(kind)), counts[static_cast<FindingKind>(kind)])
        << label << ": " << RuleOf(static_cast<FindingKind>(kind)).id;
  ASSERT_EQ(fixing.Size(), fixed.size()) << label;
  for (std::size_t i = 0; i < fixed.size(); ++i) {
    const CFixFindings::CEntry& entry = fixing[i];
    const CFinding& finding = *fixed[i];
    ASSERT_EQ(entry.kind, finding.kind) << label << " #" << i;
    ASSERT_EQ(entry.line, finding.place.line) << label << " #" << i;
    ASSERT_EQ(entry.lineText, finding.place.lineText) << label << " #" << i;
    ASSERT_EQ(entry.HasFix(), finding.fix.has_value()) << label << " #" << i;
    if (!finding.fix) continue;
    ASSERT_EQ(*entry.title, finding.fix->title) << label << " #" << i;
    ASSERT_EQ(entry.editCount, finding.fix->edits.size()) << label << " #" << i;
    for (std::size_t e = 0; e < entry.editCount; ++e) {
      EXPECT_EQ(entry.edits[e].begin, finding.fix->edits[e].begin) << label << " #" << i;
      EXPECT_EQ(entry.edits[e].end, finding.fix->edits[e].end) << label << " #" << i;
      EXPECT_EQ(entry.edits[e].text, finding.fix->edits[e].text) << label << " #" << i;
    }
  }
}

TEST(FixBytesTest, ACheckForFixingFixesAsAFullCheck) {
  std::mt19937 random(5);
  const CRuleSelection all = SelectRules(std::vector<std::string>{"ALL"}, {});
  // Generated files joined, with and without their suppression comments,
  // and a list of more entries given twice than a check holds before it
  // folds them; read in one part and in two.
  std::string joined;
  for (int n = 0; n < 60; ++n) joined += GeneratedFile(random, false) + "\r\n";
  std::string plain;
  for (std::size_t from = 0; from < joined.size();) {
    std::size_t end = joined.find('\n', from);
    end = end == std::string::npos ? joined.size() : end + 1;
    const std::string_view line = std::string_view(joined).substr(from, end - from);
    if (line.find("veltrane:") == std::string_view::npos) plain += line;
    from = end;
  }
  std::string twice = ".Patch Names\n";
  for (int list = 0; list < 3; ++list) {
    twice += "[Twice " + std::to_string(list) + "]\n";
    for (int i = 0; i < 1400; ++i) twice += std::to_string(i) + "=N\n" + std::to_string(i) + "=N\n";
  }
  const struct {
    const char* label;
    std::string file;
  } cases[] = {
      {"generated, with suppressions", joined + twice},
      {"generated, without suppressions", plain + twice},
      {"entries given twice, then generated lines", twice + plain},
      {"entries given twice and a suppression", twice + "; veltrane: ignore VLT2002\n0=N\n"},
  };
  for (const auto& c : cases) {
    for (const std::uint64_t splitFrom : {kScanSplitFrom, std::uint64_t{1}}) {
      for (const bool unsafe : {false, true}) {
        const std::string label = c.label + (splitFrom == 1 ? " in two parts"s : ""s) +
                                  (unsafe ? ", unsafe" : "");
        CCheckOptions options;
        options.rules = &all;
        options.splitFrom = splitFrom;
        options.forFixing = true;
        options.notes = unsafe;
        ExpectSameFixFindings(c.file, options, label);
        CCheckOptions full = options;
        full.forFixing = false;
        full.notes = true;
        const CFixOutcome folded = FixBytes(
            c.file, [&](std::string_view text) { return CheckBytes(text, options); }, unsafe);
        const CFixOutcome whole = FixBytes(
            c.file, [&](std::string_view text) { return CheckBytes(text, full); }, unsafe);
        EXPECT_TRUE(folded.changed) << label;
        EXPECT_EQ(folded.text, whole.text) << label;
        EXPECT_EQ(folded.fixed, whole.fixed) << label;
        EXPECT_EQ(folded.converged, whole.converged) << label;
      }
    }
  }
  // Small generated files, where nothing is folded.
  for (int n = 0; n < 100; ++n) {
    const std::string file = GeneratedFile(random, n % 2 == 1);
    CCheckOptions options;
    options.rules = &all;
    if (n % 2 == 1) options.codePage = *CCodePage::FromNumber(932);
    options.forFixing = true;
    options.notes = true;
    ExpectSameFixFindings(file, options, file);
    CCheckOptions full = options;
    full.forFixing = false;
    EXPECT_EQ(FixBytes(file, [&](std::string_view text) { return CheckBytes(text, options); }, true).text,
              FixBytes(file, [&](std::string_view text) { return CheckBytes(text, full); }, true).text)
        << file;
  }
}

// A fake check: each marker "<d>" is a finding whose fix is its digit's
// edits (placed from the marker's first byte), and each "BAD" one without
// a fix, so that a fix that makes a "BAD" raises a finding.
struct MarkFix {
  char digit;
  std::vector<CEdit> edits;
};

CCheckResult CheckMarks(std::string_view text, const std::vector<MarkFix>& marks) {
  CCheckResult result;
  for (std::size_t at = 0; (at = text.find('<', at)) != std::string_view::npos; ++at) {
    if (at + 2 >= text.size() || text[at + 2] != '>') continue;
    for (const MarkFix& mark : marks) {
      if (mark.digit != text[at + 1]) continue;
      std::vector<CEdit> edits = mark.edits;
      for (CEdit& edit : edits) {
        edit.begin += at;
        edit.end += at;
      }
      CFinding finding;
      finding.kind = FindingKind::numberOutOfRange;
      finding.fix = Fix(std::move(edits));
      finding.fix->title = "mark "s + mark.digit;
      result.ruleFindings.push_back(std::move(finding));
    }
  }
  for (std::size_t at = 0; (at = text.find("BAD", at)) != std::string_view::npos; ++at) {
    CFinding finding;
    finding.kind = FindingKind::duplicate;
    result.ruleFindings.push_back(std::move(finding));
  }
  for (CFinding& finding : result.ruleFindings) result.reported.push_back(&finding);
  return result;
}

TEST(FixBytesTest, ARoundTakenBackLeavesTheBytesAsTheyWere) {
  const struct {
    const char* label;
    std::string bytes;
    std::vector<MarkFix> marks;
    std::string fixed;
    int count;
  } cases[] = {
      {"growing, deleting and inserting",
       "a<1>b<2>c<3>de\n",
       {{'1', {{0, 3, "LONGER THAN IT WAS"}}}, {'2', {{0, 3, ""}}}, {'3', {{0, 3, ""}, {4, 4, "+"}}}},
       "aLONGER THAN IT WASbcd+e\n", 3},
      {"the fix that joins a BAD stays out, the others go in",
       "a<1>BA<2>D<3>z",
       {{'1', {{0, 3, "1111"}}}, {'2', {{0, 3, ""}}}, {'3', {{0, 3, ""}, {4, 4, "!"}}}},
       "a1111BA<2>Dz!", 2},
      {"the fix left out grew the text before the others",
       "<1>xx<2>yy<3>",
       {{'1', {{0, 3, "BAD and much longer"}}}, {'2', {{0, 3, ""}}}, {'3', {{0, 2, ""}, {3, 3, ">>"}}}},
       "<1>xxyy>>>", 2},
      {"every fix raises one: the bytes as given",
       "<1>-<2>\r\n",
       {{'1', {{0, 3, "BAD"}}}, {'2', {{0, 0, "BAD"}}}},
       "<1>-<2>\r\n", 0},
      {"each alone raises none, together they do: both left out",
       "B<1><2>D",
       {{'1', {{0, 3, "A"}}}, {'2', {{0, 3, ""}}}},
       "B<1><2>D", 0},
      {"a fix that makes another marker: fixed in the next round, in place",
       "x<1>y",
       {{'1', {{0, 3, "<<2>>"}}}, {'2', {{0, 3, "ZZZZ"}}}},
       "x<ZZZZ>y", 1},
  };
  for (const auto& c : cases) {
    const auto check = [&](std::string_view text) { return CheckMarks(text, c.marks); };
    const CFixOutcome outcome = FixBytes(c.bytes, check, false);
    EXPECT_EQ(outcome.text, c.fixed) << c.label;
    EXPECT_EQ(outcome.fixed, c.count) << c.label;
    EXPECT_TRUE(outcome.converged) << c.label;

    // From a check the caller holds: let go once, before any other check.
    CCheckResult first = check(c.bytes);
    int released = 0;
    int checks = 0;
    const CFixOutcome held = FixBytes(
        c.bytes, first, [&] { ++released, first = CCheckResult(); },
        [&](std::string_view text) {
          EXPECT_EQ(released, 1) << c.label << ": a check before the first was let go";
          ++checks;
          return check(text);
        },
        false);
    EXPECT_TRUE(held.changed) << c.label;
    EXPECT_EQ(released, 1) << c.label;
    EXPECT_GT(checks, 0) << c.label;
    EXPECT_EQ(held.text, c.fixed) << c.label;
    EXPECT_EQ(held.fixed, c.count) << c.label;
  }
  // Nothing to fix: the caller's check stays the outcome, never let go.
  const std::vector<MarkFix> none;
  CCheckResult first = CheckMarks("<1>BAD", none);
  bool released = false;
  const CFixOutcome outcome = FixBytes(
      "<1>BAD", first, [&] { released = true; },
      [&](std::string_view text) { return CheckMarks(text, none); }, false);
  EXPECT_FALSE(outcome.changed);
  EXPECT_FALSE(released);
  EXPECT_TRUE(outcome.text.empty());
  EXPECT_EQ(first.reported.size(), 1u);
}

TEST(LineStaysWholeTest, ALineIsReadAsTwoPastOnePiece) {
  const struct {
    std::size_t before, after;
    bool whole;
  } cases[] = {{10, 253, true}, {10, 254, false}, {300, 300, true}, {300, 299, false},
               {300, 253, true}, {253, 253, true}};
  for (const auto& c : cases)
    EXPECT_EQ(LineStaysWhole(c.before, c.after), c.whole) << c.before << " -> " << c.after;
}

}  // namespace
