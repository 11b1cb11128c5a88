// Which rules the language server reports for a document: the first
// veltrane.toml in the document's folder or above, with the select and
// ignore the client sends (initializationOptions or
// workspace/didChangeConfiguration) on top, as the command line's options.
#ifndef VELTRANE_LSP_RULE_SETTINGS_H_
#define VELTRANE_LSP_RULE_SETTINGS_H_

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "checker/rules/rule_config.h"
#include "lsp/json.h"

// Something the user should be told, as a window/showMessage.
struct CRuleNotice {
  int type = 2;  // 2 warning, 3 information
  std::string message;
  bool popUp = true;  // window/showMessage, else only window/logMessage
};

class CRuleSettings {
 public:
  // Takes the client's settings from `options`: {"rules": {"select": ...,
  // "ignore": ...}}, each a list of ids or prefixes or one string of them
  // separated by commas, or the same under {"veltrane": ...}. The settings
  // are the whole of them: what `options` does not say is back to its
  // default. A setting of the wrong type is left out and a pattern naming
  // no rule is dropped, the rest applies; what was wrong becomes a notice,
  // unless it is what the settings before were told, and a pop-up only
  // where other settings are wrong than before, or wrong in another way.
  void Take(const Json& options);

  // The rules for the document `uri`. Its veltrane.toml is read again when
  // its size or time changed since it was read; a broken content not told
  // yet becomes a notice, and a file told broken that is now fine a notice
  // that it is read again.
  CRuleSelection For(const std::string& uri);

  // Forgets the configuration files read so far, so that the next look-up
  // reads them again.
  void Forget() { m_configs.Forget(); }

  // The notices since the last call.
  std::vector<CRuleNotice> TakeNotices() { return std::exchange(m_notices, {}); }

  // Counts the configuration files found changed since they were read:
  // a document checked at an older count may be out of date.
  std::uint64_t Generation() const { return m_generation; }

 private:
  std::optional<std::vector<std::string>> m_select;
  std::vector<std::string> m_ignore;
  std::string m_settingsProblem;  // the last one told
  std::string m_settingsKinds;    // the settings wrong in it, and how
  CRuleConfigFiles m_configs;
  struct CTold {
    std::string problem;
    std::size_t content = 0;
  };
  std::map<std::string, CTold> m_told;  // what was last told of each file, by path
  std::vector<CRuleNotice> m_notices;
  std::uint64_t m_generation = 0;
};

// The local path of a file URI ("file:///path", "file://localhost/path",
// "file:/path", the scheme in any case), or an empty string for any other
// URI.
std::string PathOfFileUri(const std::string& uri);

#endif  // VELTRANE_LSP_RULE_SETTINGS_H_
