#include "lsp/rule_settings.h"

#include <cctype>

namespace {

// How many patterns naming no rule a notice lists; the rest are counted.
constexpr std::size_t kListedUnknown = 10;

// The patterns of the setting `name`: a list of strings or one
// comma-separated string. What is wrong with it goes to `problems`.
std::vector<std::string> PatternsOf(const Json& value, const std::string& name,
                                    std::vector<std::string>& problems) {
  std::vector<std::string> patterns;
  std::vector<std::string> unknown;
  auto add = [&](const std::string& text) {
    std::vector<std::string> some;
    AddPatterns(text, some);
    for (std::string& pattern : some) {
      if (NamesRule(pattern)) patterns.push_back(std::move(pattern));
      else unknown.push_back(std::move(pattern));
    }
  };
  bool wrongType = !value.is_string() && !value.is_array() && !value.is_null();
  if (value.is_string()) add(value.get<std::string>());
  if (value.is_array()) {
    for (const Json& item : value) {
      if (item.is_string()) add(item.get<std::string>());
      else wrongType = true;
    }
  }
  if (wrongType) {
    problems.push_back("\"" + name + "\" must be a list of rule ids or one string of them; " +
                       (value.is_array() ? "what is not a string in it is" : "it is") +
                       " left out");
  }
  if (!unknown.empty()) {
    std::string problem = "\"" + name + "\" names no rule:";
    for (std::size_t i = 0; i < unknown.size() && i < kListedUnknown; ++i)
      problem += (i == 0 ? " " : ", ") + unknown[i].substr(0, 40);
    if (unknown.size() > kListedUnknown)
      problem += " and " + std::to_string(unknown.size() - kListedUnknown) + " more";
    problems.push_back(std::move(problem));
  }
  return patterns;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

void CRuleSettings::Take(const Json& options) {
  m_select.reset();
  m_ignore.clear();
  std::vector<std::string> problems;
  // Where the rules stand, and the name the user knows that place by.
  const Json* rules = nullptr;
  std::string name = "rules";
  if (options.is_object() && options.contains("rules")) {
    rules = &options["rules"];
  } else if (options.is_object() && options.contains("veltrane")) {
    const Json& veltrane = options["veltrane"];
    name = "veltrane.rules";
    if (veltrane.is_object() && veltrane.contains("rules")) rules = &veltrane["rules"];
    else if (!veltrane.is_object() && !veltrane.is_null())
      problems.push_back("\"veltrane\" must be an object; it is left out");
  }
  if (rules && !rules->is_object() && !rules->is_null()) {
    problems.push_back("\"" + name + "\" must be an object; it is left out");
  } else if (rules && rules->is_object()) {
    if (const auto select = rules->find("select"); select != rules->end()) {
      std::vector<std::string> patterns = PatternsOf(*select, name + ".select", problems);
      // An empty select in an editor's settings means "as configured".
      if (!patterns.empty()) m_select = std::move(patterns);
    }
    if (const auto ignore = rules->find("ignore"); ignore != rules->end())
      m_ignore = PatternsOf(*ignore, name + ".ignore", problems);
  }
  // What is wrong goes to the log whenever it changes, and pops up when a
  // setting goes wrong that was not, or wrong in another way: an editor
  // that sends other unknown ids at each change gets one pop-up, not one
  // each time.
  std::string problem;
  std::string kinds;
  for (const std::string& each : problems) {
    problem += (problem.empty() ? "" : "; ") + each;
    kinds += each.substr(0, each.find(':')) + "\n";
  }
  if (!problem.empty() && problem != m_settingsProblem) {
    const bool popUp = kinds != m_settingsKinds;
    m_notices.push_back({2, "veltrane: the settings are used without what is wrong in them: " + problem,
                         popUp});
  }
  m_settingsProblem = std::move(problem);
  m_settingsKinds = std::move(kinds);
}

CRuleSelection CRuleSettings::For(const std::string& uri) {
  const std::string path = PathOfFileUri(uri);
  const std::string configPath = path.empty() ? std::string() : FindRuleConfig(path);
  if (configPath.empty()) return SelectRules(m_select, m_ignore);
  // Read again whenever the file looks different: an editor need not tell
  // that it was saved, and another program may have written it.
  const CRuleConfigFiles::CLookup lookup = m_configs.Read(configPath, true);
  const CRuleConfigFiles::CFile& now = lookup.file;
  if (lookup.read) {
    // Documents checked with what the file said before are out of date.
    if (lookup.changed) ++m_generation;
    // Each broken content is told once; a repaired file that was told
    // broken is told used again.
    CTold& told = m_told[configPath];
    if (!now.problem.empty() && (told.problem.empty() || told.content != now.content))
      m_notices.push_back({2, now.problem});
    else if (now.problem.empty() && !told.problem.empty())
      m_notices.push_back({3, "veltrane: " + configPath + " is read again and used"});
    told = {now.problem, now.content};
  }
  return SelectRulesFor(now.config, path, m_select, m_ignore);
}

std::string PathOfFileUri(const std::string& uri) {
  // Only files of this machine: "file:///path", "file://localhost/path"
  // or "file:/path"; a scheme and a host are in any case.
  auto startsWith = [&](std::size_t at, std::string_view prefix) {
    if (uri.size() < at + prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
      if (std::tolower(static_cast<unsigned char>(uri[at + i])) != prefix[i]) return false;
    return true;
  };
  if (!startsWith(0, "file:")) return {};
  std::size_t start = 5;
  if (startsWith(start, "///")) start += 2;
  else if (startsWith(start, "//localhost/")) start += 11;
  else if (startsWith(start, "//") || !startsWith(start, "/")) return {};
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
