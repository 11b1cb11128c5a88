// The line pass: the linter run over every line of a file, in one part or
// two at once, with the labels taken from the same reading.
#include <cerrno>
#include <cstring>
#include <cstdint>
#include <list>
#include <limits>
#include <optional>
#include <string>

#include "checker/both_at_once.h"
#include "checker/label_collector.h"
#include "checker/line_source.h"
#include "checker/rules/lint.h"
#include "checker/scanner.h"
#include "checker/rules/line_linter.h"

using line_pass::CLineLinter;
using line_pass::Remake;

bool MentionsSuppression(const CStdioFile& file) {
  constexpr std::size_t kBlock = 1 << 18;
  const std::size_t overlap = kSuppressionMarker.size() - 1;
  std::vector<char> buffer(kBlock + overlap);
  std::size_t kept = 0;
  for (std::uint64_t offset = 0;;) {
    const std::size_t n = file.ReadBytesAt(offset, buffer.data() + kept, kBlock);
    if (n == 0) return false;
    const std::string_view block(buffer.data(), kept + n);
    if (block.find(kSuppressionMarker) != std::string_view::npos) return true;
    offset += n;
    kept = std::min(overlap, block.size());
    std::memmove(buffer.data(), block.data() + block.size() - kept, kept);
  }
}

namespace {

// Whether the last line `line` ends in the DOS end-of-file mark.
bool HasEndOfFileMark(const CSourceLine& line) {
  return line.length == line.text.size() && line.text.ends_with('\x1A');
}

// A line where a list or an instrument begins or ends: of the lines before
// it, the linter needs nothing but the section they stand in.
bool StartsContext(std::string_view text) {
  return text.starts_with('.') || text.starts_with('[');
}

struct Boundary {
  std::uint64_t offset;
  int line;  // physical
};

// The numbers of the first line at the split, once the first part has
// passed it: its physical line and its piece.
struct AtSplit {
  int line = 0;  // 0: not passed
  int piece = 0;
};

// Lints the lines `source` gives up to the end of the file, or up to the
// first line at `stopFrom` or after it that starts a context: that one is
// left to whoever lints the rest, and its place is returned. With
// `collector`, the labels of the lines before `stopFrom` go to it; with
// `atSplit`, the numbers of the first line at `stopFrom` go there.
std::optional<Boundary> LintUntil(CLineSource& source, CLineLinter& linter, std::uint64_t stopFrom,
                                  CLabelCollector* collector = nullptr,
                                  AtSplit* atSplit = nullptr) {
  // Only the last line can lack a line end; it is kept for the rule that
  // looks at it.
  CSourceLine last;
  std::string lastText;
  std::optional<Boundary> boundary;
  // The entries QuickEntry takes are no labels and no longer than a
  // piece: the collector need only count them, which it is told of in one
  // go before the next line it reads.
  int passed = 0;
  bool pastStop = false;
  // Hands a line the collector reads to it, after the entries passed over.
  const auto collect = [&](const CSourceLine& line) {
    if (!collector || line.offset >= stopFrom) return;
    collector->Pass(passed);
    passed = 0;
    collector->Line(line);
  };
  source.ForEach([&](const CSourceLine& line) {
    if (line.offset >= stopFrom) {
      if (collector && !pastStop) collector->Pass(passed);
      pastStop = true;
      if (atSplit && atSplit->line == 0) {
        atSplit->line = line.physicalLine;
        atSplit->piece = collector ? collector->NextPiece() : 0;
      }
      if (StartsContext(line.text)) {
        boundary = Boundary{line.offset, line.physicalLine};
        return false;
      }
    }
    if (line.ending.empty()) {
      last = line;
      lastText.assign(line.text);
      last.text = lastText;
      // A DOS end-of-file mark, one Ctrl-Z at the very end, is no part of
      // the last line for the rules; the lists take the line as it is, as
      // the scanner reads it. Kept out of the way of every other line.
      if (HasEndOfFileMark(line)) [[unlikely]] {
        last.text.remove_suffix(1);
        --last.length;
        collect(line);
        linter.Line(last);
        return true;
      }
    }
    if (linter.QuickEntry(line)) {
      ++passed;
      return true;
    }
    // The other lines are read by functions of their own, which get a
    // copy: the line the reader hands out then never leaves its registers.
    const CSourceLine other = line;
    collect(other);
    linter.Line(other);
    return true;
  });
  if (collector && !pastStop) collector->Pass(passed);
  if (boundary) {
    linter.Close();
    return boundary;
  }
  linter.Finish(last);
  return std::nullopt;
}

// What the second part of a line pass in two parts found, its lines and
// pieces numbered from 1 at the split: the first part counts the lines
// before the split on its way, so the second need not count them first.
struct SecondPart {
  explicit SecondPart(const CRuleSink& first)
      : result{findings, kept, first.codePage, first.lineEnd, first.folding ? &folded : nullptr,
               first.rules, 0} {}
  std::vector<CFinding> findings;
  CTextArena kept;
  CFixFindings folded;
  CRuleSink result;
  std::vector<CSuppression> suppressions;
  std::vector<Remake> remakes;
  CLabelList definitions;
  CLabelList references;
  std::vector<CSectionHeader> headers;
  int lines = 0;        // the physical lines it read
  bool linted = false;  // a line at the split or after it starts a context
  bool whole = true;    // as CLabelCollector::Whole
};

// Lints the lines from the first that starts a context at `split` or after
// it, in the section the lines before `split` end in. With `labels`, also
// collects the labels of every line from `split` on.
void LintFrom(const CStdioFile& file, std::uint64_t split, const CRuleSelection& rules, bool notes,
              bool labels, SecondPart& part) {
  bool underUnknown = false;
  const int section = SectionBefore(file, split, &underUnknown);
  std::optional<CLabelCollector> collector;
  if (labels)
    collector.emplace(part.definitions, part.references, part.headers, part.result.codePage, section);
  CLineSource skipped(file, split);
  CSourceLine line;
  while (skipped.Next(line)) {
    if (!StartsContext(line.text)) {
      if (collector) collector->Line(line);
      continue;
    }
    CLineSource source(file, line.offset, line.physicalLine);
    CLineLinter linter(file, rules, notes, part.result, part.suppressions, section, underUnknown);
    // A sink that folds keeps no message the rules could make again.
    if (!part.result.folding) linter.KeepRemakes(part.remakes);
    LintUntil(source, linter, std::numeric_limits<std::uint64_t>::max(),
              collector ? &*collector : nullptr);
    part.lines = source.NextLine() - 1;
    part.linted = true;
    break;
  }
  if (!part.linted) part.lines = skipped.NextLine() - 1;
  if (collector) {
    // The collector went on from where the skipped lines stopped.
    part.whole = collector->Whole();
  }
}

// Numbers the second part's lines, but for its lists, `lines` later.
void Renumber(SecondPart& part, int lines) {
  const auto shift = [lines](int& line) {
    if (line > 0) line += lines;
  };
  for (CFinding& finding : part.result.findings) {
    shift(finding.line);
    shift(finding.place.line);
    if (finding.note) {
      shift(finding.note->line);
      shift(finding.note->place.line);
    }
  }
  part.folded.ShiftLines(lines);
  for (const Remake& remake : part.remakes)
    part.result.findings[remake.finding].message = remake.make(lines);
  for (CSuppression& suppression : part.suppressions) {
    shift(suppression.place.line);
    shift(suppression.targetLine);
  }
  for (CSectionHeader& header : part.headers) header.line += lines;
}

}  // namespace

std::string_view FirstLineEnd(const CStdioFile& file) {
  char block[4096];
  char previous = '\0';
  bool anyCr = false;
  for (std::uint64_t offset = 0;;) {
    const std::size_t n = file.ReadBytesAt(offset, block, sizeof block);
    // No LF at all: a file of lone CR line ends (as from old Macs) ends in
    // one too.
    if (n == 0) return anyCr ? "\r" : "\r\n";
    if (const void* lf = std::memchr(block, '\n', n)) {
      const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(lf) - block);
      return (at > 0 ? block[at - 1] : previous) == '\r' ? "\r\n" : "\n";
    }
    anyCr = anyCr || std::memchr(block, '\r', n) != nullptr;
    previous = block[n - 1];
    offset += n;
  }
}

bool LintLines(const CStdioFile& file, const CRuleSelection& rules, bool notes, bool inParts,
               CRuleSink& result, std::vector<CSuppression>& suppressions,
               CLabelLists* labels) {
  if (!labels && !rules.NeedsLinePass() && !MentionsSuppression(file)) return true;
  // Notes point at the findings they belong to by index, which folding
  // moves: a check for fixing has no use for them.
  if (result.folding) notes = false;
  CLineLinter linter(file, rules, notes, result, suppressions);
  CLineSource source(file);
  std::optional<CLabelCollector> collector;
  if (labels)
    collector.emplace(labels->definitions, labels->references, labels->headers, result.codePage);
  CLabelCollector* const collecting = collector ? &*collector : nullptr;
  const std::uint64_t split = inParts ? LineStartFrom(file, file.GetSourceLength() / 2) : 0;
  if (split == 0) {
    LintUntil(source, linter, std::numeric_limits<std::uint64_t>::max(), collecting);
    return !collector || collector->Whole();
  }
  // Two parts at once: the first goes on past the split to the end of the
  // list or instrument at hand, the second starts where the first stops.
  // Of the labels, the first part takes those before the split, the second
  // the rest.
  SecondPart part(result);
  std::optional<Boundary> boundary;
  AtSplit atSplit;
  RunBothAtOnce(
      [&] {
        boundary = LintUntil(source, linter, split, collecting, &atSplit);
      },
      [&] { LintFrom(file, split, rules, notes, labels != nullptr, part); });
  // The first part passes the split, unless the file shrank while it was
  // read: then its reading stands.
  if (atSplit.line == 0) return !collector || collector->Whole();
  constexpr int kMaxLine = std::numeric_limits<int>::max();
  const int lines = atSplit.line - 1;
  const int pieces = atSplit.piece - 1;
  // Numbered from the file's start, the second part's lines must still
  // fit an int, as one reading's would have had to.
  if (part.lines > kMaxLine - lines) throw CFileException(file.GetFilePath(), EOVERFLOW);
  Renumber(part, lines);
  bool whole = part.whole && (!collector || collector->Whole());
  if (labels && whole) {
    const auto shift = [lines, pieces](CLabelEntry& entry) {
      entry.line += pieces;
      if (entry.placeLine > 0) entry.placeLine += lines;
    };
    labels->definitions.Append(part.definitions, shift);
    labels->references.Append(part.references, shift);
    labels->headers.insert(labels->headers.end(), part.headers.begin(), part.headers.end());
  }
  // Both parts see the same lines, so the second starts where the first
  // stopped; only a file that changes while it is read can make them
  // disagree, and then the first part's reading stands.
  if (!boundary) return whole;
  if (!part.linted) {
    CLineSource rest(file, boundary->offset, boundary->line);
    LintUntil(rest, linter, std::numeric_limits<std::uint64_t>::max());
    return whole;
  }
  // The comments at the end of the first part silence the line the second
  // starts with.
  for (std::size_t i = linter.FirstPending(); i < suppressions.size(); ++i)
    if (!suppressions[i].wholeFile) suppressions[i].targetLine = boundary->line;
  // Room for exactly both parts: grown by doubling, the findings of a file
  // with very many would take up to twice their room.
  result.findings.reserve(result.findings.size() + part.result.findings.size());
  for (CFinding& finding : part.result.findings)
    result.findings.push_back(std::move(finding));
  result.kept.Splice(part.result.kept);
  if (result.folding) result.folding->Append(std::move(part.folded));
  for (CSuppression& suppression : part.suppressions) suppressions.push_back(std::move(suppression));
  return whole;
}
