#include "lsp/analysis.h"

#include <algorithm>
#include <utility>

#include "checker/resolve.h"
#include "checker/scanner.h"

namespace {

// A text without any section header is not an instrument definition file
// (TeX sources end in .ins too): it has no findings.
CCheckResult CheckText(const CDocument& document, const CRuleSelection& rules) {
  CCheckResult result = CAnalysis::Check(document.Text(), rules);
  if (!result.sections.empty()) return result;
  CCheckResult empty;
  empty.definitions = std::make_unique<CLabelList>();
  empty.references = std::make_unique<CLabelList>();
  return empty;
}

}  // namespace

CCheckResult CAnalysis::Check(std::string_view text, const CRuleSelection& rules) {
  CCheckOptions options;
  options.notes = true;
  // Editors hand over UTF-8 whatever the file's own encoding, so a name
  // one character off is one character off, however many bytes it takes.
  options.codePage = CCodePage::FromNumber(65001).value();
  options.rules = &rules;
  return CheckBytes(text, options, "document");
}

CAnalysis::CAnalysis(const CDocument& document, const CRuleSelection& rules)
    : m_rules(rules), m_result(CheckText(document, m_rules)) {}

int CAnalysis::SectionAt(std::size_t line) const {
  const auto& sections = m_result.sections;
  auto after = std::upper_bound(sections.begin(), sections.end(), line,
                                [](std::size_t l, const CSectionHeader& s) {
                                  return l + 1 < static_cast<std::size_t>(s.line);
                                });
  return after == sections.begin() ? kNoSection : std::prev(after)->kind;
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
  // The engine's index, as the list rules use it.
  CUses index = ::IndexUses(m_result.resolution, m_result.definitions->GetCount());
  m_useStarts = std::move(index.starts);
  m_uses = std::move(index.uses);
}

std::span<const int> CAnalysis::UsesOf(int definition) const {
  IndexUses();
  if (definition < 0 || definition + 1 >= static_cast<int>(m_useStarts.size())) return {};
  return std::span<const int>(m_uses).subspan(
      m_useStarts[definition], m_useStarts[definition + 1] - m_useStarts[definition]);
}
