// Fixes applied to a file's bytes: which fixes of one round go in, the
// fix of a reference that a note says most likely means another list, and
// the rounds converging on generated files.
#include "checker/fix_apply.h"

#include <gtest/gtest.h>

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
      {"two insertions at one place", {Fix({{2, 2, "1"}}), Fix({{2, 2, "2"}})}, false, "ab1cdef", 1, 1},
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
    EXPECT_EQ(outcome.fixed, c.after == "abcdef" ? 0 : c.fixed) << c.label;
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
      {"VLT1003 and VLT3001 a comment after the reference", 0, "VLT3005",
       head + "Control=Std ; the standard\n", head + "; the standard\nControl=Std\n",
       head + "; the standard\nControl=Std\n"},
      {"VLT3001 a comment after BankSelMethod", 0, "VLT3005",
       instrument + "BankSelMethod=1 ; MSB only\nPatch[*]=GM\n",
       instrument + "; MSB only\nBankSelMethod=1\nPatch[*]=GM\n",
       instrument + "; MSB only\nBankSelMethod=1\nPatch[*]=GM\n"},
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

TEST(FixBytesTest, ConvergesAndChangesNothingTheSecondTime) {
  std::mt19937 random(21);
  int changedFiles = 0;
  const CRuleSelection all = SelectRules(std::vector<std::string>{"ALL"}, {});
  for (int n = 0; n < 400; ++n) {
    const bool doubleByte = n % 2 == 1;
    const std::string file = GeneratedFile(random, doubleByte);
    const int codePage = doubleByte ? 932 : 0;
    for (const bool unsafe : {false, true}) {
      const CFixOutcome once = Fixed(file, codePage, unsafe, all);
      ASSERT_TRUE(once.converged) << file;
      for (const CFinding* finding : once.remaining.reported)
        ASSERT_FALSE(finding->fix && FixWanted(*finding->fix, unsafe)) << file;
      const CFixOutcome twice = Fixed(once.text, codePage, unsafe, all);
      ASSERT_EQ(twice.text, once.text) << file;
      ASSERT_EQ(twice.fixed, 0) << file;
      if (once.text != file) ++changedFiles;
    }
  }
  // The files must give the fixes something to do.
  EXPECT_GT(changedFiles, 100);
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
