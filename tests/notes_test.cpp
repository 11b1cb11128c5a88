// The notes of veltrane-check --format=gnu end to end: which hint follows a
// label not found, in what order of preference, and that --no-notes and
// the exit status leave them out of the findings.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "tests/test_util.h"

namespace {

using namespace std::string_literals;

const std::string kExe = VELTRANE_CHECK_EXE;

struct NoteCase {
  const char* label;
  std::string file;
  std::string lines;  // the whole output of --format=gnu f.ins
  std::vector<std::string> options = {};
};

const std::vector<NoteCase>& NoteCases() {
  static const std::vector<NoteCase> cases = {
      {"OtherSection",
       ".Note Names\n[Standard]\n.Instrument Definitions\n[I]\nControl=Standard\n"
       "Control=Standard\n",
       "f.ins:2:2: error: Label \"Standard\" not used\n"
       "f.ins:5:9: error: Label \"Standard\" not found\n"
       "f.ins:5:9: note: a list \"Standard\" exists in line 2, but under .Note Names, "
       "not .Controller Names\n"
       "f.ins:6:9: error: Label \"Standard\" not found\n"
       "f.ins:6:9: note: a list \"Standard\" exists in line 2, but under .Note Names, "
       "not .Controller Names\n"},
      {"OtherSectionIsNoSection",
       "[Standard]\n.Instrument Definitions\n[I]\nControl=Standard\n",
       "f.ins:1:2: error: Label \"Standard\" not used\n"
       "f.ins:4:9: error: Label \"Standard\" not found\n"
       "f.ins:4:9: note: a list \"Standard\" exists in line 1, but under no section, "
       "not .Controller Names\n"},
      {"WantedIsNoSection",
       "BasedOn=Piano\n.Patch Names\n[Piano]\n",
       "f.ins:3:2: error: Label \"Piano\" not used\n"
       "f.ins:1:9: error: Label \"Piano\" not found\n"
       "f.ins:1:9: note: a list \"Piano\" exists in line 3, but under .Patch Names, "
       "not no section\n"},
      {"OtherSectionFirstInSortedOrder",
       ".RPN Names\n[Std]\n.Note Names\n[Std]\n.Instrument Definitions\n[I]\n"
       "Control=Std\n",
       "f.ins:2:2: error: Label \"Std\" not used\n"
       "f.ins:4:2: error: Label \"Std\" not used\n"
       "f.ins:7:9: error: Label \"Std\" not found\n"
       "f.ins:7:9: note: a list \"Std\" exists in line 2, but under .RPN Names, "
       "not .Controller Names\n"},
      {"OtherSectionBeforeCloseName",
       ".Controller Names\n[Standart]\n.Note Names\n[Standard]\n"
       ".Instrument Definitions\n[I]\nControl=Standard\n",
       "f.ins:4:2: error: Label \"Standard\" not used\n"
       "f.ins:2:2: error: Label \"Standart\" not used\n"
       "f.ins:7:9: error: Label \"Standard\" not found\n"
       "f.ins:7:9: note: a list \"Standard\" exists in line 4, but under .Note Names, "
       "not .Controller Names\n"},
      {"CaseDiffersBeforeOnlyUnused",
       ".Controller Names\n[Rack Controllers]\n.Instrument Definitions\n[I]\n"
       "Control=RACK CONTROLLERS\n",
       "f.ins:2:2: error: Label \"Rack Controllers\" not used\n"
       "f.ins:5:9: error: Label \"RACK CONTROLLERS\" not found\n"
       "f.ins:5:9: note: did you mean \"Rack Controllers\" (line 2)?\n"},
      {"BlanksDiffer",
       ".Controller Names\n[Rack Controllers]\n[Spare]\n.Instrument Definitions\n[I]\n"
       "Control=R a c k\tController s\n",
       "f.ins:2:2: error: Label \"Rack Controllers\" not used\n"
       "f.ins:3:2: error: Label \"Spare\" not used\n"
       "f.ins:6:9: error: Label \"R a c k\\tController s\" not found\n"
       "f.ins:6:9: note: did you mean \"Rack Controllers\" (line 2)?\n"},
      {"TwoTranspositionsInALongName",
       ".Controller Names\n[Standard Set]\n[Other]\n.Instrument Definitions\n[I]\n"
       "Control=Stnadrad Set\nControl=Stnadrad Sxt\n",
       "f.ins:3:2: error: Label \"Other\" not used\n"
       "f.ins:2:2: error: Label \"Standard Set\" not used\n"
       "f.ins:6:9: error: Label \"Stnadrad Set\" not found\n"
       "f.ins:6:9: note: did you mean \"Standard Set\" (line 2)?\n"
       "f.ins:7:9: error: Label \"Stnadrad Sxt\" not found\n"},
      {"TranspositionThenInsertion",
       ".Patch Names\n[Bank ABC]\n[Other]\n.Instrument Definitions\n[I]\n"
       "Patch[*]=Bank CA\n",
       "f.ins:2:2: error: Label \"Bank ABC\" not used\n"
       "f.ins:3:2: error: Label \"Other\" not used\n"
       "f.ins:6:10: error: Label \"Bank CA\" not found\n"
       "f.ins:6:10: note: did you mean \"Bank ABC\" (line 2)?\n"},
      // Six bytes or fewer allow one edit, seven two.
      {"ShortNamesAllowOneEdit",
       ".Note Names\n[Drums]\n[Pads]\n.Instrument Definitions\n[I]\n"
       "Key[*,*]=Drms\nKey[*,1]=Drumzz\nKey[*,2]=Drumsxx\n",
       "f.ins:2:2: error: Label \"Drums\" not used\n"
       "f.ins:3:2: error: Label \"Pads\" not used\n"
       "f.ins:6:10: error: Label \"Drms\" not found\n"
       "f.ins:6:10: note: did you mean \"Drums\" (line 2)?\n"
       "f.ins:7:10: error: Label \"Drumzz\" not found\n"
       "f.ins:8:10: error: Label \"Drumsxx\" not found\n"
       "f.ins:8:10: note: did you mean \"Drums\" (line 2)?\n"},
      {"UnusedBeforeCloser",
       ".Patch Names\n[Bank Alpha]\n[Bank Alpah]\n.Instrument Definitions\n[I]\n"
       "Patch[*]=Bank Alpha\nPatch[1]=Bank Alphx\n",
       "f.ins:3:2: error: Label \"Bank Alpah\" not used\n"
       "f.ins:7:10: error: Label \"Bank Alphx\" not found\n"
       "f.ins:7:10: note: did you mean \"Bank Alpah\" (line 3)?\n"},
      // Two lists as close, both unused: no guess.
      {"TwoAsCloseNoGuess",
       ".Patch Names\n[Lead Bz]\n[Lead Ax]\n[Lead Bx12]\n.Instrument Definitions\n[I]\n"
       "Patch[*]=Lead Bx\n",
       "f.ins:3:2: error: Label \"Lead Ax\" not used\n"
       "f.ins:4:2: error: Label \"Lead Bx12\" not used\n"
       "f.ins:2:2: error: Label \"Lead Bz\" not used\n"
       "f.ins:7:10: error: Label \"Lead Bx\" not found\n"},
      // The close list in use gives way to the one unused list the
      // reference starts.
      {"UnusedBeforeUsed",
       ".Patch Names\n[Bank 0 (GM1)]\n[Bank 1]\n.Instrument Definitions\n[I]\n"
       "Patch[0]=Bank 0\nPatch[1]=Bank 1\n",
       "f.ins:2:2: error: Label \"Bank 0 (GM1)\" not used\n"
       "f.ins:6:10: error: Label \"Bank 0\" not found\n"
       "f.ins:6:10: note: did you mean \"Bank 0 (GM1)\" (line 2)?\n"},
      {"OnlyUnused",
       ".Controller Names\n[Main]\n[Spare Knobs]\n.Instrument Definitions\n[I]\n"
       "Control=Main\nControl=Faders\n",
       "f.ins:3:2: error: Label \"Spare Knobs\" not used\n"
       "f.ins:7:9: error: Label \"Faders\" not found\n"
       "f.ins:7:9: note: \"Spare Knobs\" (line 3) is the only .Controller Names list "
       "that nothing uses\n"},
      {"TwoUnusedGiveNoNote",
       ".Controller Names\n[Main]\n[Spare Knobs]\n[Pedals]\n.Instrument Definitions\n"
       "[I]\nControl=Main\nControl=Faders\n",
       "f.ins:4:2: error: Label \"Pedals\" not used\n"
       "f.ins:3:2: error: Label \"Spare Knobs\" not used\n"
       "f.ins:8:9: error: Label \"Faders\" not found\n"},
      {"OnlyUnusedOfTheWantedSection",
       ".Note Names\n[Spare Kit]\n.Controller Names\n[Main]\n[Spare Knobs]\n"
       ".Instrument Definitions\n[I]\nControl=Main\nKey[*,*]=Drums\n",
       "f.ins:2:2: error: Label \"Spare Kit\" not used\n"
       "f.ins:5:2: error: Label \"Spare Knobs\" not used\n"
       "f.ins:9:10: error: Label \"Drums\" not found\n"
       "f.ins:9:10: note: \"Spare Kit\" (line 2) is the only .Note Names list "
       "that nothing uses\n"},
      {"NamesWithNulAndBlanks",
       ".Note Names\n[Gone\0 Kit]\n[Bank\0 1]\n.Instrument Definitions\n[I]\n"
       "Key[*,*]=gone\0kit\nPatch[*]=Bank\0 1\n"s,
       "f.ins:3:2: error: Label \"Bank\\x00 1\" not used\n"
       "f.ins:2:2: error: Label \"Gone\\x00 Kit\" not used\n"
       "f.ins:6:10: error: Label \"gone\\x00kit\" not found\n"
       "f.ins:6:10: note: did you mean \"Gone\\x00 Kit\" (line 2)?\n"
       "f.ins:7:10: error: Label \"Bank\\x00 1\" not found\n"
       "f.ins:7:10: note: a list \"Bank\\x00 1\" exists in line 3, but under .Note Names, "
       "not .Patch Names\n"s},
      // "X" is one edit from "", but a list without a name is no list
      // anyone meant: it is neither close nor counted among the unused.
      {"EmptyNamesAreNoCloseName",
       ".Patch Names\n[]\n[Spare]\n.Instrument Definitions\n[I]\nPatch[1]=X\n",
       "f.ins:2:2: error: Label \"\" not used\n"
       "f.ins:3:2: error: Label \"Spare\" not used\n"
       "f.ins:6:10: error: Label \"X\" not found\n"
       "f.ins:6:10: note: \"Spare\" (line 3) is the only .Patch Names list that nothing uses\n"},
      // Names sort by character in a double-byte code page: the search for
      // a list of the same name must walk them in that order.
      {"OtherSectionInShiftJis",
       ".Note Names\n[\x82\xA0]\n[\xB1]\n.Instrument Definitions\n[I]\nControl=\x82\xA0\n",
       "f.ins:3:2: error: Label \"\uFF71\" not used\n"
       "f.ins:2:2: error: Label \"\u3042\" not used\n"
       "f.ins:6:9: error: Label \"\u3042\" not found\n"
       "f.ins:6:9: note: a list \"\u3042\" exists in line 2, but under .Note Names, "
       "not .Controller Names\n",
       {"--codepage=932"}},
      {"OtherSectionInGbk",
       ".Note Names\n[\x82\xA0]\n[\xB1]\n.Instrument Definitions\n[I]\nControl=\x82\xA0\n",
       // 0xB1 leads a character here, which swallows the "]".
       "f.ins:3:2: error: Label \"\" not used\n"
       "f.ins:3:2: note: this label line has no closing \"]\", so its list has no name\n"
       "f.ins:2:2: error: Label \"\u5041\" not used\n"
       "f.ins:6:9: error: Label \"\u5041\" not found\n"
       "f.ins:6:9: note: a list \"\u5041\" exists in line 2, but under .Note Names, "
       "not .Controller Names\n",
       {"--codepage=936"}},
      // In UTF-8 a Japanese name one character off is one edit away (and
      // its column counts characters); read byte by byte it is three.
      {"Utf8CharacterIsOneEdit",
       ".Note Names\n[\u30BE\u30FC\u30F3 Kit]\n.Instrument Definitions\n[I]\n"
       "Key[*,*]=\u30BD\u30FC\u30F3 Kit\n",
       "f.ins:2:2: error: Label \"\u30BE\u30FC\u30F3 Kit\" not used\n"
       "f.ins:5:10: error: Label \"\u30BD\u30FC\u30F3 Kit\" not found\n"
       "f.ins:5:10: note: did you mean \"\u30BE\u30FC\u30F3 Kit\" (line 2)?\n",
       {"--codepage=65001"}},
      {"Utf8ByteByByteByDefault",
       ".Note Names\n[\u30BE\u30FC\u30F3 Kit]\n[Spare]\n.Instrument Definitions\n[I]\n"
       "Key[*,*]=\u30FC\u30F3 Kit\n",
       "f.ins:3:2: error: Label \"Spare\" not used\n"
       "f.ins:2:2: error: Label \"\u30BE\u30FC\u30F3 Kit\" not used\n"
       "f.ins:6:10: error: Label \"\u30FC\u30F3 Kit\" not found\n"},
      // A reference of six characters (18 bytes) allows one edit, not two.
      {"Utf8LimitCountsCharacters",
       ".Note Names\n[\u30C9\u30E9\u30E0\u30AD]\n[Spare]\n"
       ".Instrument Definitions\n[I]\nKey[*,*]=\u30C9\u30E9\u30E0\u30AD\u30C3\u30C8\n",
       "f.ins:3:2: error: Label \"Spare\" not used\n"
       "f.ins:2:2: error: Label \"\u30C9\u30E9\u30E0\u30AD\" not used\n"
       "f.ins:6:10: error: Label \"\u30C9\u30E9\u30E0\u30AD\u30C3\u30C8\" not found\n",
       {"--codepage=65001"}},
      // Every reference reaches the first of two lists of one name and
      // section: the second is no list to point at.
      {"SecondOfTwoListsIsNeverSuggested",
       ".Note Names\n[Room Kit]\n[Room Kit]\n.Instrument Definitions\n[I]\n"
       "Key[*,0]=Room Kit\nKey[*,1]=Rom Kit\nKey[*,2]=Electro Kit\n",
       "f.ins:3:2: warning: Label \"Room Kit\" already in line 2\n"
       "f.ins:3:2: error: Label \"Room Kit\" not used\n"
       "f.ins:7:10: error: Label \"Rom Kit\" not found\n"
       "f.ins:7:10: note: did you mean \"Room Kit\" (line 2)?\n"
       "f.ins:8:10: error: Label \"Electro Kit\" not found\n"},
      {"LabelWithoutClosingBracket",
       ".Patch Names\n[Bank A\n.Instrument Definitions\n[I]\nPatch[*]=Bank A\n",
       "f.ins:2:2: error: Label \"\" not used\n"
       "f.ins:2:2: note: this label line has no closing \"]\", so its list has no name\n"
       "f.ins:5:10: error: Label \"Bank A\" not found\n"},
      {"ByteOrderMarkHidesTheFirstHeader",
       "\xEF\xBB\xBF.Patch Names\n[GM]\n.Instrument Definitions\n[I]\nPatch[*]=GM\n",
       "f.ins:1:1: note: the file begins with a UTF-8 byte-order mark, which hides the section "
       "header \".Patch Names\" behind it: the lists up to the next header stand in no section\n"
       "f.ins:2:2: error: Label \"GM\" not used\n"
       "f.ins:5:10: error: Label \"GM\" not found\n"
       "f.ins:5:10: note: a list \"GM\" exists in line 2, but under no section, not .Patch Names\n"},
      {"ByteOrderMarkBeforeAComment",
       "\xEF\xBB\xBF; made by hand\n.Patch Names\n[GM]\n", "f.ins:3:2: error: Label \"GM\" not used\n"},
      {"CleanFile",
       ".Patch Names\n[Bank]\n.Instrument Definitions\n[I]\nPatch[*]=Bank\n", ""},
  };
  return cases;
}

void PrintTo(const NoteCase& c, std::ostream* os) { *os << c.label; }

class NotesTest : public ::testing::TestWithParam<NoteCase> {};

// The findings of `gnu`, each with the notes after it, in order of their
// places, without the rule ids that end the finding lines: the cases are
// written in the protocol's order. Ids are checked on their own.
std::string ByPlace(const std::string& gnu) {
  struct Block {
    int line;
    int column;
    std::string text;
  };
  std::vector<Block> blocks;
  std::size_t at = 0;
  while (at < gnu.size()) {
    std::size_t end = gnu.find('\n', at);
    end = end == std::string::npos ? gnu.size() : end + 1;
    std::string line = gnu.substr(at, end - at);
    at = end;
    const std::size_t first = line.find(':');
    const std::size_t second = line.find(':', first + 1);
    const std::size_t third = line.find(':', second + 1);
    const bool note = line.compare(third, 8, ": note: ") == 0;
    if (note && !blocks.empty() && line.find(" [VLT") == std::string::npos) {
      blocks.back().text += line;
      continue;
    }
    for (const char* id : {" [VLT1001]\n", " [VLT1002]\n", " [VLT1003]\n"})
      if (line.ends_with(id)) line.replace(line.size() - 11, 11, "\n");
    blocks.push_back({std::stoi(line.substr(first + 1)), std::stoi(line.substr(second + 1)), line});
  }
  std::stable_sort(blocks.begin(), blocks.end(), [](const Block& a, const Block& b) {
    return a.line != b.line ? a.line < b.line : a.column < b.column;
  });
  std::string text;
  for (const Block& block : blocks) text += block.text;
  return text;
}

// Every finding line ends in the id of its kind.
void ExpectIds(const std::string& gnu) {
  for (std::size_t at = 0; at < gnu.size();) {
    std::size_t end = gnu.find('\n', at);
    const std::string line = gnu.substr(at, end - at);
    at = end + 1;
    if (line.find(": note: ") != std::string::npos) continue;
    const char* id = line.find("\" already in line ") != std::string::npos ? " [VLT1001]"
                     : line.ends_with("\" not used [VLT1002]")           ? " [VLT1002]"
                                                                         : " [VLT1003]";
    EXPECT_TRUE(line.ends_with(id)) << line;
  }
}

TEST_P(NotesTest, GnuLines) {
  ScratchDir dir;
  WriteBytes(dir.File("f.ins"), GetParam().file);
  std::vector<std::string> args = {kExe, "--format=gnu", "--select=VLT1"};
  args.insert(args.end(), GetParam().options.begin(), GetParam().options.end());
  args.push_back("f.ins");
  const RunResult r = RunProgram(args, dir.path());
  EXPECT_EQ(ByPlace(r.out), ByPlace(GetParam().lines));
  ExpectIds(r.out);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, GetParam().lines.empty() ? 0 : 1);

  // Notes are no findings: without them the lines and the status are those
  // of the findings alone.
  args.insert(args.begin() + 1, "--no-notes");
  const RunResult bare = RunProgram(args, dir.path());
  EXPECT_EQ(ByPlace(bare.out), ByPlace(WithoutNoteLines(GetParam().lines)));
  EXPECT_EQ(bare.status, r.status);
}

INSTANTIATE_TEST_SUITE_P(Cases, NotesTest, ::testing::ValuesIn(NoteCases()),
                         [](const auto& info) { return std::string(info.param.label); });

// A one-character typo in a double-byte code page is one edit, as in UTF-8:
// the same file in either gives the same lines, notes and all. Read byte
// by byte, a character of two bytes changed, swapped or dropped would be two
// edits or more, and short names would get no note.
TEST(DoubleByteNotesTest, TheSameNotesAsInUtf8) {
  struct Case {
    int codePage;
    std::string nameUtf8, typoUtf8;
    std::string name, typo;  // in the code page
  };
  const Case cases[] = {
      // 管楽器 / 管楽機
      {932, "\xE7\xAE\xA1\xE6\xA5\xBD\xE5\x99\xA8", "\xE7\xAE\xA1\xE6\xA5\xBD\xE6\xA9\x9F",
       "\x8A\xC7\x8Ay\x8A\xED", "\x8A\xC7\x8Ay\x8B@"},
      // 音色リスト / 色音リスト
      {932, "\xE9\x9F\xB3\xE8\x89\xB2\xE3\x83\xAA\xE3\x82\xB9\xE3\x83\x88", "\xE8\x89\xB2\xE9\x9F\xB3\xE3\x83\xAA\xE3\x82\xB9\xE3\x83\x88",
       "\x89\xB9\x90" "F\x83\x8A\x83X\x83g", "\x90" "F\x89\xB9\x83\x8A\x83X\x83g"},
      // 管楽器 / 管楽
      {932, "\xE7\xAE\xA1\xE6\xA5\xBD\xE5\x99\xA8", "\xE7\xAE\xA1\xE6\xA5\xBD",
       "\x8A\xC7\x8Ay\x8A\xED", "\x8A\xC7\x8Ay"},
      // ゾーン Kit / ソーン Kit
      {932, "\xE3\x82\xBE\xE3\x83\xBC\xE3\x83\xB3 Kit", "\xE3\x82\xBD\xE3\x83\xBC\xE3\x83\xB3 Kit",
       "\x83]\x81[\x83\x93 Kit", "\x83\x5C\x81[\x83\x93 Kit"},
      // ドラムキット / ドラムキト
      {932, "\xE3\x83\x89\xE3\x83\xA9\xE3\x83\xA0\xE3\x82\xAD\xE3\x83\x83\xE3\x83\x88", "\xE3\x83\x89\xE3\x83\xA9\xE3\x83\xA0\xE3\x82\xAD\xE3\x83\x88",
       "\x83h\x83\x89\x83\x80\x83L\x83" "b\x83g", "\x83h\x83\x89\x83\x80\x83L\x83g"},
      // 管楽器 / 管楽機
      {936, "\xE7\xAE\xA1\xE6\xA5\xBD\xE5\x99\xA8", "\xE7\xAE\xA1\xE6\xA5\xBD\xE6\xA9\x9F",
       "\xB9\xDC\x98S\xC6\xF7", "\xB9\xDC\x98S\x99" "C"},
      // 音色リスト / 色音リスト
      {936, "\xE9\x9F\xB3\xE8\x89\xB2\xE3\x83\xAA\xE3\x82\xB9\xE3\x83\x88", "\xE8\x89\xB2\xE9\x9F\xB3\xE3\x83\xAA\xE3\x82\xB9\xE3\x83\x88",
       "\xD2\xF4\xC9\xAB\xA5\xEA\xA5\xB9\xA5\xC8", "\xC9\xAB\xD2\xF4\xA5\xEA\xA5\xB9\xA5\xC8"},
      // 钢琴音色 / 钢琴音包
      {936, "\xE9\x92\xA2\xE7\x90\xB4\xE9\x9F\xB3\xE8\x89\xB2", "\xE9\x92\xA2\xE7\x90\xB4\xE9\x9F\xB3\xE5\x8C\x85",
       "\xB8\xD6\xC7\xD9\xD2\xF4\xC9\xAB", "\xB8\xD6\xC7\xD9\xD2\xF4\xB0\xFC"},
      // 音色リスト / 色音リスト
      {949, "\xE9\x9F\xB3\xE8\x89\xB2\xE3\x83\xAA\xE3\x82\xB9\xE3\x83\x88", "\xE8\x89\xB2\xE9\x9F\xB3\xE3\x83\xAA\xE3\x82\xB9\xE3\x83\x88",
       "\xEB\xE5\xDF\xE4\xAB\xEA\xAB\xB9\xAB\xC8", "\xDF\xE4\xEB\xE5\xAB\xEA\xAB\xB9\xAB\xC8"},
      // 드럼키트 / 드럼기트
      {949, "\xEB\x93\x9C\xEB\x9F\xBC\xED\x82\xA4\xED\x8A\xB8", "\xEB\x93\x9C\xEB\x9F\xBC\xEA\xB8\xB0\xED\x8A\xB8",
       "\xB5\xE5\xB7\xB3\xC5\xB0\xC6\xAE", "\xB5\xE5\xB7\xB3\xB1\xE2\xC6\xAE"},
      // 音色リスト / 色音リスト
      {950, "\xE9\x9F\xB3\xE8\x89\xB2\xE3\x83\xAA\xE3\x82\xB9\xE3\x83\x88", "\xE8\x89\xB2\xE9\x9F\xB3\xE3\x83\xAA\xE3\x82\xB9\xE3\x83\x88",
       "\xAD\xB5\xA6\xE2\xC7\xA4\xC7Q\xC7`", "\xA6\xE2\xAD\xB5\xC7\xA4\xC7Q\xC7`"},
      // 鋼琴音色 / 鋼琴音包
      {950, "\xE9\x8B\xBC\xE7\x90\xB4\xE9\x9F\xB3\xE8\x89\xB2", "\xE9\x8B\xBC\xE7\x90\xB4\xE9\x9F\xB3\xE5\x8C\x85",
       "\xBF\xFB\xB5^\xAD\xB5\xA6\xE2", "\xBF\xFB\xB5^\xAD\xB5\xA5]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.codePage) + ": " + c.nameUtf8 + " / " + c.typoUtf8);
    auto file = [](const std::string& name, const std::string& typo) {
      return ".Note Names\n[" + name + "]\n[Spare Kit]\n.Instrument Definitions\n[I]\n"
             "Key[*,*]=" + typo + "\nKey[*,1]=Spare Kit\n";
    };
    ScratchDir dir;
    WriteBytes(dir.File("f.ins"), file(c.name, c.typo));
    WriteBytes(dir.File("u.ins"), file(c.nameUtf8, c.typoUtf8));
    const RunResult ours = RunProgram(
        {kExe, "--format=gnu", "--codepage=" + std::to_string(c.codePage), "f.ins"}, dir.path());
    const RunResult utf8 = RunProgram({kExe, "--format=gnu", "--codepage=65001", "u.ins"}, dir.path());
    EXPECT_NE(utf8.out.find("note: did you mean \"" + c.nameUtf8 + "\""), std::string::npos)
        << utf8.out;
    std::string expected = utf8.out;
    for (std::size_t at = 0; (at = expected.find("u.ins:", at)) != std::string::npos;)
      expected.replace(at, 6, "f.ins:");
    EXPECT_EQ(ours.out, expected);
    EXPECT_EQ(ours.status, utf8.status);
  }
}

}  // namespace
