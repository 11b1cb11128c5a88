#include "lsp/rule_settings.h"

namespace {

// The patterns of a setting: a list of strings or one comma-separated string.
// Patterns naming no rule go to `unknown`.
std::vector<std::string> PatternsOf(const Json& value, std::vector<std::string>& unknown) {
  std::vector<std::string> patterns;
  auto add = [&](const std::string& text) {
    std::vector<std::string> some;
    AddPatterns(text, some);
    for (std::string& pattern : some) {
      if (NamesRule(pattern)) patterns.push_back(std::move(pattern));
      else unknown.push_back(std::move(pattern));
    }
  };
  if (value.is_string()) add(value.get<std::string>());
  if (value.is_array())
    for (const Json& item : value)
      if (item.is_string()) add(item.get<std::string>());
  return patterns;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string CRuleSettings::Take(const Json& options) {
  if (!options.is_object()) return {};
  const Json* rules = nullptr;
  if (options.contains("rules")) rules = &options["rules"];
  else if (options.contains("veltrane") && options["veltrane"].is_object() &&
           options["veltrane"].contains("rules"))
    rules = &options["veltrane"]["rules"];
  if (!rules || !rules->is_object()) return {};
  std::vector<std::string> unknown;
  if (rules->contains("select")) {
    std::vector<std::string> select = PatternsOf((*rules)["select"], unknown);
    // An empty select in an editor's settings means "as configured".
    m_select = select.empty() ? std::nullopt : std::make_optional(std::move(select));
  }
  if (rules->contains("ignore")) m_ignore = PatternsOf((*rules)["ignore"], unknown);
  if (unknown.empty()) return {};
  std::string problem = "veltrane: the rule settings name no rule:";
  for (const std::string& pattern : unknown) problem += " " + pattern;
  return problem;
}

CRuleSelection CRuleSettings::For(const std::string& uri, std::string& problem) {
  problem.clear();
  const std::string path = PathOfFileUri(uri);
  const std::string configPath = path.empty() ? std::string() : FindRuleConfig(path);
  if (configPath.empty()) return SelectRules(m_select, m_ignore);
  auto it = m_configs.find(configPath);
  if (it == m_configs.end()) {
    CachedConfig cached;
    try {
      cached.config = LoadRuleConfig(configPath);
    } catch (const CConfigError& error) {
      cached.problem = error.what();
    }
    it = m_configs.emplace(configPath, std::move(cached)).first;
  }
  problem = it->second.problem;
  return SelectRulesFor(it->second.config, path, m_select, m_ignore);
}

std::string PathOfFileUri(const std::string& uri) {
  // Only files of this machine: "file:///path" or "file://localhost/path".
  std::size_t start = 0;
  for (std::string_view scheme : {"file:///", "file://localhost/"})
    if (uri.compare(0, scheme.size(), scheme) == 0) start = scheme.size() - 1;
  if (start == 0) return {};
  std::string path;
  for (std::size_t i = start; i < uri.size(); ++i) {
    if (uri[i] == '%' && i + 2 < uri.size() && HexValue(uri[i + 1]) >= 0 &&
        HexValue(uri[i + 2]) >= 0) {
      path.push_back(static_cast<char>(HexValue(uri[i + 1]) * 16 + HexValue(uri[i + 2])));
      i += 2;
    } else {
      path.push_back(uri[i]);
    }
  }
#ifdef _WIN32
  // file:///C:/folder: the drive comes after the third slash.
  if (path.size() >= 3 && path[0] == '/' && path[2] == ':') path.erase(0, 1);
#endif
  return path;
}
