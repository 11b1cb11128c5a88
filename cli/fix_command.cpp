#include "cli/fix_command.h"

#include <cerrno>
#include <csignal>
#include <set>
#include <cstring>

#include "checker/check.h"
#include "checker/rules/rule_config.h"
#include "cli/check_command.h"
#include "cli/fix_bytes.h"
#include "cli/gnu_format.h"
#include "cli/unified_diff.h"
#include "platform/binary_output.h"
#include "platform/file_replace.h"

namespace {

std::string Counted(int count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

// Writes the gnu lines of what a check of the fixed text found, a piece
// at a time: a file with very many findings needs no second copy of them.
void WriteRemainingLines(std::FILE* out, const std::string& input, const CCheckResult& result,
                         bool notes) {
  std::string lines;
  auto flush = [&] {
    std::fwrite(lines.data(), 1, lines.size(), out);
    lines.clear();
  };
  if (notes) {
    for (const CNote& note : result.fileNotes)
      lines += FormatGnuFileNote(input, note, result.codePage);
  }
  for (const CFinding* finding : result.reported) {
    lines += FormatGnuFinding(input, *finding, result.codePage, notes);
    if (lines.size() >= 64 * 1024) flush();
  }
  flush();
}

enum class InputOutcome { clean, changes, failed };

InputOutcome FixInput(const std::string& input, const CFixRequest& request, std::FILE* out,
                      std::FILE* err, std::set<std::string>& toldConfigErrors) {
  CInputRules rules;
  try {
    rules = request.rulesFor(input);
  } catch (const CConfigError& e) {
    // One veltrane.toml serves many inputs: its error is told once.
    if (toldConfigErrors.insert(e.what()).second) Complain(err, e.what());
    return InputOutcome::failed;
  }
  std::string bytes;
  CFileException error;
  if (!ReadWholeFile(input, bytes, error)) {
    Complain(err, error.what());
    return InputOutcome::failed;
  }
  CFixOutcome fixed;
  try {
    fixed = FixInputBytes(bytes, input, rules.rules,
                          rules.codePage ? *rules.codePage : SystemCodePage(), request.unsafe);
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
  WriteRemainingLines(out, input, fixed.remaining, request.notes);
  const std::string count = input + ": " + Counted(fixed.fixed, "finding", "findings") +
                            " fixed, " + std::to_string(remaining) +
                            (remaining == 1 ? " remains" : " remain") + "\n";
  std::fwrite(count.data(), 1, count.size(), out);
  // As --format=gnu: notes alone do not fail a build.
  return fixed.remaining.ReportsErrorsOrWarnings() ? InputOutcome::changes : InputOutcome::clean;
}

}  // namespace

int RunFixCommand(const CFixRequest& request, std::FILE* out, std::FILE* err) {
#ifdef SIGPIPE
  // A reader that went away is a failed write, said as such, rather than
  // an end without a word.
  std::signal(SIGPIPE, SIG_IGN);
#endif
  bool anyFailed = false;
  bool anyChanges = false;
  std::set<std::string> toldConfigErrors;
  for (std::size_t i = 0; i < request.inputs.size(); ++i) {
    const std::string& input = request.inputs[i];
    const InputOutcome outcome = FixInput(input, request, out, err, toldConfigErrors);
    anyFailed = anyFailed || outcome == InputOutcome::failed;
    anyChanges = anyChanges || outcome == InputOutcome::changes;
    // Flushed after each input, so that its lines and those on standard
    // error keep their order.
    if (std::fflush(out) != 0 || std::ferror(out)) {
      // What was not shown is not changed: each input after this one is
      // left as it is, and named.
      Complain(err, std::string("standard output: ") + std::strerror(errno) + "; " + input +
                        (request.diffOnly || outcome == InputOutcome::failed
                             ? ""
                             : " was fixed, but its findings were not shown"));
      for (std::size_t rest = i + 1; rest < request.inputs.size(); ++rest)
        Complain(err, request.inputs[rest] + (request.diffOnly ? " was not diffed" : " was not fixed") +
                          ": standard output failed");
      return kExitFailure;
    }
  }
  if (anyFailed) return kExitFailure;
  return anyChanges ? kExitFindings : kExitClean;
}
