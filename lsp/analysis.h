// One check of a document's text, with the look-ups the editor features
// need: which name stands at a position, which references use a list, in
// which section a line stands.
#ifndef VELTRANE_LSP_ANALYSIS_H_
#define VELTRANE_LSP_ANALYSIS_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "checker/check.h"
#include "checker/rules/rule_selection.h"
#include "lsp/document.h"

// A definition or reference whose name stands on a line.
struct CNameHit {
  bool definition;
  int index;  // in the result's definitions or references
};

class CAnalysis {
 public:
  // Checks the document's UTF-8 bytes as a file read in code page 65001,
  // with notes. A text without any section header at a line's start is not an
  // instrument definition file (TeX sources end in .ins too): it is not
  // checked and has no findings.
  // `rules` are the rules its diagnostics report.
  CAnalysis(const CDocument& document, const CRuleSelection& rules);

  // The check of an instrument file's text that an analysis with `rules`
  // makes, so that fixing the text checks it again the same way.
  static CCheckResult Check(std::string_view text, const CRuleSelection& rules);
  const CRuleSelection& Rules() const { return m_rules; }

  bool IsInstrumentFile() const { return !m_result.sections.empty(); }
  const CCheckResult& Result() const { return m_result; }
  // The section headers as the engine read them, so that the outline and
  // completion put a list where the findings do.
  const std::vector<CSectionHeader>& Sections() const { return m_result.sections; }

  // The SectionKind that line `line` (0-based) stands in: the last header
  // before it, 0 before any.
  int SectionAt(std::size_t line) const;

  // The definition or reference whose name covers byte `byte` of line
  // `line` (0-based); the byte just after a name still counts as on it.
  std::optional<CNameHit> NameAt(std::size_t line, std::size_t byte) const;

  // The references that resolve to definition `definition`, in file order.
  std::span<const int> UsesOf(int definition) const;

 private:
  struct CLineEntry {
    std::uint32_t line;  // 0-based
    std::uint32_t begin;
    std::uint32_t end;
    CNameHit hit;
  };
  void IndexNames() const;
  void IndexUses() const;

  CRuleSelection m_rules;
  CCheckResult m_result;
  // Built on the first look-up: a check whose diagnostics are all that is
  // asked for does not pay for them.
  mutable std::vector<CLineEntry> m_names;
  mutable bool m_namesIndexed = false;
  mutable std::vector<int> m_useStarts;  // CSR: uses of d are [starts[d], starts[d+1])
  mutable std::vector<int> m_uses;
  mutable bool m_usesIndexed = false;
};

#endif  // VELTRANE_LSP_ANALYSIS_H_
