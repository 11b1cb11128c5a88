// veltrane.toml: what it may say, and the messages for what it may not.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "checker/rules/rule_config.h"

namespace {

TEST(RuleConfigTest, ReadsEveryKey) {
  const CRuleConfig config = ParseRuleConfig(
      "[check]\nselect = [\"VLT2\", \"VLT3001\"]\nignore = [\"VLT2005\"]\ncodepage = 932\n"
      "[check.per-file-ignores]\n\"legacy/*.ins\" = [\"VLT3001\", \"VLT2\"]\n",
      "/p/veltrane.toml");
  ASSERT_TRUE(config.select);
  EXPECT_EQ(*config.select, (std::vector<std::string>{"VLT2", "VLT3001"}));
  EXPECT_EQ(config.ignore, std::vector<std::string>{"VLT2005"});
  EXPECT_EQ(config.codePage, 932);
  ASSERT_EQ(config.perFileIgnores.size(), 1u);
  EXPECT_EQ(config.perFileIgnores[0].glob, "legacy/*.ins");
  EXPECT_EQ(config.folder, "/p");

  const CRuleSelection legacy = SelectRulesFor(config, "/p/legacy/old.ins", std::nullopt, {});
  // An ignore as specific as the select wins; a less specific one loses.
  EXPECT_FALSE(legacy.Has(FindingKind::commentAfterValue));
  EXPECT_FALSE(legacy.Has(FindingKind::numberOutOfRange));
  EXPECT_FALSE(legacy.Has(FindingKind::misspelledKey));
  EXPECT_FALSE(legacy.Has(FindingKind::notFound));
  const CRuleSelection other = SelectRulesFor(config, "/p/new.ins", std::nullopt, {});
  EXPECT_TRUE(other.Has(FindingKind::commentAfterValue));
  // The command line's select replaces the file's, its ignore adds.
  const CRuleSelection cli =
      SelectRulesFor(config, "/p/new.ins", std::vector<std::string>{"VLT1"}, {"VLT1002"});
  EXPECT_TRUE(cli.Has(FindingKind::notFound));
  EXPECT_FALSE(cli.Has(FindingKind::unused));
  EXPECT_FALSE(cli.Has(FindingKind::numberOutOfRange));
}

TEST(RuleConfigTest, ErrorsNameTheFileAndLine) {
  const struct {
    std::string text;
    std::string message;
  } cases[] = {
      {"[check]\nselect = [\"VLT9\"]\n", "c.toml:2: \"VLT9\" in \"select\" names no rule"},
      {"[check]\nignore = \"VLT2\"\n", "c.toml:2: \"ignore\" must be an array of rule ids"},
      {"[check]\n\nselct = []\n",
       "c.toml:3: unknown key \"selct\" in [check] (select, ignore, codepage or per-file-ignores)"},
      {"[lint]\nselect = []\n", "c.toml:1: unknown key \"lint\" (only [check])"},
      {"[check]\ncodepage = 1\n",
       "c.toml:2: \"codepage\" must be the number of a code page this program knows, such as 932 "
       "or 1252"},
      {"[check]\nselect = [\"VLT2\"\n", ""},  // a TOML syntax error: its own words
      {"[check.per-file-ignores]\n\"*.ins\" = [\"X\"]\n",
       "c.toml:2: \"X\" in \"*.ins\" names no rule"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    try {
      ParseRuleConfig(c.text, "c.toml");
      ADD_FAILURE() << "accepted";
    } catch (const CConfigError& error) {
      if (c.message.empty()) {
        EXPECT_EQ(std::string(error.what()).rfind("c.toml:", 0), 0u) << error.what();
      } else {
        EXPECT_EQ(error.what(), c.message);
      }
    }
  }
}

TEST(RuleConfigTest, Globs) {
  const struct {
    const char* glob;
    const char* path;
    bool matches;
  } cases[] = {
      {"*.ins", "a.ins", true},          {"*.ins", "sub/a.ins", true},
      {"sub/*.ins", "sub/a.ins", true},  {"sub/*.ins", "sub/deep/a.ins", false},
      {"sub/**/*.ins", "sub/deep/a.ins", true}, {"**/a.ins", "a.ins", true},
      {"?.ins", "ab.ins", false},        {"./sub/a.ins", "sub/a.ins", true},
      {"sub/a.ins", "other/a.ins", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(GlobMatches(c.glob, c.path), c.matches) << c.glob << " " << c.path;
}

}  // namespace
