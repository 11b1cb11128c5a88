// The protocol's numbered values that this server sends, as enums, so that
// a severity cannot be sent where a symbol kind belongs. nlohmann/json
// writes an enum as its number.
#ifndef VELTRANE_LSP_PROTOCOL_VALUES_H_
#define VELTRANE_LSP_PROTOCOL_VALUES_H_

enum class DiagnosticSeverity { error = 1, warning = 2, information = 3 };
enum class DiagnosticTag { unnecessary = 1 };
enum class CompletionItemKind { value = 12, reference = 18 };
enum class SymbolKind { namespace_ = 3, array = 18 };
enum class DocumentHighlightKind { text = 1 };
enum class TextDocumentSyncKind { incremental = 2 };

#endif  // VELTRANE_LSP_PROTOCOL_VALUES_H_
