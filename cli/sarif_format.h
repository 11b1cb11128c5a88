// Findings as one SARIF 2.1.0 log, for code-scanning services and SARIF
// viewers.
#ifndef VELTRANE_CLI_SARIF_FORMAT_H_
#define VELTRANE_CLI_SARIF_FORMAT_H_

#include <string>
#include <string_view>
#include <vector>

#include "checker/note_finder.h"
#include "checker/protocol.h"

// Writes one log with one run of veltrane-check, streaming the results as
// they come: Begin, then any number of AddResult and AddUnreadable calls
// in any order, then End. Every text goes to `out` in pieces.
class CSarifLog {
 public:
  explicit CSarifLog(ProtocolSink out) : m_out(std::move(out)) {}

  // The log's header and the tool with its three rules.
  void Begin();
  // One result for `finding` in `input` (as typed): its rule, level and
  // message, its line, the first definition of a duplicate and `note`, if
  // any, as related locations.
  void AddResult(std::string_view input, const CFinding& finding, const CNote* note);
  // An input that could not be read, `message` saying why; it becomes a
  // tool execution notification when End writes the invocation.
  void AddUnreadable(std::string_view input, std::string_view message);
  // The invocation, successful when no input was unreadable, and the end.
  void End();

 private:
  struct Unreadable {
    std::string input;
    std::string message;
  };

  ProtocolSink m_out;
  bool m_bFirstResult = true;
  std::vector<Unreadable> m_unreadable;
};

#endif  // VELTRANE_CLI_SARIF_FORMAT_H_
