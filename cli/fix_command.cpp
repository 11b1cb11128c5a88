#include "cli/fix_command.h"

#include <cerrno>
#include <cstring>

#include "checker/check.h"
#include "checker/fix_apply.h"
#include "checker/rule_config.h"
#include "cli/check_command.h"
#include "cli/gnu_format.h"
#include "cli/unified_diff.h"
#include "platform/binary_output.h"
#include "platform/file_replace.h"

namespace {

std::string Counted(int count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

// The gnu lines of what a check of the fixed text found.
std::string RemainingLines(const std::string& input, const CCheckResult& result, bool notes) {
  std::string lines;
  if (notes) {
    for (const CNote& note : result.fileNotes)
      lines += FormatGnuFileNote(input, note, result.codePage);
  }
  for (const CFinding* finding : result.reported)
    lines += FormatGnuFinding(input, *finding, result.codePage, notes);
  return lines;
}

enum class InputOutcome { clean, changes, failed };

InputOutcome FixInput(const std::string& input, const CFixRequest& request, std::FILE* out,
                      std::FILE* err) {
  CInputRules rules;
  try {
    rules = request.rulesFor(input);
  } catch (const CConfigError& e) {
    Complain(err, e.what());
    return InputOutcome::failed;
  }
  std::string bytes;
  CFileException error;
  if (!ReadWholeFile(input, bytes, error)) {
    Complain(err, error.what());
    return InputOutcome::failed;
  }
  CCheckOptions options;
  options.codePage = rules.codePage ? *rules.codePage : SystemCodePage();
  // The fixes of references not found come from their notes.
  options.notes = true;
  options.rules = &rules.rules;
  CFixOutcome fixed;
  try {
    fixed = FixBytes(bytes, [&](std::string_view text) {
      return CheckBytes(text, options, input);
    }, request.unsafe);
  } catch (const CFileException& e) {
    Complain(err, e.what());
    return InputOutcome::failed;
  }
  const bool changed = fixed.text != bytes;
  if (request.diffOnly) {
    // The diff holds the file's own line ends: a Windows console's text
    // mode would add a CR to each LF and spoil it for patch.
    WriteBytesAsIs(out, UnifiedDiff(input, bytes, fixed.text));
    return changed ? InputOutcome::changes : InputOutcome::clean;
  }
  if (changed) {
    switch (ReplaceFileContent(input, bytes, fixed.text, error)) {
      case ReplaceOutcome::replaced:
        break;
      case ReplaceOutcome::changedMeanwhile:
        Complain(err, input + ": changed while it was being fixed; nothing written");
        return InputOutcome::failed;
      case ReplaceOutcome::failed:
        Complain(err, std::string(error.what()) + "; " + input + " was not changed");
        return InputOutcome::failed;
    }
  }
  const std::size_t remaining = fixed.remaining.reported.size();
  std::string lines = RemainingLines(input, fixed.remaining, request.notes);
  lines += input + ": " + Counted(fixed.fixed, "finding", "findings") + " fixed, " +
           std::to_string(remaining) + (remaining == 1 ? " remains" : " remain") + "\n";
  std::fwrite(lines.data(), 1, lines.size(), out);
  // As --format=gnu: notes alone do not fail a build.
  return fixed.remaining.ReportsErrorsOrWarnings() ? InputOutcome::changes : InputOutcome::clean;
}

}  // namespace

int RunFixCommand(const CFixRequest& request, std::FILE* out, std::FILE* err) {
  bool anyFailed = false;
  bool anyChanges = false;
  for (const std::string& input : request.inputs) {
    const InputOutcome outcome = FixInput(input, request, out, err);
    anyFailed = anyFailed || outcome == InputOutcome::failed;
    anyChanges = anyChanges || outcome == InputOutcome::changes;
    // Flushed after each input, so that its lines and those on standard
    // error keep their order.
    if (std::fflush(out) != 0 || std::ferror(out)) {
      Complain(err, std::string("standard output: ") + std::strerror(errno));
      return kExitFailure;
    }
  }
  if (anyFailed) return kExitFailure;
  return anyChanges ? kExitFindings : kExitClean;
}
