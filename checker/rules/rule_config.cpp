// Reading veltrane.toml into a selection of rules, and finding the file.
#include "checker/rules/rule_config.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <system_error>
#include <utility>

#include <toml++/toml.h>

#include "platform/code_page.h"

namespace fs = std::filesystem;

namespace {

[[noreturn]] void Fail(const std::string& path, const toml::source_region& where,
                       const std::string& what) {
  throw CConfigError(path + ":" + std::to_string(where.begin.line) + ": " + what);
}

// An array of rule patterns; each must name a rule.
std::vector<std::string> Patterns(const std::string& path, const toml::node& node,
                                  const std::string& key) {
  const toml::array* array = node.as_array();
  if (!array) Fail(path, node.source(), "\"" + key + "\" must be an array of rule ids");
  std::vector<std::string> patterns;
  for (const toml::node& item : *array) {
    const std::optional<std::string> pattern = item.value<std::string>();
    if (!pattern) Fail(path, item.source(), "\"" + key + "\" must be an array of rule ids");
    if (!NamesRule(*pattern))
      Fail(path, item.source(), "\"" + *pattern + "\" in \"" + key + "\" names no rule");
    patterns.push_back(*pattern);
  }
  return patterns;
}

void ReadCheckTable(const std::string& path, const toml::table& check, CRuleConfig& config) {
  for (const auto& [key, node] : check) {
    const std::string name(key.str());
    if (name == "select") {
      config.select = Patterns(path, node, name);
    } else if (name == "ignore") {
      config.ignore = Patterns(path, node, name);
    } else if (name == "codepage") {
      const std::optional<std::int64_t> number = node.value<std::int64_t>();
      if (!number || *number < 0 || *number > 65535 ||
          !CCodePage::FromNumber(static_cast<int>(*number)))
        Fail(path, node.source(),
             "\"codepage\" must be the number of a code page this program knows, such as 932 "
             "or 1252");
      config.codePage = static_cast<int>(*number);
    } else if (name == "per-file-ignores") {
      const toml::table* globs = node.as_table();
      if (!globs) Fail(path, node.source(), "\"per-file-ignores\" must be a table of globs");
      for (const auto& [glob, patterns] : *globs)
        config.perFileIgnores.push_back(
            {std::string(glob.str()), Patterns(path, patterns, std::string(glob.str()))});
    } else {
      Fail(path, node.source(),
           "unknown key \"" + name +
               "\" in [check] (select, ignore, codepage or per-file-ignores)");
    }
  }
}

// Whether `glob` from `g` matches `text` from `t`, recursively for "**".
bool Match(std::string_view glob, std::string_view text) {
  while (!glob.empty()) {
    if (glob.starts_with("**")) {
      std::string_view rest = glob.substr(2);
      if (rest.starts_with('/')) rest.remove_prefix(1);
      for (std::size_t skip = 0; skip <= text.size(); ++skip) {
        if ((skip == 0 || text[skip - 1] == '/' || rest.empty()) && Match(rest, text.substr(skip)))
          return true;
      }
      return false;
    }
    if (glob.front() == '*') {
      for (std::size_t skip = 0; skip <= text.size(); ++skip) {
        if (Match(glob.substr(1), text.substr(skip))) return true;
        if (skip < text.size() && text[skip] == '/') break;
      }
      return false;
    }
    if (text.empty()) return false;
    if (glob.front() == '?' ? text.front() == '/' : glob.front() != text.front()) return false;
    glob.remove_prefix(1);
    text.remove_prefix(1);
  }
  return text.empty();
}

}  // namespace

CRuleConfig ParseRuleConfig(std::string_view text, const std::string& path) {
  toml::table table;
  try {
    table = toml::parse(text, path);
  } catch (const toml::parse_error& error) {
    Fail(path, error.source(), std::string(error.description()));
  }
  CRuleConfig config;
  config.path = path;
  config.folder = fs::path(path).parent_path().string();
  for (const auto& [key, node] : table) {
    if (key.str() != "check" || !node.is_table())
      Fail(path, node.source(), "unknown key \"" + std::string(key.str()) + "\" (only [check])");
    ReadCheckTable(path, *node.as_table(), config);
  }
  return config;
}

namespace {

// The bytes of the file `path`; throws CConfigError when it cannot be read.
std::string ConfigBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  if (in) text << in.rdbuf();
  if (!in || in.bad())
    throw CConfigError(path + ": cannot be read: " + std::strerror(errno));
  return std::move(text).str();
}

}  // namespace

CRuleConfig LoadRuleConfig(const std::string& path) {
  return ParseRuleConfig(ConfigBytes(path), path);
}

CRuleConfigFiles::CLookup CRuleConfigFiles::Read(const std::string& path, bool again) {
  auto it = m_files.find(path);
  if (it != m_files.end() && !again) return {it->second};
  std::error_code sizeError;
  std::error_code timeError;
  const std::uintmax_t size = fs::file_size(path, sizeError);
  const auto time = fs::last_write_time(path, timeError);
  const std::int64_t stamp =
      sizeError || timeError ? -1 : static_cast<std::int64_t>(time.time_since_epoch().count());
  if (it != m_files.end() && it->second.size == size && it->second.time == stamp && stamp != -1)
    return {it->second};
  CFile file;
  file.size = size;
  file.time = stamp;
  try {
    const std::string bytes = ConfigBytes(path);
    file.content = std::hash<std::string>()(bytes);
    file.config = ParseRuleConfig(bytes, path);
  } catch (const CConfigError& failure) {
    file.problem = failure.what();
  }
  const bool changed = it != m_files.end() &&
                       (it->second.content != file.content || it->second.problem != file.problem);
  it = m_files.insert_or_assign(path, std::move(file)).first;
  return {it->second, true, changed};
}

std::string FindRuleConfig(const std::string& input) {
  std::error_code error;
  fs::path folder = fs::absolute(fs::path(input), error).parent_path();
  if (error) return {};
  for (;;) {
    const fs::path candidate = folder / std::string(kConfigFileName);
    if (fs::is_regular_file(candidate, error)) return candidate.string();
    if (!folder.has_relative_path()) return {};
    folder = folder.parent_path();
  }
}

CRuleSelection SelectRulesFor(const CRuleConfig& config, const std::string& input,
                              const std::optional<std::vector<std::string>>& extraSelect,
                              const std::vector<std::string>& extraIgnore) {
  std::vector<std::string> ignore = config.ignore;
  if (!config.perFileIgnores.empty()) {
    std::error_code error;
    const fs::path relative =
        fs::absolute(fs::path(input), error).lexically_relative(fs::absolute(config.folder, error));
    const std::string path = relative.generic_string();
    for (const CRuleConfig::PerFile& entry : config.perFileIgnores)
      if (GlobMatches(entry.glob, path))
        ignore.insert(ignore.end(), entry.ignore.begin(), entry.ignore.end());
  }
  ignore.insert(ignore.end(), extraIgnore.begin(), extraIgnore.end());
  return SelectRules(extraSelect ? extraSelect : config.select, ignore);
}

bool GlobMatches(std::string_view glob, std::string_view path) {
  if (glob.starts_with("./")) glob.remove_prefix(2);
  if (glob.find('/') == std::string_view::npos) {
    const std::size_t slash = path.rfind('/');
    if (slash != std::string_view::npos) path.remove_prefix(slash + 1);
  }
  return Match(glob, path);
}
