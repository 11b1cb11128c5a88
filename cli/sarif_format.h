// Findings as one SARIF 2.1.0 log, for code-scanning services and SARIF
// viewers.
#ifndef VELTRANE_CLI_SARIF_FORMAT_H_
#define VELTRANE_CLI_SARIF_FORMAT_H_

#include <functional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "checker/check.h"

// Collects one log with one run of veltrane-check: any number of AddResults
// and AddUnreadable calls in any order, then Write.
class CSarifLog {
 public:
  CSarifLog();

  // A result for every finding of `result` for `input` (as typed): its
  // rule, level and message, the name's region with its whole line as the
  // snippet, and as related locations the first definition of a duplicate
  // and the list or line a note speaks of. Notes on the file as a whole
  // become notifications.
  void AddResults(std::string_view input, const CCheckResult& result);
  // An input that could not be read, `message` saying why; it becomes a
  // tool execution notification and the run fails.
  void AddUnreadable(std::string_view input, std::string_view message);
  // The whole log as JSON text with a final line end.
  std::string Text() const;

 private:
  nlohmann::ordered_json m_log;
  nlohmann::ordered_json m_results = nlohmann::ordered_json::array();
  nlohmann::ordered_json m_notifications = nlohmann::ordered_json::array();
  bool m_bFailed = false;
};

// `path` as a relative or absolute URI reference that names the same path:
// each byte that is not a letter, digit or one of - . _ ~ / ! $ & ' ( ) * +
// , ; = @ is percent-encoded, so blanks, "#", "?", ":" and non-ASCII bytes
// cannot change what the URI means.
std::string PathToUriReference(std::string_view path);

#endif  // VELTRANE_CLI_SARIF_FORMAT_H_
