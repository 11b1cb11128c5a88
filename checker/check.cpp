// The engine's own findings, the cross-references of the resolved lists,
// and where a finding stands. The check's entry point, which runs the
// engine and then the notes, the fixes and the rules above it, stands with
// the rules in checker/rules/check_file.cpp.
#include "checker/check.h"

#include <algorithm>
#include <string>
#include <utility>

#include "checker/finding_text.h"

namespace {

CFinding MakeFinding(FindingKind kind, const CLabelList& list, const CLabelEntry& entry) {
  CFinding finding;
  finding.kind = kind;
  finding.name = entry.name;
  finding.line = entry.line;
  finding.text = entry.Text();
  finding.place = list.PlaceOf(entry);
  finding.section = entry.kind;
  return finding;
}

// Equal names stand together in the sorted list. Within such a run, every
// definition after the first of its kind is a duplicate of that first one,
// whatever other kinds stand between them. Labels before any section
// (kind 0) are never duplicates.
void AddDuplicates(const CLabelList& definitions, std::vector<CFinding>& findings) {
  std::vector<std::pair<int, int>> firstOfKind;  // (kind, definition index)
  for (int j = 0; j < definitions.GetCount(); ++j) {
    const CLabelEntry& entry = definitions.At(j);
    if (j == 0 || entry.name != definitions.At(j - 1).name) firstOfKind.clear();
    if (entry.kind == 0) continue;
    const std::pair<int, int>* first = nullptr;
    for (const auto& seen : firstOfKind)
      if (seen.first == entry.kind) first = &seen;
    if (!first) {
      firstOfKind.emplace_back(entry.kind, j);
      continue;
    }
    CFinding finding = MakeFinding(FindingKind::duplicate, definitions, entry);
    const CLabelEntry& firstEntry = definitions.At(first->second);
    finding.firstLine = firstEntry.line;
    finding.firstPlace = definitions.PlaceOf(firstEntry);
    findings.push_back(std::move(finding));
  }
}

// With `notes`, a label line without "]" gets a note that says why its
// list has no name.
void AddUnmatched(const CLabelList& list, FindingKind kind, bool notes,
                  std::vector<CFinding>& findings) {
  for (int j = 0; j < list.GetCount(); ++j) {
    const CLabelEntry& entry = list.At(j);
    if (entry.used) continue;
    CFinding finding = MakeFinding(kind, list, entry);
    if (notes && entry.unclosed) {
      CNote note;
      note.kind = NoteKind::noClosingBracket;
      note.line = entry.line;
      note.place = finding.place;
      note.message = NoClosingBracketMessage();
      finding.note = std::move(note);
    }
    findings.push_back(std::move(finding));
  }
}

}  // namespace

void AddCrossReferenceFindings(const CLabelList& definitions, const CLabelList& references,
                               bool notes, const CCodePage& codePage,
                               std::vector<CFinding>& findings) {
  AddDuplicates(definitions, findings);
  AddUnmatched(definitions, FindingKind::unused, notes, findings);
  AddUnmatched(references, FindingKind::notFound, false, findings);
  for (CFinding& finding : findings) {
    finding.message =
        FindingMessage(finding.kind, codePage.ToUtf8(finding.name), finding.firstPlace.line);
  }
}

CCheckResult CheckBytes(std::string_view bytes, const CCheckOptions& options,
                        const std::string& name) {
  CStdioFile file;
  file.OpenMemory(bytes, name);
  return CheckFile(file, options);
}

CPlace PlaceIn(const CCheckResult& result, const CLabelEntry& entry) {
  const bool reference = entry.ownLineText && result.references->KeepsLineOf(entry);
  return (reference ? *result.references : *result.definitions).PlaceOf(entry);
}

int ColumnOf(std::string_view lineText, std::uint32_t offset, const CCodePage& codePage) {
  // Past the kept start of a very long line, each byte counts as one.
  const std::size_t kept = std::min<std::size_t>(offset, lineText.size());
  return static_cast<int>(codePage.CountCharacters(lineText.substr(0, kept)) +
                          (offset - kept)) + 1;
}

bool CCheckResult::ReportsErrorsOrWarnings() const {
  return std::any_of(reported.begin(), reported.end(), [](const CFinding* finding) {
    return finding->GetSeverity() != Severity::note;
  });
}
