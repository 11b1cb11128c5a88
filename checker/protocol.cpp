#include "checker/protocol.h"

#include <string>
#include <utility>
#include <vector>

namespace {

CFinding MakeFinding(CFinding::Kind kind, const CLabelEntry& entry,
                     int firstLine = -1) {
  return CFinding{kind, entry.line, entry.text, entry.name, firstLine, entry.kind};
}

// Equal names stand together in the sorted list. Within such a run, every
// definition after the first of its kind is a duplicate of that first one,
// whatever other kinds stand between them. Labels before any section
// (kind 0) are never duplicates.
int ForEachDuplicate(const CLabelList& definitions, const FindingSink& found) {
  int count = 0;
  std::vector<std::pair<int, int>> firstLineOfKind;  // (kind, line)
  for (int j = 0; j < definitions.GetCount(); ++j) {
    const CLabelEntry& entry = definitions.At(j);
    if (j == 0 || entry.name != definitions.At(j - 1).name)
      firstLineOfKind.clear();
    if (entry.kind == 0) continue;
    const std::pair<int, int>* first = nullptr;
    for (const auto& seen : firstLineOfKind)
      if (seen.first == entry.kind) first = &seen;
    if (!first) {
      firstLineOfKind.emplace_back(entry.kind, entry.line);
      continue;
    }
    found(MakeFinding(CFinding::Kind::duplicate, entry, first->second));
    ++count;
  }
  return count;
}

int ForEachUnmatched(const CLabelList& list, CFinding::Kind kind,
                     const FindingSink& found) {
  int count = 0;
  for (int j = 0; j < list.GetCount(); ++j) {
    const CLabelEntry& entry = list.At(j);
    if (entry.used) continue;
    found(MakeFinding(kind, entry));
    ++count;
  }
  return count;
}

// "Line N: TEXT" followed by the finding. A text without its own line end
// (the last line of a file without one, or a piece of an over-long line)
// gets one, so that the finding starts a line of its own.
void AppendRecord(const CFinding& finding, std::string& buffer) {
  buffer.assign("Line ");
  buffer.append(std::to_string(finding.line));
  buffer.append(": ");
  buffer.append(finding.text);
  if (!finding.text.ends_with('\n')) buffer.push_back('\n');
  switch (finding.kind) {
    case CFinding::Kind::duplicate:
      buffer.append("Warning: Label \"");
      buffer.append(finding.name);
      buffer.append("\" already in line ");
      buffer.append(std::to_string(finding.firstLine));
      buffer.append("\n");
      break;
    case CFinding::Kind::unused:
      buffer.append("Error: Label \"");
      buffer.append(finding.name);
      buffer.append("\" not used\n\n");
      break;
    case CFinding::Kind::notFound:
      buffer.append("Error: Label \"");
      buffer.append(finding.name);
      buffer.append("\" not found\n\n");
      break;
  }
}

}  // namespace

int ForEachFinding(const CLabelList& definitions, const CLabelList& references,
                   const FindingSink& found) {
  int count = ForEachDuplicate(definitions, found);
  count += ForEachUnmatched(definitions, CFinding::Kind::unused, found);
  count += ForEachUnmatched(references, CFinding::Kind::notFound, found);
  return count;
}

int EmitProtocol(const CLabelList& definitions, const CLabelList& references,
                 std::string_view displayName, const ProtocolSink& out) {
  std::string buffer = "Veltrane Protocol\nFile: \"";
  buffer.append(displayName);
  buffer.append("\"\n\n");
  out(buffer);

  const int errors =
      ForEachFinding(definitions, references, [&](const CFinding& finding) {
        AppendRecord(finding, buffer);
        out(buffer);
      });

  out("Number of errors " + std::to_string(errors));
  return errors;
}
