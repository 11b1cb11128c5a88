#include "checker/protocol.h"

#include <string>

#include "checker/finding_text.h"

namespace {

// "Line N: TEXT" followed by the finding. A text without its own line end
// (the last line of a file without one, or a piece of an over-long line)
// gets one, so that the finding starts a line of its own. Names are the
// file's own bytes.
void AppendRecord(const CFinding& finding, std::string& buffer) {
  buffer.assign("Line ");
  buffer.append(std::to_string(finding.line));
  buffer.append(": ");
  buffer.append(finding.text);
  if (!finding.text.ends_with('\n')) buffer.push_back('\n');
  // The protocol holds cross-references only.
  if (!IsCrossReference(finding.kind)) return;
  const bool duplicate = finding.kind == FindingKind::duplicate;
  buffer.append(duplicate ? "Warning: " : "Error: ");
  buffer.append(kLabelQuote);
  buffer.append(finding.name);
  buffer.append(CrossReferenceWords(finding.kind));
  if (duplicate) buffer.append(std::to_string(finding.firstLine));
  buffer.append(duplicate ? "\n" : "\n\n");
}

}  // namespace

int EmitProtocol(const CCheckResult& result, std::string_view displayName,
                 const ProtocolSink& out) {
  std::string buffer = "Veltrane Protocol\nFile: \"";
  buffer.append(displayName);
  buffer.append("\"\n\n");
  out(buffer);
  for (const CFinding& finding : result.findings) {
    AppendRecord(finding, buffer);
    out(buffer);
  }
  out("Number of errors " + std::to_string(result.ErrorCount()));
  return result.ErrorCount();
}
