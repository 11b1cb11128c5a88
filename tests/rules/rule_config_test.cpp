// veltrane.toml: what it may say, and the messages for what it may not.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "checker/rules/rule_config.h"
#include "tests/test_util.h"

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

// The files of a run are read once; a server's are read again when they
// look changed, and only other bytes or another problem count as a change.
TEST(RuleConfigTest, FilesReadOnceOrWhenChanged) {
  ScratchDir dir;
  const std::string path = dir.File("veltrane.toml");
  const auto later = [&](const std::string& bytes) {
    const auto before = std::filesystem::last_write_time(path);
    WriteBytes(path, bytes);
    std::filesystem::last_write_time(path, before + std::chrono::seconds(2));
  };
  WriteBytes(path, "[check]\nselect = [\"VLT2\"]\n");
  CRuleConfigFiles files;
  struct Step {
    const char* label;
    std::string bytes;  // written before the look-up with a later time; "-": removed; "": left
    bool again;
    bool read;
    bool changed;
    std::string problem;  // the start of what is wrong; "" for nothing
    std::optional<std::vector<std::string>> select;
  };
  const std::vector<Step> steps = {
      {"First", "", false, true, false, "", std::vector<std::string>{"VLT2"}},
      {"RunReadsOnce", "[check]\nselect = [\"VLT3\"]\n", false, false, false, "",
       std::vector<std::string>{"VLT2"}},
      {"ServerReadsAgain", "", true, true, true, "", std::vector<std::string>{"VLT3"}},
      {"Unchanged", "", true, false, false, "", std::vector<std::string>{"VLT3"}},
      {"SameBytesLater", "[check]\nselect = [\"VLT3\"]\n", true, true, false, "",
       std::vector<std::string>{"VLT3"}},
      {"Broken", "[check]\nselect = [\"VLT9\"]\n", true, true, true, path + ":2: ", std::nullopt},
      {"StillBroken", "", true, false, false, path + ":2: ", std::nullopt},
      {"Repaired", "[check]\n", true, true, true, "", std::nullopt},
      {"Removed", "-", true, true, true, path + ": cannot be read", std::nullopt},
      {"GoneIsAskedAgain", "", true, true, false, path + ": cannot be read", std::nullopt},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.label);
    if (step.bytes == "-") std::filesystem::remove(path);
    else if (!step.bytes.empty()) later(step.bytes);
    const CRuleConfigFiles::CLookup lookup = files.Read(path, step.again);
    EXPECT_EQ(lookup.read, step.read);
    EXPECT_EQ(lookup.changed, step.changed);
    EXPECT_EQ(lookup.file.problem.substr(0, step.problem.size()), step.problem);
    EXPECT_EQ(lookup.file.problem.empty(), step.problem.empty()) << lookup.file.problem;
    EXPECT_EQ(lookup.file.config.select, step.select);
  }
  // Forgotten files are read afresh, which is no change.
  WriteBytes(path, "[check]\n");
  files.Forget();
  const CRuleConfigFiles::CLookup fresh = files.Read(path, false);
  EXPECT_TRUE(fresh.read);
  EXPECT_FALSE(fresh.changed);
}

}  // namespace
