// veltrane.toml: the rules a project wants reported, read by the command
// line and the language server. The protocol never reads it.
//
//   [check]
//   select = ["VLT1", "VLT2"]        # replaces the rules on by default
//   ignore = ["VLT3005"]
//   codepage = 932
//   [check.per-file-ignores]
//   "legacy/*.ins" = ["VLT3"]        # globs relative to this file's folder
#ifndef VELTRANE_CHECKER_RULE_CONFIG_H_
#define VELTRANE_CHECKER_RULE_CONFIG_H_

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "checker/rules/rule_selection.h"

// A configuration that cannot be used; what() is "FILE:LINE: what is wrong".
class CConfigError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct CRuleConfig {
  std::string path;    // the file it was read from; empty: no configuration
  std::string folder;  // that file's folder, which per-file globs start from
  std::optional<std::vector<std::string>> select;
  std::vector<std::string> ignore;
  std::optional<int> codePage;
  struct PerFile {
    std::string glob;
    std::vector<std::string> ignore;
  };
  std::vector<PerFile> perFileIgnores;
};

// The name of the configuration file.
inline constexpr std::string_view kConfigFileName = "veltrane.toml";

// Reads `text` as the configuration file `path`. Throws CConfigError when it
// is no TOML, holds a key or table it does not know, a value of the wrong
// type, a pattern that names no rule or a code page this program lacks.
CRuleConfig ParseRuleConfig(std::string_view text, const std::string& path);

// Reads the configuration file `path`; throws CConfigError also when it
// cannot be read.
CRuleConfig LoadRuleConfig(const std::string& path);

// The first veltrane.toml in the folder of `input` or a folder above it, or
// an empty string when there is none.
std::string FindRuleConfig(const std::string& input);

// What `config` reports for the file `input`: its select and ignore, the
// per-file ignores whose glob matches `input`, and `extraSelect` and
// `extraIgnore` (say, from the command line) on top: a select given there
// replaces the file's, an ignore adds to it.
CRuleSelection SelectRulesFor(const CRuleConfig& config, const std::string& input,
                              const std::optional<std::vector<std::string>>& extraSelect,
                              const std::vector<std::string>& extraIgnore);

// Whether `path` (with "/" between folders) matches `glob`: "*" and "?"
// stay within a folder name, "**/" spans folders. A glob without "/"
// matches the file's name alone.
bool GlobMatches(std::string_view glob, std::string_view path);

#endif  // VELTRANE_CHECKER_RULE_CONFIG_H_
