// Suppression comments: reading them, what they silence, and those that
// silence nothing (VLT0001).
#include "checker/rules/suppression.h"

#include <algorithm>
#include <unordered_map>
#include <utility>
#include <vector>

#include "checker/blanks.h"
#include "checker/finding_text.h"
#include "checker/scanner.h"

namespace {

// The words of this pass's findings, of their fixes and of their notes.

std::string BareSuppressionMessage() {
  return "Suppression without a rule id silences nothing: name the rules, as in "
         "\"; veltrane: ignore VLT2002\"";
}

// On an id or prefix of a suppression comment that silences nothing, and
// on a suppression comment without any.
std::string UnusedSuppressionMessage(std::string_view pattern, bool namesRule) {
  if (!namesRule) return "Suppression of " + Quoted(pattern) + ", which names no rule";
  return "Suppression of " + Quoted(pattern) + " silences nothing";
}

std::string RemoveSuppressionTitle() { return "Remove the unused suppression"; }

std::size_t SkipBlanks(std::string_view text, std::size_t at) {
  const std::size_t next = text.find_first_not_of(kBlanks, at);
  return next == std::string_view::npos ? text.size() : next;
}

}  // namespace

bool IsBlankLine(std::string_view text) {
  return text.find_first_not_of(kBlanks) == std::string_view::npos;
}

bool IsCommentLine(std::string_view text) {
  const std::size_t first = text.find_first_not_of(kBlanks);
  return first != std::string_view::npos && text[first] == ';';
}

bool ParseSuppression(std::string_view text, CSuppression& suppression) {
  std::size_t at = SkipBlanks(text, 0);
  if (at == text.size() || text[at] != ';') return false;
  at = SkipBlanks(text, at + 1);
  if (text.substr(at, kSuppressionMarker.size()) != kSuppressionMarker) return false;
  at = SkipBlanks(text, at + kSuppressionMarker.size());
  std::size_t word = at;
  while (word < text.size() && !IsBlank(text[word])) ++word;
  const std::string_view action = text.substr(at, word - at);
  if (action != "ignore" && action != "ignore-file") return false;
  suppression.wholeFile = action == "ignore-file";
  suppression.items.clear();
  // Items are separated by commas or blanks; each remembers what removing
  // it alone from the comment takes.
  std::size_t previousEnd = word;
  at = word;
  while (at < text.size()) {
    at = text.find_first_not_of(" \t,", at);
    if (at == std::string_view::npos) break;
    std::size_t end = text.find_first_of(" \t,", at);
    if (end == std::string_view::npos) end = text.size();
    CSuppression::Item item;
    item.pattern = std::string(text.substr(at, end - at));
    item.begin = static_cast<std::uint32_t>(at);
    item.end = static_cast<std::uint32_t>(end);
    item.removeBegin = static_cast<std::uint32_t>(suppression.items.empty() ? at : previousEnd);
    item.removeEnd = static_cast<std::uint32_t>(end);
    suppression.items.push_back(std::move(item));
    previousEnd = end;
    at = end;
  }
  // The first of several goes with the separator after it, so that the
  // rest still reads "ignore A, B".
  if (suppression.items.size() > 1) {
    CSuppression::Item& first = suppression.items.front();
    first.removeEnd = suppression.items[1].begin;
  }
  return true;
}

namespace {

// Marks every item of `suppression` that names `id`; true if any does.
bool Silences(CSuppression& suppression, std::string_view id) {
  bool any = false;
  for (CSuppression::Item& item : suppression.items) {
    if (PatternMatches(item.pattern, id)) {
      item.used = true;
      any = true;
    }
  }
  return any;
}

// Whether an item that silenced nothing is worth a finding: it names no
// rule, or a rule that this check reports. A suppression of a rule that is
// off may serve another configuration.
bool WorthReporting(const CSuppression::Item& item, const CRuleSelection& rules) {
  if (item.used) return false;
  if (!NamesRule(item.pattern)) return true;
  for (const FindingRule& rule : FindingRules())
    if (rules.Has(rule.kind) && rule.kind != FindingKind::unusedSuppression &&
        PatternMatches(item.pattern, rule.id))
      return true;
  return false;
}

void AddUnusedSuppressions(const CRuleSelection& rules, const std::vector<CSuppression>& suppressions,
                           CRuleSink& sink) {
  for (const CSuppression& suppression : suppressions) {
    // A bare "; veltrane: ignore" silences nothing, which its writer may
    // not expect: it is reported as a whole, and its fix removes it.
    if (suppression.items.empty()) {
      CFinding& finding = AddRuleFinding(sink, FindingKind::unusedSuppression, suppression.place,
                                         kNoSection, BareSuppressionMessage());
      if (!suppression.endsAtLoneCr)
        finding.fix = CFix{true,
                           RemoveSuppressionTitle(),
                           {{suppression.place.lineOffset, suppression.lineEndOffset, ""}}};
      continue;
    }
    const bool noneUsed = std::none_of(suppression.items.begin(), suppression.items.end(),
                                       [](const CSuppression::Item& item) { return item.used; });
    for (const CSuppression::Item& item : suppression.items) {
      if (!WorthReporting(item, rules)) continue;
      CPlace place = suppression.place;
      place.begin = item.begin;
      place.end = item.end;
      CFinding& finding =
          AddRuleFinding(sink, FindingKind::unusedSuppression, place, kNoSection,
                         UnusedSuppressionMessage(sink.codePage.ToUtf8(item.pattern),
                                                  NamesRule(item.pattern)));
      const std::uint64_t line = suppression.place.lineOffset;
      // Of a comment that ends at a lone CR, only the items go.
      const bool whole = noneUsed && !suppression.endsAtLoneCr;
      CEdit edit = whole ? CEdit{line, suppression.lineEndOffset, ""}
                         : CEdit{line + item.removeBegin, line + item.removeEnd, ""};
      finding.fix = CFix{true, RemoveSuppressionTitle(), {std::move(edit)}};
    }
  }
}

// The silenced lines, each from the first suppression comment that
// silences it to the end of its text: a fix may put lines above such a
// block, or move it whole, but neither change the line nor part it from
// its comments, which would undo what the author decided.
class CSilencedBlocks {
 public:
  void Add(std::uint64_t begin, std::uint64_t end) { m_blocks.emplace_back(begin, end); }

  // Merges blocks that overlap: after this, they are apart and in order.
  void Close() {
    std::sort(m_blocks.begin(), m_blocks.end());
    std::vector<std::pair<std::uint64_t, std::uint64_t>> merged;
    for (const auto& block : m_blocks) {
      if (!merged.empty() && block.first <= merged.back().second)
        merged.back().second = std::max(merged.back().second, block.second);
      else
        merged.push_back(block);
    }
    m_blocks.swap(merged);
  }

  bool Breaks(const CFix& fix) const {
    for (const CEdit& edit : fix.edits)
      if (Breaks(edit, edit.begin) || Breaks(edit, edit.end)) return true;
    return false;
  }

 private:
  // Whether `edit` breaks the block that starts last at or before `at`.
  bool Breaks(const CEdit& edit, std::uint64_t at) const {
    auto it = std::upper_bound(m_blocks.begin(), m_blocks.end(),
                               std::make_pair(at, ~std::uint64_t{0}));
    if (it == m_blocks.begin()) return false;
    const auto [begin, end] = *(it - 1);
    if (edit.begin == edit.end) return begin < edit.begin && edit.begin < end;
    const bool apart = edit.end <= begin || edit.begin >= end;
    const bool whole = edit.begin <= begin && edit.end >= end;
    return !apart && !whole;
  }

  std::vector<std::pair<std::uint64_t, std::uint64_t>> m_blocks;
};

}  // namespace

void ReportFindings(const CRuleSelection& rules, std::vector<CSuppression>& suppressions,
                    std::vector<CFinding>& findings, CRuleSink& sink,
                    std::vector<const CFinding*>& reported) {
  std::vector<CSuppression*> wholeFile;
  std::unordered_multimap<int, CSuppression*> byLine;
  for (CSuppression& suppression : suppressions) {
    if (suppression.wholeFile) wholeFile.push_back(&suppression);
    else if (suppression.targetLine > 0) byLine.emplace(suppression.targetLine, &suppression);
  }
  CSilencedBlocks blocks;
  auto silenced = [&](const CFinding& finding) {
    const std::string_view id = finding.Rule().id;
    bool any = false;
    for (CSuppression* suppression : wholeFile) any = Silences(*suppression, id) || any;
    if (!byLine.empty()) {
      const auto [first, last] = byLine.equal_range(finding.place.line);
      for (auto it = first; it != last; ++it) {
        if (!Silences(*it->second, id)) continue;
        any = true;
        const CPlace& place = finding.place;
        blocks.Add(it->second->place.lineOffset, place.lineOffset + place.lineText.size());
      }
    }
    return any;
  };
  reported.clear();
  for (const CFinding& finding : findings)
    if (rules.Has(finding.kind) && !silenced(finding)) reported.push_back(&finding);
  const std::size_t before = sink.findings.size();
  if (rules.Has(FindingKind::unusedSuppression)) {
    // Silencing first, so that every use of a suppression is known.
    for (const CFinding& finding : sink.findings) silenced(finding);
    AddUnusedSuppressions(rules, suppressions, sink);
  }
  for (std::size_t i = 0; i < sink.findings.size(); ++i) {
    const CFinding& finding = sink.findings[i];
    if (!rules.Has(finding.kind)) continue;
    if (i >= before || !silenced(finding)) reported.push_back(&finding);
  }
  blocks.Close();
  for (std::vector<CFinding>* list : {&findings, &sink.findings})
    for (CFinding& finding : *list)
      if (finding.fix && blocks.Breaks(*finding.fix)) finding.fix.reset();
  std::stable_sort(reported.begin(), reported.end(),
                   [](const CFinding* a, const CFinding* b) {
                     if (a->place.line != b->place.line) return a->place.line < b->place.line;
                     if (a->place.begin != b->place.begin) return a->place.begin < b->place.begin;
                     return a->Rule().id < b->Rule().id;
                   });
}
