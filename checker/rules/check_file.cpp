// The check's entry point: the engine's scan, resolution and
// cross-references, then the notes and fixes of their findings, then the
// rules beyond cross-references and suppression, each through the
// interface of its own room. It stands above every room it runs.
#include "checker/check.h"

#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "checker/both_at_once.h"
#include "checker/fix/trimmed_reference_fix.h"
#include "checker/label_collector.h"
#include "checker/notes/check_notes.h"
#include "checker/resolve.h"
#include "checker/rules/lint.h"
#include "checker/rules/rule_sink.h"
#include "checker/rules/suppression.h"
#include "checker/scanner.h"

namespace {

// Whether the physical line around `at` (up to LF) is one that every
// program reads alike: no longer than a piece, and without a lone CR,
// which ends a line for some programs and not for others. Edits inside
// other lines would change where programs split them.
bool InPlainLine(const CStdioFile& file, std::uint64_t at) {
  constexpr std::uint64_t kReach = kLongestWholeLine + 2;
  const std::uint64_t from = at > kReach ? at - kReach : 0;
  char buffer[2 * kReach];
  const std::size_t wanted = static_cast<std::size_t>(at - from + kReach);
  std::size_t got = 0;
  while (got < wanted) {
    const std::size_t n = file.ReadBytesAt(from + got, buffer + got, wanted - got);
    if (n == 0) break;
    got += n;
  }
  const std::string_view bytes(buffer, got);
  const std::size_t here = static_cast<std::size_t>(at - from);
  const std::size_t lf = here == 0 ? std::string_view::npos : bytes.rfind('\n', here - 1);
  if (lf == std::string_view::npos && from > 0) return false;
  const std::size_t begin = lf == std::string_view::npos ? 0 : lf + 1;
  std::size_t end = bytes.find('\n', here);
  if (end == std::string_view::npos) {
    if (got == wanted && from + got < file.GetSourceLength()) return false;
    end = bytes.size();
  }
  std::string_view line = bytes.substr(begin, end - begin);
  if (line.ends_with('\r') && end < bytes.size()) line.remove_suffix(1);
  return line.size() <= kLongestWholeLine && line.find('\r') == std::string_view::npos;
}

// Leaves no fix that edits inside a line that programs read differently.
// An insertion at a line's start leaves that line as it is. The line rules
// that see whole lines make no such fix; the others are looked at here.
void KeepOddLinesWhole(const CStdioFile& file, CCheckResult& result) {
  const auto seesWholeLines = [](FindingKind kind) {
    return kind == FindingKind::commentAfterValue || kind == FindingKind::duplicateNumber ||
           kind == FindingKind::gapInInstrument || kind == FindingKind::noFinalLineEnd ||
           kind == FindingKind::unusedSuppression;
  };
  const auto lineStart = [&](std::uint64_t at) {
    char before = '\n';
    return at == 0 || (file.ReadBytesAt(at - 1, &before, 1) == 1 && before == '\n');
  };
  for (std::vector<CFinding>* findings : {&result.findings, &result.ruleFindings}) {
    for (CFinding& finding : *findings) {
      if (!finding.fix || seesWholeLines(finding.kind)) continue;
      for (const CEdit& edit : finding.fix->edits) {
        const bool plain = edit.begin == edit.end
                               ? lineStart(edit.begin) || InPlainLine(file, edit.begin)
                               : InPlainLine(file, edit.begin) &&
                                     (lineStart(edit.end) || InPlainLine(file, edit.end - 1));
        if (!plain) {
          finding.fix.reset();
          break;
        }
      }
    }
  }
}

}  // namespace

CCheckResult CheckFile(CStdioFile& file, const CCheckOptions& options) {
  CCheckResult result;
  result.codePage = options.codePage;
  result.definitions = std::make_unique<CLabelList>();
  result.references = std::make_unique<CLabelList>();

  std::string firstPiece;
  file.SeekToBegin();
  file.ReadString(firstPiece);

  std::vector<CSuppression> suppressions;
  std::vector<CFinding> listFindings;
  std::vector<CBasedOnOwner> basedOnOwners;
  if (options.rules) result.lineEnd = FirstLineEnd(file);
  // A check for fixing keeps of the line rules' findings what fixing reads,
  // as long as no suppression comment may yet silence them.
  if (options.rules && options.forFixing) result.fixFindings = std::make_unique<CFixFindings>();
  CFixFindings* const folding =
      result.fixFindings && !MentionsSuppression(file) ? result.fixFindings.get() : nullptr;
  // The rules see their findings and kept text alone, never the result.
  CRuleSink sink{result.ruleFindings, result.kept, result.codePage, result.lineEnd,
                 folding, options.rules, 0};
  const std::uint64_t split = SplitPoint(file, options.splitFrom);
  const auto scan = [&] {
    ScanLabelsSplitAt(file, split, *result.definitions, *result.references, options.codePage,
                      &result.sections);
  };
  // The lists, once scanned: sorted, resolved and checked.
  const auto crossReferences = [&] {
    // One reading gives what a definitions pass and a references pass
    // would; the references play no part in sorting and pre-marking
    // definitions.
    CLabelList& definitions = *result.definitions;
    if (options.rules && ChecksBasedOn(*options.rules))
      basedOnOwners = FindBasedOnOwners(definitions, *result.references);
    // In the order they were read, which is the order of their memory; the
    // mark moves with its entry.
    for (int j = 0; j < definitions.GetCount(); ++j) {
      if (definitions.GetKind(j) == kInstrumentDefinitions) definitions.MarkUsed(j);
    }
    definitions.Sort(options.codePage);
    result.definitionIndex = std::make_unique<CDefinitionIndex>(definitions);
    result.resolution =
        ResolveReferences(definitions, *result.references, *result.definitionIndex);

    const auto findings = [&] {
      AddCrossReferenceFindings(definitions, *result.references, options.notes, options.codePage,
                                result.findings);
      if (options.notes || options.rules) AddNotes(result, options.notes, options.rules != nullptr);
      if (options.notes) {
        if (std::optional<CNote> note = ByteOrderMarkNote(firstPiece, options.codePage))
          result.fileNotes.push_back(std::move(*note));
      }
    };
    // The list rules read the resolved lists and write only their own
    // findings, so they may run beside the cross-references' findings. Not
    // beside the notes, though: their index is the check's largest, and
    // the list rules' tables would add to it.
    std::vector<CReferenceNote> referenceNotes;
    const auto listRules = [&] {
      if (options.rules)
        LintLists(*options.rules, options.notes, result, basedOnOwners, listFindings,
                  &referenceNotes);
    };
    RunBothAtOnceIf(options.rules && !options.notes, findings, listRules);
    // Notes of the list rules on references not found, made after the
    // findings' own, which they replace.
    if (!referenceNotes.empty()) {
      std::unordered_map<const char*, CNote*> byName;
      for (CReferenceNote& note : referenceNotes)
        byName[result.references->At(note.reference).name.data()] = &note.note;
      for (CFinding& finding : result.findings) {
        if (finding.kind != FindingKind::notFound) continue;
        if (const auto it = byName.find(finding.name.data()); it != byName.end())
          finding.note = std::move(*it->second);
      }
    }
  };
  if (options.rules && options.rules->NeedsLinePass()) {
    // Every line is read for the rules anyway: the lists are taken from the
    // same reading, on as many threads as a scan would use. Only a line
    // longer than a piece, which reads as several, makes them scanned anew.
    CLabelLists labels{*result.definitions, *result.references, result.sections};
    if (!LintLines(file, *options.rules, options.notes, split > 0, sink, suppressions, &labels)) {
      result.definitions = std::make_unique<CLabelList>();
      result.references = std::make_unique<CLabelList>();
      result.sections.clear();
      scan();
    }
    crossReferences();
  } else if (options.rules) {
    // The cross-references alone: the lines are read only for suppression
    // comments, and only when the file has one, which finding that out
    // takes a reading of its own. That reading, and the lines', write
    // nothing the cross-references read or write, so on a file large
    // enough to be read in parts they run beside them. A file read in one
    // piece is read from its position, which reading by position moves on
    // some systems: then one comes after the other.
    const auto lines = [&] {
      LintLines(file, *options.rules, options.notes, split > 0, sink, suppressions);
    };
    const auto scanned = [&] {
      scan();
      crossReferences();
    };
    RunBothAtOnceIf(split > 0, scanned, lines);
  } else {
    scan();
    crossReferences();
  }
  // Read after every other reading of the file is done, for the lines it
  // keeps join those that the line rules keep.
  if (options.notes) AddUnusedListNotes(file, result);
  if (options.rules) {
    // After the line rules' findings, as if the lists were linted last.
    result.ruleFindings.reserve(result.ruleFindings.size() + listFindings.size());
    for (CFinding& finding : listFindings) result.ruleFindings.push_back(std::move(finding));
    KeepNamingValues(result);
    KeepOddLinesWhole(file, result);
    // The findings still held are reported by pointer from here on.
    sink.folding = nullptr;
    ReportFindings(*options.rules, suppressions, result.findings, sink, result.reported);
    if (result.fixFindings) result.fixFindings->Merge(result.reported);
  }
  return result;
}

