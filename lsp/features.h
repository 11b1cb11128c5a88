// The editor features over one checked document: diagnostics, navigation
// and editing, each a JSON result of the protocol.
#ifndef VELTRANE_LSP_FEATURES_H_
#define VELTRANE_LSP_FEATURES_H_

#include <functional>
#include <string>

#include "checker/fix/line_diff.h"
#include "lsp/analysis.h"
#include "lsp/document.h"
#include "lsp/json.h"
#include "lsp/position.h"

// A request that cannot be answered as asked: `code` is the protocol's
// error code, `message` says why, for people.
struct CRequestError {
  int code;
  std::string message;
};

// The protocol's error codes.
namespace lsp_error {
enum Code : int {
  kParseError = -32700,
  kInvalidRequest = -32600,
  kMethodNotFound = -32601,
  kInvalidParams = -32602,
  kInternalError = -32603,
  kServerNotInitialized = -32002,
  kRequestFailed = -32803,
  kRequestCancelled = -32800,
};
}  // namespace lsp_error

// One open document as the features see it. Everything must outlive the view.
struct CDocumentView {
  const std::string& uri;
  const CDocument& document;
  const CAnalysis& analysis;
  PositionEncoding encoding;
  // Whether the client shows a diagnostic's relatedInformation; without it
  // the notes go into the messages, where every client shows them.
  bool relatedInformation = true;
  // Whether the client takes versioned document edits, which it refuses
  // to apply to a document that changed since.
  bool versionedEdits = false;
  // Lets `analysis` go, when given: fix-all calls it once it needs the
  // document's check no more, before it checks the fixed text, so that a
  // large document is not held checked twice. `analysis` is not used after.
  std::function<void()> releaseAnalysis = nullptr;
};

// The range of a name's place, in the view's encoding; as JSON.
CRange RangeIn(const CPlace& place, PositionEncoding encoding);
Json RangeOf(const CPlace& place, PositionEncoding encoding);

// Appends textDocument/publishDiagnostics's list as JSON text: one
// diagnostic per note about the file as a whole, then one per finding.
void AppendDiagnostics(const CDocumentView& view, std::string& out);

Json Definition(const CDocumentView& view, const CPosition& at);
Json References(const CDocumentView& view, const CPosition& at, bool includeDeclaration);
Json Highlights(const CDocumentView& view, const CPosition& at);
Json Hover(const CDocumentView& view, const CPosition& at);
Json Symbols(const CDocumentView& view);
Json Completion(const CDocumentView& view, const CPosition& at);
// Throw CRequestError (kRequestFailed) with the reason a rename is refused.
Json PrepareRename(const CDocumentView& view, const CPosition& at);
Json Rename(const CDocumentView& view, const CPosition& at, const std::string& newName);
// `range` and `only` as the request has them (`only` may be null): a quick
// fix for each finding in the range that has a fix, preferred when it is
// safe, and kFixAllKind, which applies every safe fix of the document as
// --fix does, when `only` asks for it by name or by a kind above it, or
// when there is no `only` and the user asked (`invoked`: not an editor's
// own request at a move of the cursor).
inline constexpr char kFixAllKind[] = "source.fixAll.veltrane";
// The runs of lines that differ between `before` and `after`, as the edits
// of fix-all replace them: both walked together, and where they differ the
// nearest line they share again within a few lines taken as the end of the
// run. Local changes come out as runs of their own lines, at a cost and a
// memory that grow with the texts alone; texts that differ throughout give
// larger runs, never wrong ones.
std::vector<CLineChange> NearbyLineChanges(const std::vector<std::string_view>& before,
                                           const std::vector<std::string_view>& after);
Json CodeActions(const CDocumentView& view, const CPosition& from, const CPosition& to,
                 const Json& only, bool invoked);

#endif  // VELTRANE_LSP_FEATURES_H_
