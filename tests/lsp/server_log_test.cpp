#include "lsp/server_log.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

TEST(ServerLogTest, WritesEachKindAtPowersOfTenWithItsCount) {
  std::vector<std::string> lines;
  CServerLog log([&](std::string_view line) { lines.emplace_back(line); });
  for (int i = 0; i < 1000; ++i) log.Write(LogEvent::ignoredNotification, "ignored x");
  log.Write(LogEvent::badFrame, "skipped y");
  const std::vector<std::string> expected = {
      "veltrane-lsp: ignored x",
      "veltrane-lsp: ignored x (10 times so far)",
      "veltrane-lsp: ignored x (100 times so far)",
      "veltrane-lsp: ignored x (1000 times so far)",
      "veltrane-lsp: skipped y",
  };
  EXPECT_EQ(lines, expected);
}

TEST(ServerLogTest, EscapesWhatIsNotPrintable) {
  struct Case {
    std::string text;
    std::string escaped;
  };
  const Case cases[] = {
      {"plain text: 1", "plain text: 1"},
      {"a\x1b[2Jb", "a\\x1B[2Jb"},
      {std::string("nul\0cr\rlf\n", 10), "nul\\x00cr\\x0Dlf\\x0A"},
      {"\xC3\xA4\x7F", "\\xC3\\xA4\\x7F"},
      {"back\\slash", "back\\x5Cslash"},
  };
  for (const Case& c : cases) EXPECT_EQ(EscapeForLog(c.text), c.escaped) << c.escaped;
}

}  // namespace
