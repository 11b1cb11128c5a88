#include "lsp/server.h"

#include <exception>
#include <initializer_list>
#include <limits>

#include "lsp/features.h"
#include "lsp/json_parse.h"
#include "lsp/protocol_values.h"

namespace {

const Json kNullJson = nullptr;

[[noreturn]] void BadParams(const std::string& why) {
  throw CRequestError{lsp_error::kInvalidParams, why};
}

const Json& Member(const Json& object, const char* name) {
  if (!object.is_object()) BadParams(std::string("an object with \"") + name + "\" expected");
  const auto it = object.find(name);
  if (it == object.end()) BadParams(std::string("\"") + name + "\" is missing");
  return *it;
}

std::string StringMember(const Json& object, const char* name) {
  const Json& value = Member(object, name);
  if (!value.is_string()) BadParams(std::string("\"") + name + "\" must be a string");
  return value.get<std::string>();
}

std::uint32_t UIntMember(const Json& object, const char* name) {
  const Json& value = Member(object, name);
  if (!value.is_number_integer() ||
      (value.is_number_unsigned() ? value.get<std::uint64_t>() > std::numeric_limits<std::uint32_t>::max()
                                  : value.get<std::int64_t>() < 0))
    BadParams(std::string("\"") + name + "\" must be an unsigned integer");
  return value.get<std::uint32_t>();
}

// The string `name` of `object`, moved out of it.
std::string TakeString(Json& object, const char* name) {
  Member(object, name);
  Json& value = object[name];
  if (!value.is_string()) BadParams(std::string("\"") + name + "\" must be a string");
  return std::move(value.get_ref<std::string&>());
}

std::int64_t VersionMember(const Json& object) {
  const Json& value = Member(object, "version");
  if (!value.is_number_integer()) BadParams("\"version\" must be an integer");
  return value.get<std::int64_t>();
}

CPosition PositionOf(const Json& position) {
  return {UIntMember(position, "line"), UIntMember(position, "character")};
}

CRange RangeOf(const Json& range) {
  return {PositionOf(Member(range, "start")), PositionOf(Member(range, "end"))};
}

std::string UriOf(const Json& params) { return StringMember(Member(params, "textDocument"), "uri"); }

CPosition RequestPosition(const Json& params) { return PositionOf(Member(params, "position")); }

// Whether the client says true at `path` in its initialize parameters; a
// client that says nothing does without.
bool SaysTrue(const Json& params, std::initializer_list<const char*> path) {
  const Json* at = &params;
  for (const char* name : path) {
    if (!at->is_object()) return false;
    const auto it = at->find(name);
    if (it == at->end()) return false;
    at = &*it;
  }
  return at->is_boolean() && at->get<bool>();
}

bool IsValidId(const Json& id) { return id.is_string() || id.is_number_integer(); }

// UTF-8 when the client offers it (no conversion needed then), else the
// protocol's default, UTF-16.
PositionEncoding ChooseEncoding(const Json& params) {
  const auto capabilities = params.find("capabilities");
  if (capabilities == params.end() || !capabilities->is_object()) return PositionEncoding::utf16;
  const auto general = capabilities->find("general");
  if (general == capabilities->end() || !general->is_object()) return PositionEncoding::utf16;
  const auto encodings = general->find("positionEncodings");
  if (encodings == general->end() || !encodings->is_array()) return PositionEncoding::utf16;
  for (const Json& encoding : *encodings) {
    if (encoding == "utf-8") return PositionEncoding::utf8;
  }
  return PositionEncoding::utf16;
}

}  // namespace

CLspServer::CLspServer(SendFn send, LogFn log, std::string version)
    : m_send(std::move(send)), m_log(std::move(log)), m_version(std::move(version)) {}

void CLspServer::Send(const std::string& body) {
  if (body.size() >= kLargeBody) m_memoryFreed = true;
  m_send(body);
}

bool CLspServer::TakeMemoryFreed() {
  const bool freed = m_memoryFreed;
  m_memoryFreed = false;
  return freed;
}

std::vector<std::pair<std::string, const CDocument*>> CLspServer::Documents() const {
  std::vector<std::pair<std::string, const CDocument*>> out;
  for (const auto& [uri, open] : m_documents) out.emplace_back(uri, &open.document);
  return out;
}

void CLspServer::Receive(const CFrame& frame) {
  if (frame.kind != CFrame::Kind::message) {
    m_log.Write(LogEvent::badFrame, "skipped " + frame.problem);
    m_pending.push_back({nullptr,
                         frame.kind == CFrame::Kind::tooLarge ? lsp_error::kInvalidRequest
                                                              : lsp_error::kParseError,
                         "Skipped " + frame.problem, {}});
    return;
  }
  std::optional<CParsedJson> parsed = ParseJson(frame.body);
  if (!parsed) {
    m_log.Write(LogEvent::badMessage, "a message body that is not JSON");
    m_pending.push_back({nullptr, lsp_error::kParseError, "The message body is not JSON", {}});
    return;
  }
  Json& message = parsed->value;
  std::string refused;
  if (parsed->tooDeep) refused = "a message nesting deeper than " + std::to_string(kMaxJsonDepth) + " levels";
  if (parsed->tooMany) refused = "a message of more than " + std::to_string(kMaxJsonValues) + " values";
  if (message.is_object() && refused.empty()) {
    const auto method = message.find("method");
    const auto params = message.find("params");
    if (method != message.end() && *method == "$/cancelRequest" && params != message.end() &&
        params->is_object()) {
      const auto id = params->find("id");
      if (id != params->end() && IsValidId(*id)) m_cancelled.insert(id->dump());
    }
  }
  m_pending.push_back({std::move(message), 0, {}, std::move(refused)});
}

void CLspServer::Process() {
  std::vector<CPending> pending;
  pending.swap(m_pending);
  for (CPending& item : pending) {
    if (m_exitRequested) break;
    Handle(item);
    item.message = Json();  // a large text goes as soon as it is handled
  }
  m_cancelled.clear();
  if (m_exitRequested || !m_initialized) return;
  for (auto& [uri, open] : m_documents) {
    if (open.publishPending) Publish(uri, open);
  }
  // A veltrane.toml found changed while checking one document applies to
  // the others too; they are checked once more, and then agree with it.
  for (auto& [uri, open] : m_documents) {
    if (open.rulesGeneration != m_ruleSettings.Generation()) {
      open.analysis.reset();
      Publish(uri, open);
    }
  }
}

void CLspServer::Handle(CPending& pending) {
  if (pending.errorCode != 0) {
    ReplyError(nullptr, pending.errorCode, pending.error);
    return;
  }
  Json& message = pending.message;
  if (!message.is_object()) {
    ReplyError(nullptr, lsp_error::kInvalidRequest, "A message must be a JSON object");
    return;
  }
  const auto idIt = message.find("id");
  const bool hasId = idIt != message.end();
  const Json id = hasId && IsValidId(*idIt) ? *idIt : Json(nullptr);
  const auto method = message.find("method");
  if (method == message.end()) {
    // A response to a request of ours: only the registration of file
    // watchers, which needs nothing done whatever the answer.
    if (hasId && (message.contains("result") || message.contains("error"))) return;
    ReplyError(id, lsp_error::kInvalidRequest, "The message has no \"method\"");
    return;
  }
  if (!method->is_string()) {
    ReplyError(id, lsp_error::kInvalidRequest, "\"method\" must be a string");
    return;
  }
  if (!pending.refused.empty()) {
    // Nothing of it is used: some of its values are missing.
    if (hasId) ReplyError(id, lsp_error::kInvalidRequest, "Refused " + pending.refused);
    else m_log.Write(LogEvent::badMessage, "dropped " + pending.refused + ": " + method->get<std::string>());
    return;
  }
  const auto version = message.find("jsonrpc");
  if (version == message.end() || *version != "2.0") {
    ReplyError(id, lsp_error::kInvalidRequest, "\"jsonrpc\" must be \"2.0\"");
    return;
  }
  if (hasId && !IsValidId(*idIt)) {
    ReplyError(nullptr, lsp_error::kInvalidRequest, "\"id\" must be an integer or a string");
    return;
  }
  const auto paramsIt = message.find("params");
  Json params = paramsIt == message.end() ? Json(nullptr) : std::move(*paramsIt);
  if (!params.is_null() && !params.is_object() && !params.is_array()) {
    if (hasId) ReplyError(id, lsp_error::kInvalidParams, "\"params\" must be an object or an array");
    return;
  }
  const std::string name = method->get<std::string>();
  if (hasId)
    HandleRequest(id, name, params);
  else
    HandleNotification(name, params);
}

void CLspServer::HandleRequest(const Json& id, const std::string& method, const Json& params) {
  if (m_cancelled.erase(id.dump()) > 0) {
    ReplyError(id, lsp_error::kRequestCancelled, "The request was cancelled");
    return;
  }
  if (!m_initialized && method != "initialize") {
    ReplyError(id, lsp_error::kServerNotInitialized, "The server has not been initialized");
    return;
  }
  if (m_shutdownRequested) {
    ReplyError(id, lsp_error::kInvalidRequest, "The server is shutting down");
    return;
  }
  try {
    Reply(id, Dispatch(method, params));
  } catch (const CRequestError& error) {
    ReplyError(id, error.code, error.message);
  } catch (const Json::exception& error) {
    ReplyError(id, lsp_error::kInvalidParams, error.what());
  } catch (const std::exception& error) {
    m_log.Write(LogEvent::requestFailed, method + " failed: " + error.what());
    ReplyError(id, lsp_error::kInternalError, error.what());
  }
}

Json CLspServer::Dispatch(const std::string& method, const Json& params) {
  if (method == "initialize") return Initialize(params);
  if (method == "shutdown") {
    m_shutdownRequested = true;
    return nullptr;
  }
  using Feature = Json (*)(const CDocumentView&, const Json&);
  static const std::map<std::string, Feature, std::less<>> kFeatures = {
      {"textDocument/definition",
       [](const CDocumentView& view, const Json& p) { return Definition(view, RequestPosition(p)); }},
      {"textDocument/references",
       [](const CDocumentView& view, const Json& p) {
         const auto context = p.find("context");
         const bool withDeclaration =
             context != p.end() && context->is_object() && context->value("includeDeclaration", false);
         return References(view, RequestPosition(p), withDeclaration);
       }},
      {"textDocument/documentHighlight",
       [](const CDocumentView& view, const Json& p) { return Highlights(view, RequestPosition(p)); }},
      {"textDocument/hover",
       [](const CDocumentView& view, const Json& p) { return Hover(view, RequestPosition(p)); }},
      {"textDocument/documentSymbol",
       [](const CDocumentView& view, const Json&) { return Symbols(view); }},
      {"textDocument/completion",
       [](const CDocumentView& view, const Json& p) { return Completion(view, RequestPosition(p)); }},
      {"textDocument/prepareRename",
       [](const CDocumentView& view, const Json& p) { return PrepareRename(view, RequestPosition(p)); }},
      {"textDocument/rename",
       [](const CDocumentView& view, const Json& p) {
         return Rename(view, RequestPosition(p), StringMember(p, "newName"));
       }},
      {"textDocument/codeAction",
       [](const CDocumentView& view, const Json& p) {
         const Json& range = Member(p, "range");
         const auto context = p.find("context");
         // By reference: a value from the client may nest deeper than a
         // copy could recurse.
         static const Json kNoFilter = nullptr;
         const Json* only = &kNoFilter;
         if (context != p.end() && context->is_object() && context->contains("only"))
           only = &context->at("only");
         // CodeActionTriggerKind.Automatic: the editor asks by itself.
         const bool automatic = context != p.end() && context->is_object() &&
                                context->value("triggerKind", Json()) == 2;
         return CodeActions(view, PositionOf(Member(range, "start")), PositionOf(Member(range, "end")),
                            *only, !automatic);
       }},
  };
  const auto feature = kFeatures.find(method);
  if (feature == kFeatures.end())
    throw CRequestError{lsp_error::kMethodNotFound, "Unknown method " + method};
  const std::string uri = UriOf(params);
  COpenDocument& open = DocumentOf(params);
  CDocumentView view{uri, open.document, AnalysisOf(uri, open), m_encoding,
                     m_relatedInformation, m_versionedEdits};
  if (method == "textDocument/codeAction") {
    // Fix-all lets the document's check go before it checks the fixed
    // text; the next request that needs it checks the document again (the
    // client that applies the fix changes the document anyway). A large
    // document's checks leave memory free when done.
    view.releaseAnalysis = [&open] { open.analysis.reset(); };
    if (open.document.Text().size() >= kLargeBody) m_memoryFreed = true;
  }
  return feature->second(view, params);
}

void CLspServer::HandleNotification(const std::string& method, Json& params) {
  if (method == "exit") {
    m_exitRequested = true;
    return;
  }
  if (!m_initialized || m_shutdownRequested) return;
  try {
    if (method == "textDocument/didOpen")
      DidOpen(params);
    else if (method == "textDocument/didChange")
      DidChange(params);
    else if (method == "textDocument/didClose")
      DidClose(params);
    else if (method == "workspace/didChangeConfiguration")
      // By reference: a copy of the client's value would recurse once per
      // level of it.
      TakeRuleSettings(params.is_object() && params.contains("settings") ? params.at("settings")
                                                                         : kNullJson);
    else if (method == "textDocument/didSave")
      m_ruleSettings.Forget();  // a veltrane.toml may have been saved
    else if (method == "workspace/didChangeWatchedFiles") {
      // Only veltrane.toml files are watched: one changed, appeared or went.
      m_ruleSettings.Forget();
      RecheckAll();
    } else if (method == "initialized")
      WatchConfigFiles();
    else if (!method.starts_with("$/"))
      m_log.Write(LogEvent::ignoredNotification, "ignored the notification " + method);
  } catch (const CRequestError& error) {
    m_log.Write(LogEvent::notificationFailed, method + ": " + error.message);
  } catch (const std::exception& error) {
    m_log.Write(LogEvent::notificationFailed, method + ": " + error.what());
  }
}

Json CLspServer::Initialize(const Json& params) {
  if (m_initialized) throw CRequestError{lsp_error::kInvalidRequest, "initialize came twice"};
  if (!params.is_object()) BadParams("initialize needs its parameters");
  m_encoding = ChooseEncoding(params);
  m_versionedEdits = SaysTrue(params, {"capabilities", "workspace", "workspaceEdit", "documentChanges"});
  // Notes go into a diagnostic's relatedInformation only for a client that
  // shows it.
  m_relatedInformation =
      SaysTrue(params, {"capabilities", "textDocument", "publishDiagnostics", "relatedInformation"});
  // veltrane.toml files are watched where the client lets the server
  // register the watchers.
  m_watchesConfigFiles =
      SaysTrue(params, {"capabilities", "workspace", "didChangeWatchedFiles", "dynamicRegistration"});
  m_initialized = true;
  if (params.contains("initializationOptions")) TakeRuleSettings(params["initializationOptions"]);
  return {
      {"capabilities",
       {{"positionEncoding", EncodingName(m_encoding)},
        {"textDocumentSync", {{"openClose", true}, {"change", TextDocumentSyncKind::incremental}}},
        {"definitionProvider", true},
        {"referencesProvider", true},
        {"documentHighlightProvider", true},
        {"hoverProvider", true},
        {"documentSymbolProvider", true},
        {"completionProvider", {{"triggerCharacters", Json::array({"="})}}},
        {"renameProvider", {{"prepareProvider", true}}},
        {"codeActionProvider", {{"codeActionKinds", Json::array({"quickfix", kFixAllKind})}}}}},
      {"serverInfo", {{"name", "veltrane-lsp"}, {"version", m_version}}},
  };
}

void CLspServer::DidOpen(Json& params) {
  Member(params, "textDocument");
  Json& item = params["textDocument"];
  const std::string uri = StringMember(item, "uri");
  const std::int64_t version = VersionMember(item);
  CDocument document(TakeString(item, "text"), version);
  // A document opened again replaces the old one, whose memory is free.
  m_memoryFreed = m_documents.contains(uri) || m_memoryFreed;
  m_documents.insert_or_assign(uri, COpenDocument(std::move(document)));
}

void CLspServer::DidChange(Json& params) {
  COpenDocument& open = DocumentOf(params);
  const std::int64_t version = VersionMember(Member(params, "textDocument"));
  Member(params, "contentChanges");
  Json& changes = params["contentChanges"];
  if (!changes.is_array()) BadParams("\"contentChanges\" must be an array");
  // Every change is read before the first is applied: a notification with
  // a malformed change leaves the document and its version as they were,
  // instead of half applied under the old version.
  std::vector<CTextChange> edits;
  edits.reserve(changes.size());
  for (Json& change : changes) {
    CTextChange edit;
    edit.text = TakeString(change, "text");
    if (const auto range = change.find("range"); range != change.end()) edit.range = RangeOf(*range);
    edits.push_back(std::move(edit));
  }
  if (!edits.empty()) {
    open.document.ApplyChanges(edits, m_encoding);
    open.analysis.reset();
    open.publishPending = true;
  }
  open.document.SetVersion(version);
}

void CLspServer::DidClose(const Json& params) {
  const std::string uri = UriOf(params);
  if (m_documents.erase(uri) == 0) BadParams("the document " + uri + " is not open");
  m_memoryFreed = true;
  Send(DumpJson({{"jsonrpc", "2.0"},
                   {"method", "textDocument/publishDiagnostics"},
                   {"params", {{"uri", uri}, {"diagnostics", Json::array()}}}}));
}

CLspServer::COpenDocument& CLspServer::DocumentOf(const Json& params) {
  const std::string uri = UriOf(params);
  const auto it = m_documents.find(uri);
  if (it == m_documents.end()) BadParams("the document " + uri + " is not open");
  return it->second;
}

const CAnalysis& CLspServer::AnalysisOf(const std::string& uri, COpenDocument& open) {
  if (!open.analysis) {
    const CRuleSelection rules = m_ruleSettings.For(uri);
    ShowNotices();
    open.analysis = std::make_unique<CAnalysis>(open.document, rules);
    open.rulesGeneration = m_ruleSettings.Generation();
  }
  return *open.analysis;
}

void CLspServer::TakeRuleSettings(const Json& options) {
  m_ruleSettings.Take(options);
  ShowNotices();
  m_ruleSettings.Forget();
  RecheckAll();
}

void CLspServer::RecheckAll() {
  for (auto& [uri, open] : m_documents) {
    open.analysis.reset();
    open.publishPending = true;
  }
}

void CLspServer::WatchConfigFiles() {
  if (!m_watchesConfigFiles) return;
  m_watchesConfigFiles = false;  // once
  const Json watchers = Json::array({{{"globPattern", "**/" + std::string(kConfigFileName)}}});
  Send(DumpJson({{"jsonrpc", "2.0"},
                 {"id", "veltrane-watch-config"},
                 {"method", "client/registerCapability"},
                 {"params",
                  {{"registrations", Json::array({{{"id", "veltrane-config-files"},
                                                   {"method", "workspace/didChangeWatchedFiles"},
                                                   {"registerOptions", {{"watchers", watchers}}}}})}}}}));
}

void CLspServer::ShowNotices() {
  for (const CRuleNotice& notice : m_ruleSettings.TakeNotices()) {
    m_log.Write(LogEvent::ruleSettings, notice.message);
    Send(DumpJson({{"jsonrpc", "2.0"},
                   {"method", notice.popUp ? "window/showMessage" : "window/logMessage"},
                   {"params", {{"type", notice.type}, {"message", notice.message}}}}));
  }
}

void CLspServer::Publish(const std::string& uri, COpenDocument& open) {
  open.publishPending = false;
  // Written as text, not built as one JSON value: see AppendDiagnostics.
  std::string body = R"({"jsonrpc":"2.0","method":"textDocument/publishDiagnostics","params":{"uri":)";
  body += DumpJson(uri);
  body += R"(,"version":)";
  body += std::to_string(open.document.Version());
  body += R"(,"diagnostics":)";
  const std::size_t listStart = body.size();
  try {
    const CDocumentView view{uri, open.document, AnalysisOf(uri, open), m_encoding,
                             m_relatedInformation, m_versionedEdits};
    AppendDiagnostics(view, body);
  } catch (const std::exception& error) {
    m_log.Write(LogEvent::checkFailed, "checking " + uri + " failed: " + error.what());
    body.resize(listStart);
    body += "[]";
  }
  body += "}}";
  Send(body);
}

void CLspServer::Reply(const Json& id, Json result) {
  Send(DumpJson({{"jsonrpc", "2.0"}, {"id", id}, {"result", std::move(result)}}));
}

void CLspServer::ReplyError(const Json& id, int code, const std::string& message) {
  Send(DumpJson({{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", code}, {"message", message}}}}));
}
