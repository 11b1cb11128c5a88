// The line pass (checker/rules/line_pass.cpp): the lists it reads from the
// lines it reads for the rules, and where it splits a file read in halves.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "checker/check.h"
#include "checker/rules/lint.h"
#include "checker/rules/rule_selection.h"
#include "tests/mixed_file.h"
#include "tests/result_digest.h"

namespace {

// Whether a line of `file`, as loaders read lines, is longer than a piece.
bool HasLongLine(std::string_view file) {
  for (std::size_t begin = 0; begin < file.size();) {
    const std::size_t lf = std::min(file.find('\n', begin), file.size());
    std::size_t length = lf - begin;
    if (lf < file.size() && length > 0 && file[lf - 1] == '\r') --length;
    if (length > kLongestWholeLine) return true;
    begin = lf + 1;
  }
  return false;
}

// A check with the line rules takes the lists from the lines it reads for
// them: entry for entry, place for place, what the scan of the pieces
// gives, in one part or two, unless a line longer than a piece makes the
// pieces differ from the lines, which it must then say.
TEST(LinePassTest, TheLineRulesReadTheListsAsTheScanDoes) {
  const CRuleSelection all = SelectRules(std::vector<std::string>{"ALL"}, {});
  std::mt19937 random(21);
  for (int n = 0; n < 800; ++n) {
    const std::string bytes = MixedFile(random, n % 4 != 0);
    for (const int page : {0, 932}) {
      const CCodePage codePage = CCodePage::FromNumber(page).value_or(CCodePage());
      CStdioFile file;
      file.OpenMemory(bytes, "memory");
      CLabelList definitions, references;
      std::vector<CSectionHeader> headers;
      ScanLabels(file, definitions, references, codePage, std::numeric_limits<std::uint64_t>::max(),
                 &headers);
      std::ostringstream scanned;
      DigestList(scanned, definitions);
      DigestList(scanned, references);
      for (const CSectionHeader& header : headers) scanned << header.kind << "@" << header.line << " ";
      for (const bool inParts : {false, true}) {
        CCheckResult result;
        result.codePage = codePage;
        CRuleSink sink{result.ruleFindings, result.kept, result.codePage, result.lineEnd};
        std::vector<CSuppression> suppressions;
        CLabelList readDefinitions, readReferences;
        std::vector<CSectionHeader> readHeaders;
        CLabelLists labels{readDefinitions, readReferences, readHeaders};
        const bool whole = LintLines(file, all, true, inParts, sink, suppressions, &labels);
        ASSERT_EQ(whole, !HasLongLine(bytes)) << bytes;
        if (!whole) continue;
        std::ostringstream read;
        DigestList(read, readDefinitions);
        DigestList(read, readReferences);
        for (const CSectionHeader& header : readHeaders) read << header.kind << "@" << header.line << " ";
        ASSERT_EQ(read.str(), scanned.str())
            << "file " << n << " code page " << page << " in parts " << inParts << ":\n" << bytes;
      }
    }
  }
}

// The line rules split where a list or an instrument begins, with what
// stands just before it: padding at the end moves the middle over every
// line of these files.
TEST(LinePassTest, LintingInHalvesSplitsAtEveryLineAsOneReadingDoes) {
  const CRuleSelection all = SelectRules(std::vector<std::string>{"ALL"}, {});
  const std::string files[] = {
      ".Patch Names\n[A]\n0=x\n0=y\n; veltrane: ignore\n[A]\n1=z\n1=z\n",
      ".RPN Names\n[R]\n16383=x\r\n.Instrument Definitions\r\n[I]\r\nRPN=R\r\n\r\n"
      "; veltrane: ignore VLT1001\r\n[I]\r\nPatch[0]=1..128\r\nBankSelMethod=1\r\n",
      ".Note Names\r[K]\r\n128=x\r\n0=y\rz\n[K]\n1=a\n.Other\n[L]\n99999=b\n",
      ".Instrument Definitions\n[I]\nPatch[0]=A\nPatch[0]=B\n"
      ".Patch Names\n[A]\n0=x\n[B]\n0=x\n; veltrane: ignore VLT2002\n0=y\n",
  };
  for (const std::string& file : files) {
    for (int padding = 0; padding < 40; ++padding) {
      std::string padded = file;
      for (int i = 0; i < padding; ++i) padded += "; pad\n";
      CCheckOptions whole{CCodePage(), true};
      whole.splitFrom = std::numeric_limits<std::uint64_t>::max();
      whole.rules = &all;
      CCheckOptions halves = whole;
      halves.splitFrom = 1;
      ASSERT_EQ(DigestOf(CheckBytes(padded, halves)), DigestOf(CheckBytes(padded, whole)))
          << padded;
    }
  }
}

}  // namespace
