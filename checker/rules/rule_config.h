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

#include <cstddef>
#include <cstdint>
#include <map>
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

// The configuration files of one run of the command line, or of one
// language server: each read once by its path and kept, a broken one with
// what is wrong with it; with `again`, read anew whenever its size or time
// differ from when it was read (or cannot be had), as an editor's user
// saves it while the server runs.
class CRuleConfigFiles {
 public:
  struct CFile {
    CRuleConfig config;   // empty when broken
    std::string problem;  // what CConfigError says is wrong, or ""
    std::size_t content = 0;  // a hash of its bytes; 0 when they cannot be read
    std::uintmax_t size = 0;
    std::int64_t time = 0;  // -1: the size or time could not be had
  };
  struct CLookup {
    const CFile& file;
    bool read = false;     // read now, for the first time or again
    bool changed = false;  // read again, and its bytes or its problem differ
  };

  // The file `path` as last read.
  CLookup Read(const std::string& path, bool again);

  // Forgets the files read so far, so that the next look-up reads them again.
  void Forget() { m_files.clear(); }

 private:
  std::map<std::string, CFile> m_files;  // by path
};

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
