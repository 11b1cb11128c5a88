// Which rules the language server reports for a document: the first
// veltrane.toml in the document's folder or above, with the select and
// ignore the client sends (initializationOptions or
// workspace/didChangeConfiguration) on top, as the command line's options.
#ifndef VELTRANE_LSP_RULE_SETTINGS_H_
#define VELTRANE_LSP_RULE_SETTINGS_H_

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "checker/rule_config.h"
#include "lsp/json.h"

class CRuleSettings {
 public:
  // Takes the client's settings from `options`: {"rules": {"select": ...,
  // "ignore": ...}}, each a list of ids or prefixes or one string of them
  // separated by commas, or the same under {"veltrane": ...}. Keeps the
  // previous settings for what `options` does not say. Returns what is
  // wrong with them, for the user, or an empty string; patterns that name
  // no rule are left out.
  std::string Take(const Json& options);

  // The rules for the document `uri`. `problem` gets what is wrong with its
  // veltrane.toml, if anything; the rules are then those without it.
  CRuleSelection For(const std::string& uri, std::string& problem);

  // Forgets the configuration files read so far, so that the next look-up
  // reads them again.
  void Forget() { m_configs.clear(); }

 private:
  std::optional<std::vector<std::string>> m_select;
  std::vector<std::string> m_ignore;
  struct CachedConfig {
    CRuleConfig config;
    std::string problem;
  };
  std::map<std::string, CachedConfig> m_configs;  // by the file's path
};

// The local path of a file: URI, or an empty string for any other URI.
std::string PathOfFileUri(const std::string& uri);

#endif  // VELTRANE_LSP_RULE_SETTINGS_H_
