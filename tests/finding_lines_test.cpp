// The fuzz targets' reading of the two output formats: a fault here would
// either hide a disagreement between them or stop the fuzzer on none.
#include "fuzz/finding_lines.h"

#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

const std::string kHeader = "Veltrane Protocol\nFile: \"1.ins\"\n\n";

struct ProtocolCase {
  const char* label;
  std::string protocol;
  bool whole;
  FindingLines findings;
  int count;
};

void PrintTo(const ProtocolCase& c, std::ostream* os) { *os << c.label; }

class ProtocolFindingsTest : public ::testing::TestWithParam<ProtocolCase> {};

TEST_P(ProtocolFindingsTest, ReadsRecordsAndTrailer) {
  FindingLines findings;
  int count = -1;
  const ProtocolCase& c = GetParam();
  ASSERT_EQ(ReadProtocolFindings(c.protocol, "1.ins", findings, count), c.whole);
  if (!c.whole) return;
  EXPECT_EQ(findings, c.findings);
  EXPECT_EQ(count, c.count);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProtocolFindingsTest,
    ::testing::Values(
        ProtocolCase{"NoFindings", kHeader + "Number of errors 0", true, {}, 0},
        ProtocolCase{"EachKind",
                     kHeader +
                         "Line 4: [A]\nWarning: Label \"A\" already in line 2\n"
                         "Line 2: [A]\nError: Label \"A\" not used\n\n"
                         "Line 9: Control=B\nError: Label \"B\" not found\n\n"
                         "Number of errors 3",
                     true,
                     {"warning: Label \"A\" already in line ",
                      "error: Label \"A\" not used", "error: Label \"B\" not found"},
                     3},
        // A name may hold quotes, the other format's words and control
        // characters, which the gnu lines show as escapes.
        ProtocolCase{"NameWithAnyBytes",
                     kHeader + "Line 1: [x\" not used: note: \0\t]\n"s
                               "Error: Label \"x\" not used: note: \0\t\" not used\n\n"s
                               "Number of errors 1",
                     true,
                     {"error: Label \"x\" not used: note: \\x00\\t\" not used"s},
                     1},
        ProtocolCase{"CountIsTakenAsWritten",
                     kHeader + "Line 1: [A]\nError: Label \"A\" not used\n\nNumber of errors 7",
                     true, {"error: Label \"A\" not used"}, 7},
        // Names are made text as the gnu lines show them.
        ProtocolCase{"NameAsText",
                     kHeader + "Line 1: [\xE9]\nError: Label \"\xE9\" not used\n\nNumber of errors 1",
                     true, {"error: Label \"\xC3\xA9\" not used"}, 1},
        ProtocolCase{"OtherName", "Veltrane Protocol\nFile: \"2.ins\"\n\nNumber of errors 0",
                     false, {}, 0},
        ProtocolCase{"NoTrailer", kHeader, false, {}, 0},
        ProtocolCase{"TextAfterTrailer", kHeader + "Number of errors 0\n", false, {}, 0},
        ProtocolCase{"ErrorWithoutBlankLine",
                     kHeader + "Line 1: [A]\nError: Label \"A\" not used\nNumber of errors 1",
                     false, {}, 0},
        ProtocolCase{"RecordWithoutFinding",
                     kHeader + "Line 1: [A]\nNumber of errors 1", false, {}, 0}),
    [](const auto& info) { return std::string(info.param.label); });

struct GnuCase {
  const char* label;
  std::string output;
  bool wellFormed;
  std::map<std::string, FindingLines> findings;
  std::vector<std::string> order;
};

void PrintTo(const GnuCase& c, std::ostream* os) { *os << c.label; }

class GnuFindingsTest : public ::testing::TestWithParam<GnuCase> {};

TEST_P(GnuFindingsTest, GroupsFindingsByInput) {
  std::map<std::string, FindingLines> findings;
  std::vector<std::string> order;
  const GnuCase& c = GetParam();
  ASSERT_EQ(ReadGnuFindings(c.output, findings, order), c.wellFormed);
  if (!c.wellFormed) return;
  EXPECT_EQ(findings, c.findings);
  EXPECT_EQ(order, c.order);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GnuFindingsTest,
    ::testing::Values(
        GnuCase{"Nothing", "", true, {}, {}},
        GnuCase{"TwoInputsAndNotes",
                "1.ins:4:2: warning: Label \"A\" already in line 2 [VLT1001]\n"
                "1.ins:4:2: note: first defined here\n"
                "2.ins:9:9: error: Label \"B\" not found [VLT1003]\n",
                true,
                {{"1.ins", {"warning: Label \"A\" already in line "}},
                 {"2.ins", {"error: Label \"B\" not found"}}},
                {"1.ins", "2.ins"}},
        // Only a note's own place makes it a note, not the words in a name.
        GnuCase{"NameHoldingNoteWords",
                "1.ins:3:2: error: Label \"x: note: y\" not used [VLT1002]\n", true,
                {{"1.ins", {"error: Label \"x: note: y\" not used"}}}, {"1.ins"}},
        GnuCase{"InputAgainAfterAnother",
                "1.ins:1:2: error: Label \"a\" not used [VLT1002]\n"
                "2.ins:1:2: error: Label \"b\" not used [VLT1002]\n"
                "1.ins:2:2: error: Label \"c\" not used [VLT1002]\n",
                true,
                {{"1.ins", {"error: Label \"a\" not used", "error: Label \"c\" not used"}},
                 {"2.ins", {"error: Label \"b\" not used"}}},
                {"1.ins", "2.ins", "1.ins"}},
        GnuCase{"NoLineNumber", "1.ins: error: Label \"a\" not used\n", false, {}, {}},
        GnuCase{"NoColumn", "1.ins:1: error: Label \"a\" not used\n", false, {}, {}},
        GnuCase{"UnknownSeverity", "1.ins:1:1: fatal: Label \"a\" not used\n", false, {}, {}},
        GnuCase{"NoFinding", "1.ins:1:1: error: a\n", false, {}, {}},
        GnuCase{"NoFinalLineEnd", "1.ins:1:1: error: Label \"a\" not used [VLT1002]", false, {}, {}},
        GnuCase{"NoRuleId", "1.ins:1:1: error: Label \"a\" not used\n", false, {}, {}}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
