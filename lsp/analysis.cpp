#include "lsp/analysis.h"

#include <algorithm>

#include "checker/scanner.h"

namespace {

std::vector<CSectionLine> FindSections(const CDocument& document) {
  std::vector<CSectionLine> sections;
  for (std::size_t line = 0; line < document.LineCount(); ++line) {
    if (const int kind = FindSectionHeader(document.LineText(line)); kind != kNoSection)
      sections.push_back({line, kind});
  }
  return sections;
}

CCheckResult CheckText(const CDocument& document, bool instrumentFile,
                       const CRuleSelection& rules) {
  if (!instrumentFile) {
    CCheckResult empty;
    empty.definitions = std::make_unique<CLabelList>();
    empty.references = std::make_unique<CLabelList>();
    return empty;
  }
  CCheckOptions options;
  options.notes = true;
  options.rules = &rules;
  return CheckBytes(document.Text(), options, "document");
}

}  // namespace

CAnalysis::CAnalysis(const CDocument& document, const CRuleSelection& rules)
    : m_rules(rules), m_sections(FindSections(document)) {
  m_result = CheckText(document, IsInstrumentFile(), m_rules);
}

int CAnalysis::SectionAt(std::size_t line) const {
  auto after = std::upper_bound(m_sections.begin(), m_sections.end(), line,
                                [](std::size_t l, const CSectionLine& s) { return l < s.line; });
  return after == m_sections.begin() ? kNoSection : std::prev(after)->kind;
}

void CAnalysis::IndexNames() const {
  if (m_namesIndexed) return;
  m_namesIndexed = true;
  auto add = [this](const CLabelList& list, bool definition) {
    for (int i = 0; i < list.GetCount(); ++i) {
      const CPlace place = list.PlaceOf(i);
      if (place.line <= 0) continue;
      m_names.push_back({static_cast<std::uint32_t>(place.line - 1), place.begin, place.end,
                         {definition, i}});
    }
  };
  add(*m_result.definitions, true);
  add(*m_result.references, false);
  std::sort(m_names.begin(), m_names.end(), [](const CLineEntry& a, const CLineEntry& b) {
    return a.line != b.line ? a.line < b.line : a.begin < b.begin;
  });
}

std::optional<CNameHit> CAnalysis::NameAt(std::size_t line, std::size_t byte) const {
  IndexNames();
  auto first = std::lower_bound(m_names.begin(), m_names.end(), line,
                                [](const CLineEntry& e, std::size_t l) { return e.line < l; });
  for (auto it = first; it != m_names.end() && it->line == line; ++it) {
    if (byte >= it->begin && byte <= it->end) return it->hit;
  }
  return std::nullopt;
}

void CAnalysis::IndexUses() const {
  if (m_usesIndexed) return;
  m_usesIndexed = true;
  const int definitions = m_result.definitions->GetCount();
  m_useStarts.assign(static_cast<std::size_t>(definitions) + 1, 0);
  for (int target : m_result.resolution) {
    if (target >= 0 && target < definitions) ++m_useStarts[target + 1];
  }
  for (int d = 0; d < definitions; ++d) m_useStarts[d + 1] += m_useStarts[d];
  m_uses.resize(static_cast<std::size_t>(m_useStarts[definitions]));
  std::vector<int> next(m_useStarts.begin(), m_useStarts.end() - 1);
  for (int r = 0; r < static_cast<int>(m_result.resolution.size()); ++r) {
    const int target = m_result.resolution[r];
    if (target >= 0 && target < definitions) m_uses[next[target]++] = r;
  }
}

std::span<const int> CAnalysis::UsesOf(int definition) const {
  IndexUses();
  if (definition < 0 || definition + 1 >= static_cast<int>(m_useStarts.size())) return {};
  return std::span<const int>(m_uses).subspan(
      m_useStarts[definition], m_useStarts[definition + 1] - m_useStarts[definition]);
}

int CAnalysis::FindDefinition(std::string_view name, int kind) const {
  // Definitions are sorted by name and, within a name, keep file order: the
  // first match is the one references resolve to.
  const CLabelList& definitions = *m_result.definitions;
  for (int d = 0; d < definitions.GetCount(); ++d) {
    const CLabelEntry& entry = definitions.At(d);
    if (entry.name == name && entry.kind == kind && !entry.shadowed) return d;
  }
  return -1;
}
