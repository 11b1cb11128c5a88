// The language server's state and its handling of messages: lifecycle,
// open documents, and the requests of the editor features. Transport-free:
// bodies in, bodies out, so that the program, the tests and the fuzzer
// drive the same object.
#ifndef VELTRANE_LSP_SERVER_H_
#define VELTRANE_LSP_SERVER_H_

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "lsp/analysis.h"
#include "lsp/document.h"
#include "lsp/framing.h"
#include "lsp/json.h"
#include "lsp/position.h"
#include "lsp/rule_settings.h"
#include "lsp/server_log.h"

class CLspServer {
 public:
  // `send` gets each outgoing message body; `log` each line for standard
  // error (may be empty).
  using SendFn = std::function<void(const std::string& body)>;
  using LogFn = std::function<void(std::string_view line)>;

  CLspServer(SendFn send, LogFn log, std::string version);

  // Takes a frame the reader made. Bodies are parsed now and handled by the
  // next Process(); a cancellation takes effect at once, so that a request
  // still waiting is answered as cancelled.
  void Receive(const CFrame& frame);

  // Handles every message received since the last call, in order, then
  // checks each open document whose text changed and publishes its
  // diagnostics: several changes waiting together cost one check.
  void Process();

  bool ExitRequested() const { return m_exitRequested; }
  // 0 when `shutdown` came before `exit`, 1 otherwise.
  int ExitStatus() const { return m_shutdownRequested ? 0 : 1; }

  // Whether a large message went out or a document was closed since the
  // last call: the memory they held is free and could go back to the
  // system.
  bool TakeMemoryFreed();

  // The open documents by URI, for checks of their consistency.
  std::vector<std::pair<std::string, const CDocument*>> Documents() const;

 private:
  struct COpenDocument {
    explicit COpenDocument(CDocument doc) : document(std::move(doc)) {}
    CDocument document;
    std::unique_ptr<CAnalysis> analysis;  // of the current text, when made
    bool publishPending = true;
    std::uint64_t rulesGeneration = 0;  // of the rule settings the analysis used
  };

  // A message received and not yet handled, or the error a body that
  // could not be one gets as its answer.
  struct CPending {
    Json message;
    int errorCode = 0;
    std::string error;
    std::string refused;  // why the message is not used, though it is JSON
  };
  void Handle(CPending& pending);
  void HandleRequest(const Json& id, const std::string& method, const Json& params);
  void HandleNotification(const std::string& method, Json& params);
  Json Dispatch(const std::string& method, const Json& params);

  Json Initialize(const Json& params);
  // Both take the text out of `params`: a large document is not copied.
  void DidOpen(Json& params);
  void DidChange(Json& params);
  void DidClose(const Json& params);

  COpenDocument& DocumentOf(const Json& params);
  const CAnalysis& AnalysisOf(const std::string& uri, COpenDocument& open);
  // Takes the client's rule settings; says what is wrong with them.
  void TakeRuleSettings(const Json& options);
  // Every open document is to be checked again.
  void RecheckAll();
  // Asks a client that offers it to tell of every veltrane.toml that changes.
  void WatchConfigFiles();
  // Shows the user what the rule settings have to tell.
  void ShowNotices();
  void Publish(const std::string& uri, COpenDocument& open);

  void Reply(const Json& id, Json result);
  void ReplyError(const Json& id, int code, const std::string& message);
  void Send(const std::string& body);

  // A body this large leaves memory behind when it goes.
  static constexpr std::size_t kLargeBody = 1u << 20;

  SendFn m_send;
  CServerLog m_log;
  std::string m_version;
  std::vector<CPending> m_pending;
  std::set<std::string> m_cancelled;  // ids as JSON text
  std::map<std::string, COpenDocument> m_documents;
  PositionEncoding m_encoding = PositionEncoding::utf16;
  bool m_versionedEdits = false;
  CRuleSettings m_ruleSettings;
  bool m_watchesConfigFiles = false;  // the client registers file watchers
  bool m_relatedInformation = false;  // the client shows relatedInformation
  bool m_initialized = false;
  bool m_shutdownRequested = false;
  bool m_exitRequested = false;
  bool m_memoryFreed = false;
};

#endif  // VELTRANE_LSP_SERVER_H_
