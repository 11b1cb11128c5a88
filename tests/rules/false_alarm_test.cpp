// The cases where a rule cried wolf or said too little, and the forgotten
// section header, each a few lines long: what must be reported, what must
// not, the notes that explain, and the bytes every fix, unsafe ones too,
// gives.
#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "checker/check.h"
#include "checker/fix/fix_apply.h"
#include "checker/rules/rule_selection.h"

namespace {

using namespace std::string_literals;

struct AlarmCase {
  const char* label;
  std::string file;
  // "LINE ID", or "LINE ID: TEXT" where the message holds TEXT.
  std::vector<std::string> must;
  // "ID": reported nowhere; "LINE ID": not there.
  std::vector<std::string> mustNot;
  // "LINE: TEXT": a reported finding has a note at LINE that holds TEXT;
  // "!TEXT": no note holds TEXT.
  std::vector<std::string> notes;
  // The bytes after every fix of the rules on by default.
  std::optional<std::string> fixed = std::nullopt;
};

const std::string kInstrument = ".Instrument Definitions\n[I]\n";
// Drum kits under .Patch Names, used by Key lines, with a patch list used
// by a Patch line above them.
const std::string kForgotten =
    ".Patch Names\n[General MIDI]\n0=Piano\n[Standard Kit]\n36=Kick\n[Room Kit]\n36=Kick\n"
    ".Instrument Definitions\n[Synth]\nPatch[*]=General MIDI\nKey[0,0]=Standard Kit\n"
    "Key[0,8]=Room Kit\n";

const std::vector<AlarmCase>& AlarmCases() {
  static const std::vector<AlarmCase> cases = {
      // A Drum[...]=0 under a wider Drum[...]=1 keeps that patch from being
      // a drum patch: removing it would change the file.
      {"DrumZeroUnderWiderOne", kInstrument + "Drum[0,*]=1\nDrum[0,56]=0\n", {}, {"VLT3006"}, {}},
      {"DrumZeroBeforeWiderOne", kInstrument + "Drum[3,7]=0\nDrum[*,7]=1\n", {}, {"VLT3006"}, {}},
      {"DrumZeroUnderEveryPatch", kInstrument + "Drum[*,*]=1\nDrum[5,9]=0\nDrum[*,5]=0\n", {},
       {"VLT3006"}, {}},
      {"DrumZeroThatNothingWiderSets",
       kInstrument + "Drum[0,56]=0\nDrum[1,*]=1\nDrum[0,57]=1\nDrum[*,*]=0\n",
       {"3 VLT3006", "6 VLT3006"}, {"4 VLT3006", "5 VLT3006"}, {}},
      {"DrumZeroAfterTheSameKeyIsNoOverride", kInstrument + "Drum[0,56]=1\nDrum[0,56]=0\n",
       {"4 VLT3006", "4 VLT2008"}, {}, {}},
      {"DrumOneOfAnotherInstrumentCoversNothing",
       kInstrument + "Drum[*,*]=1\n[J]\nDrum[0,1]=0\n", {"5 VLT3006"}, {}, {}},
      // Lines under a header of no section are that header's business.
      {"LinesUnderAnUnknownSection",
       ".Patch Names\n[GM]\n0=Piano\n.Sequences\n[Intro]\nStart=F0 7E F7\nEnd=F7\n" +
           kInstrument + "Patch[*]=GM\n",
       {"4 VLT2009", "5 VLT1002"}, {"VLT2003"},
       {"4: the list stands after \".Sequences\" (line 4), a header of no section",
        "4: (.Patch Names)"}},
      // Read in two parts, the second starts among those lines.
      {"ManyListsUnderAnUnknownSection",
       ".Patch Names\n.Sequences\n[S1]\nA=1\n[S2]\nB=2\n[S3]\nC=3\n[S4]\nD=4\n[S5]\nE=5\n"
       "[S6]\nF=6\n[S7]\nG=7\n",
       {"2 VLT2009"}, {"VLT2003"}, {}},
      // After the instruments too: the lines after its labels are no keys.
      {"KeysUnderAnUnknownSectionAfterInstruments",
       kInstrument + "Patch[*]=1..128\n.Sequences\n[Intro]\nStart=F0 7E F7\n\nDrum[0,1]=0\n",
       {"4 VLT2009"}, {"VLT2004", "VLT2005", "VLT2006", "VLT3005", "VLT3006"}, {}},
      // The header's line is counted as editors count lines.
      {"UnknownSectionAfterLoneCrs", ".Patch Names\r\n[A]\rx\r\n.Seq\r\n[S]\r\n",
       {"4 VLT2009", "5 VLT1002"}, {}, {"4: after \".Seq\" (line 4)"}},
      {"UnknownSectionBeforeAnySection", "[Z]\n.Seq\n[S]\n", {"3 VLT1002"}, {},
       {"2: others read them as lists before any section"}},
      {"AKnownHeaderEndsTheUnknownOne",
       ".Patch Names\n.Sequences\n[S]\nStart=1\n.Note Names\n[N]\nx=1\n",
       {"7 VLT2003"}, {"4 VLT2003"}, {"!.Note Names"}},
      // Lists named as the built-in lists of numbers, and values that look
      // like them.
      {"ListNamedAsTheBuiltInList",
       ".Patch Names\n[1..128]\n0=a\n" + kInstrument + "Patch[*]=1..128\n", {"2 VLT1002"}, {},
       {"6: Patch[...]=1..128 names the built-in list of numbers, as in line 6"}},
      {"NoteListNamedAsTheBuiltInListWithoutKey", ".Note Names\n[0..127]\n", {"2 VLT1002"}, {},
       {"2: Key[...]=0..127 names the built-in list of numbers, never a list of the file"}},
      {"NumbersForTheBuiltInList",
       ".Patch Names\n[2]\n" + kInstrument +
           "Patch[*]=1\nPatch[1]=128\nKey[0,0]=0\nKey[0,1]=127\nKey[0,2]=1..127\n",
       {"5 VLT1003", "6 VLT1003", "7 VLT1003", "8 VLT1003", "9 VLT1003"}, {},
       {"5: named exactly \"1..128\" and \"0..127\"", "9: named exactly", "!did you mean"}},
      {"NumbersOfOtherKeysNameLists", ".Controller Names\n[2]\n" + kInstrument + "Control=1\n",
       {"5 VLT1003"}, {}, {"!named exactly"}},
      // A DOS end-of-file mark is no line.
      {"EndOfFileMarkAfterTheLastLineEnd",
       ".Patch Names\r\n[A]\r\n" + kInstrument + "Patch[*]=A\r\n\x1A", {}, {"VLT2006", "VLT3008"},
       {}, ".Patch Names\r\n[A]\r\n" + kInstrument + "Patch[*]=A\r\n\x1A"},
      {"EndOfFileMarkEndsAnUnendedLine",
       ".Patch Names\r\n[A]\r\n0=Piano\x1A", {"3 VLT3008", "2 VLT1002"}, {"VLT2003"}, {},
       ".Patch Names\r\n[A]\r\n0=Piano\r\n\x1A"},
      {"EndOfFileMarkIsNoPartOfAValue", kInstrument + "BankSelMethod=1\x1A",
       {"3 VLT3008"}, {"VLT2004", "VLT2006"}, {}, kInstrument + "BankSelMethod=1\n\x1A"},
      // A Ctrl-Z elsewhere is an ordinary byte, shown as an escape.
      {"CtrlZInsideTheFile", kInstrument + "\x1A\nControl=C\x1A\n",
       {"3 VLT2006: Unknown key \"\\x1A\"", "4 VLT1003: Label \"C\\x1A\" not found"}, {}, {}},
      // Messages that name the trouble.
      {"BlankInsideBrackets", kInstrument + "Key[0, 8]=0..127\nPatch[ 1]=1..128\nKey[0,x]=0..127\n",
       {"3 VLT2004: a blank inside the brackets of Key makes its program no number",
        "4 VLT2004: a blank inside the brackets of Patch makes its bank no number",
        "5 VLT2004: the program of Key is neither * nor 0..127"},
       {}, {}},
      {"GapThatStartsBlank", kInstrument + "Control=C\n\n; c\nRPN=R\n",
       {"4 VLT3005: Blank line inside instrument \"I\""}, {}, {}},
      {"GapThatStartsWithAComment", kInstrument + "Control=C\n; c\n\nRPN=R\n",
       {"4 VLT3005: Comment line inside instrument \"I\""}, {}, {}},
      {"ControlCharactersInNames",
       ".Patch Names\n[Tab\tName]\n[Nul\0Name]\n"s + kInstrument + "Patch[*]=Cr\rName\n",
       {"2 VLT1002: \"Tab\\tName\"", "3 VLT1002: \"Nul\\x00Name\"",
        "6 VLT1003: \"Cr\\x0DName\""},
       {}, {}},
      // The forgotten header.
      {"ForgottenNoteNamesHeader", kForgotten,
       {"4 VLT2010: Lists \"Standard Kit\" to \"Room Kit\" (2 lists) are used as note lists but "
        "stand under .Patch Names: a \".Note Names\" line is probably missing above line 4",
        "11 VLT1003", "12 VLT1003"},
       {"2 VLT2010"},
       {"4: the list \"Standard Kit\" (line 4) stands under .Patch Names: a \".Note Names\" "
        "line is probably missing above line 4",
        "4: the list \"Room Kit\" (line 6) stands under", "!exists in line"},
       ".Patch Names\n[General MIDI]\n0=Piano\n.Note Names\n[Standard Kit]\n36=Kick\n[Room Kit]\n"
       "36=Kick\n.Instrument Definitions\n[Synth]\nPatch[*]=General MIDI\n"
       "Key[0,0]=Standard Kit\nKey[0,8]=Room Kit\n"},
      {"ForgottenHeaderOfOneListUsedTwice",
       ".Controller Names\n[Kit]\n36=Kick\n" + kInstrument + "Key[0,0]=Kit\nKey[0,1]=Kit\n",
       {"2 VLT2010: List \"Kit\" is used as a note list but stands under .Controller Names: a "
        "\".Note Names\" line is probably missing above line 2"},
       {}, {}},
      {"ForgottenHeaderBeforeAnySection", "[P1]\n0=Piano\n" + kInstrument +
                                              "Patch[0]=P1\nPatch[1]=P1\n",
       {"1 VLT2010: List \"P1\" is used as a patch list but stands under no section: a "
        "\".Patch Names\" line is probably missing above line 1"},
       {}, {}},
      {"KitsBasedOnEachOtherStillMove",
       ".Patch Names\n[GM]\n0=Piano\n[Kit A]\n36=Kick\n[Kit B]\nBasedOn=Kit A\n" + kInstrument +
           "Patch[*]=GM\nKey[0,0]=Kit A\nKey[0,1]=Kit B\n",
       {"4 VLT2010: Lists \"Kit A\" to \"Kit B\" (2 lists)"}, {}, {}},
      // A key that names a list once its comment is cut, or its blanks
      // trimmed, uses it for programs that read it so: the header would
      // take it from them.
      {"KitUsedByAPatchKeyWithAComment",
       ".Patch Names\n[GM]\n0=Piano\n[Kit A]\n36=Kick\n[Kit B]\n36=Kick\n" + kInstrument +
           "Patch[*]=GM\nKey[0,0]=Kit A\nKey[0,1]=Kit B\nPatch[1]=Kit B ; for bank 1\n",
       {"11 VLT1003", "12 VLT1003", "13 VLT1003"}, {"VLT2010"}, {}},
      // Found, but left as it is where the header would change more.
      {"KitBasedOnAListThatStays",
       ".Patch Names\n[GM]\n0=Piano\n[Kit A]\nBasedOn=GM\n[Kit B]\n36=Kick\n" + kInstrument +
           "Patch[*]=GM\nKey[0,0]=Kit A\nKey[0,1]=Kit B\n",
       {"4 VLT2010"}, {}, {},
       ".Patch Names\n[GM]\n0=Piano\n[Kit A]\nBasedOn=GM\n[Kit B]\n36=Kick\n" + kInstrument +
           "Patch[*]=GM\nKey[0,0]=Kit A\nKey[0,1]=Kit B\n"},
      {"KitOfANameTheNewSectionHas",
       ".Patch Names\n[GM]\n[Kit A]\n[Kit B]\n.Note Names\n[Kit B]\n" + kInstrument +
           "Patch[*]=GM\nKey[0,0]=Kit A\nKey[0,1]=Kit A\nKey[0,2]=Kit B\n",
       {"3 VLT2010: Lists \"Kit A\" to \"Kit B\" (2 lists)"}, {}, {},
       ".Patch Names\n[GM]\n[Kit A]\n[Kit B]\n.Note Names\n[Kit B]\n" + kInstrument +
           "Patch[*]=GM\nKey[0,0]=Kit A\nKey[0,1]=Kit A\nKey[0,2]=Kit B\n"},
      {"RpnNumbersDoNotFitNoteLists",
       ".RPN Names\n[Kit]\n200=Far\n" + kInstrument + "Key[0,0]=Kit\nKey[0,1]=Kit\n",
       {"2 VLT2010"}, {}, {},
       ".RPN Names\n[Kit]\n200=Far\n" + kInstrument + "Key[0,0]=Kit\nKey[0,1]=Kit\n"},
      // Where a header above the lists would break something, or the
      // evidence is thin, nothing is said.
      {"AListOfItsOwnKindAfterTheKits",
       ".Patch Names\n[Kit A]\n[Kit B]\n[GM]\n" + kInstrument +
           "Patch[*]=GM\nKey[0,0]=Kit A\nKey[0,1]=Kit B\n",
       {}, {"VLT2010"}, {}},
      {"OneReferenceIsNotEnough", ".Patch Names\n[Kit]\n" + kInstrument + "Key[0,0]=Kit\n", {},
       {"VLT2010"}, {}},
      {"KeysOfTwoKindsWantNoOneHeader",
       ".Patch Names\n[Kit]\n[Ctl]\n" + kInstrument + "Key[0,0]=Kit\nControl=Ctl\n", {},
       {"VLT2010"}, {}},
      {"ReferencesThatResolveAreNoEvidence",
       ".Patch Names\n[Kit]\n.Note Names\n[Kit]\n" + kInstrument +
           "Key[0,0]=Kit\nKey[0,1]=Kit\n",
       {"2 VLT1002"}, {"VLT2010"}, {}},
  };
  return cases;
}

// Failures name the case, not its bytes.
void PrintTo(const AlarmCase& c, std::ostream* out) { *out << c.label; }

class AlarmTest : public ::testing::TestWithParam<AlarmCase> {};

std::string Key(const CFinding& finding) {
  return std::to_string(finding.place.line) + " " + std::string(finding.Rule().id);
}

// Each reported finding and its note, a line each.
std::string Described(const CCheckResult& result) {
  std::string text;
  for (const CFinding* finding : result.reported) {
    text += Key(*finding) + ": " + finding->message + "\n";
    if (finding->note)
      text += "  note " + std::to_string(finding->note->place.line) + ": " +
              finding->note->message + "\n";
  }
  return text;
}

TEST_P(AlarmTest, ReportsWhatItMustAndNothingElseOfIt) {
  const AlarmCase& c = GetParam();
  const CRuleSelection rules = CRuleSelection::Defaults();
  CCheckOptions options;
  options.rules = &rules;
  const CCheckResult result = CheckBytes(c.file, options);
  const std::string seen = Described(result);
  for (const std::string& want : c.must) {
    const std::size_t colon = want.find(": ");
    const std::string key = want.substr(0, colon);
    const std::string text = colon == std::string::npos ? "" : want.substr(colon + 2);
    bool found = false;
    for (const CFinding* finding : result.reported)
      found = found || (Key(*finding) == key && finding->message.find(text) != std::string::npos);
    EXPECT_TRUE(found) << want << "\nreported:\n" << seen;
  }
  for (const std::string& unwanted : c.mustNot) {
    const bool anywhere = unwanted.find(' ') == std::string::npos;
    for (const CFinding* finding : result.reported)
      EXPECT_NE(anywhere ? std::string(finding->Rule().id) : Key(*finding), unwanted) << seen;
  }
  for (const std::string& note : c.notes) {
    const bool absent = note.starts_with('!');
    const std::size_t colon = note.find(": ");
    const std::string line = absent ? "" : note.substr(0, colon);
    const std::string text = absent ? note.substr(1) : note.substr(colon + 2);
    bool found = false;
    for (const CFinding* finding : result.reported) {
      found = found || (finding->note && finding->note->message.find(text) != std::string::npos &&
                        (absent || std::to_string(finding->note->place.line) == line));
    }
    EXPECT_EQ(found, !absent) << note << "\nreported:\n" << seen;
  }
  // Read in two parts at once, split in the middle, the file gives the same.
  CCheckOptions inParts = options;
  inParts.splitFrom = 1;
  EXPECT_EQ(Described(CheckBytes(c.file, inParts)), seen);
  if (c.fixed) {
    const CFixOutcome outcome = FixBytes(
        c.file, [&](std::string_view bytes) { return CheckBytes(bytes, options); }, true);
    EXPECT_EQ(outcome.text, *c.fixed);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, AlarmTest, ::testing::ValuesIn(AlarmCases()),
                         [](const ::testing::TestParamInfo<AlarmCase>& info) {
                           return std::string(info.param.label);
                         });

// The bytes of a rule's --explain example: "<end of file>" ends the last
// line without a line end, "<300 characters>" stands for that many, and a
// line "..." for entries left out.
std::string ExampleBytes(const FindingRule& rule) {
  std::string file(rule.example);
  bool ended = true;
  if (const std::size_t at = file.find("<end of file>"); at != std::string::npos) {
    file.erase(at);
    ended = false;
  }
  if (const std::size_t at = file.find("<300 characters>"); at != std::string::npos)
    file.replace(at, 16, std::string(300, 'x'));
  if (const std::size_t at = file.find("...\n"); at != std::string::npos) file.erase(at, 4);
  if (ended) file += "\n";
  return file;
}

std::string Reported(const CCheckResult& result) {
  std::string seen;
  for (const CFinding* finding : result.reported)
    seen += std::to_string(finding->place.line) + " " + std::string(RuleOf(finding->kind).id) + "\n";
  return seen;
}

// A rule's --explain example shows that rule: the text an author reads is
// what the check says, with every rule on and with the rule selected alone
// (where it must be all that is reported: a rule that a pass forgets when
// it runs alone reports nothing there). Where the rule has a fix, the fix
// as --fix applies it (with --unsafe-fixes for an unsafe one) turns the
// example into text where the rule is quiet.
TEST(ExplainExampleTest, EveryExampleShowsItsRuleAndItsFixQuietsIt) {
  const CRuleSelection all = SelectRules(std::vector<std::string>{"ALL"}, {});
  for (const FindingRule& rule : FindingRules()) {
    const std::string file = ExampleBytes(rule);
    CCheckOptions options;
    options.rules = &all;
    const CCheckResult result = CheckBytes(file, options);
    bool shown = false;
    for (const CFinding* finding : result.reported) shown = shown || finding->kind == rule.kind;
    EXPECT_TRUE(shown) << rule.id << " in\n" << file;
    // The forgotten header is no knock-on of any other rule's example.
    if (rule.kind != FindingKind::missingSectionHeader) {
      for (const CFinding* finding : result.reported)
        EXPECT_NE(finding->kind, FindingKind::missingSectionHeader) << rule.id;
    }

    const CRuleSelection alone = SelectRules(std::vector<std::string>{std::string(rule.id)}, {});
    options.rules = &alone;
    const CCheckResult selected = CheckBytes(file, options);
    EXPECT_FALSE(selected.reported.empty())
        << rule.id << " alone in\n" << file << "reports\n" << Reported(selected);
    for (const CFinding* finding : selected.reported)
      EXPECT_EQ(finding->kind, rule.kind) << rule.id << " alone reports\n" << Reported(selected);
    if (rule.fix == FixAvailability::none) continue;
    const CFixOutcome outcome =
        FixBytes(file, [&](std::string_view bytes) { return CheckBytes(bytes, options); },
                 rule.fix == FixAvailability::unsafe);
    EXPECT_TRUE(outcome.fixed > 0 && outcome.remaining.reported.empty())
        << rule.id << ": " << outcome.fixed << " fixed, giving\n"
                                       << outcome.text << "where it reports\n"
                                       << Reported(outcome.remaining);
  }
}

}  // namespace
