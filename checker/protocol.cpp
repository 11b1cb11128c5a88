#include "checker/protocol.h"

#include <string>
#include <utility>
#include <vector>

namespace {

// "Line N: TEXT" followed by the finding. A text without its own line end
// (the last line of a file without one, or a piece of an over-long line)
// gets one, so that the finding starts a line of its own.
void EmitRecord(const CLabelEntry& entry, std::string_view finding,
                std::string& buffer, const ProtocolSink& out) {
  buffer.assign("Line ");
  buffer.append(std::to_string(entry.line));
  buffer.append(": ");
  buffer.append(entry.text);
  if (!entry.text.ends_with('\n')) buffer.push_back('\n');
  buffer.append(finding);
  out(buffer);
}

std::string Finding(std::string_view before, const std::string& name,
                    std::string_view after) {
  std::string text(before);
  text.append(name);
  text.append(after);
  return text;
}

}  // namespace

int EmitProtocol(const CLabelList& definitions, const CLabelList& references,
                 std::string_view displayName, const ProtocolSink& out) {
  int errors = 0;
  std::string buffer = "Veltrane Protocol\nFile: \"";
  buffer.append(displayName);
  buffer.append("\"\n\n");
  out(buffer);

  // Equal names stand together in the sorted list. Within such a run, every
  // definition after the first of its kind is a duplicate of that first one,
  // whatever other kinds stand between them. Labels before any section
  // (kind 0) are never duplicates.
  const int count = definitions.GetCount();
  std::vector<std::pair<int, int>> firstLineOfKind;  // (kind, line)
  for (int j = 0; j < count; ++j) {
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
    EmitRecord(entry,
               Finding("Warning: Label \"", entry.name,
                       "\" already in line " + std::to_string(first->second) +
                           "\n"),
               buffer, out);
    ++errors;
  }

  for (int j = 0; j < count; ++j) {
    const CLabelEntry& entry = definitions.At(j);
    if (entry.used) continue;
    EmitRecord(entry, Finding("Error: Label \"", entry.name, "\" not used\n\n"),
               buffer, out);
    ++errors;
  }

  for (int i = 0; i < references.GetCount(); ++i) {
    const CLabelEntry& entry = references.At(i);
    if (entry.used) continue;
    EmitRecord(entry,
               Finding("Error: Label \"", entry.name, "\" not found\n\n"),
               buffer, out);
    ++errors;
  }

  out("Number of errors " + std::to_string(errors));
  return errors;
}
