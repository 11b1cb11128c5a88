#include "checker/fix_findings.h"

#include <algorithm>
#include <iterator>
#include <numeric>
#include <utility>

namespace {

// Blocks hold this much at least: few enough that their own cost is lost
// among the bytes.
constexpr std::size_t kArenaBlock = std::size_t{1} << 16;
constexpr std::size_t kEditBlock = 4096;

}  // namespace

std::string_view CTextArena::Keep(std::string_view text) {
  if (m_blocks.empty() || m_blocks.back().capacity() - m_blocks.back().size() < text.size()) {
    // A block is never grown past what it reserved, so its bytes never move.
    m_blocks.emplace_back().reserve(std::max(kArenaBlock, text.size()));
  }
  std::string& block = m_blocks.back();
  const std::size_t at = block.size();
  block.append(text);
  return std::string_view(block).substr(at, text.size());
}

void CTextArena::Splice(CTextArena& other) {
  // The last block here stays last, with its room: the one taken over
  // would only be filled further if it came last.
  m_blocks.splice(m_blocks.begin(), other.m_blocks);
}

bool CFixFindings::Add(const CFinding& finding) {
  ++m_counts[static_cast<std::size_t>(finding.kind)];
  // Fixing reads a finding only for its fix, and an idle suppression also
  // for what it is known by, which tells which of them to remove.
  if (!finding.fix && finding.kind != FindingKind::unusedSuppression) return false;
  CEntry entry;
  entry.kind = finding.kind;
  entry.line = finding.place.line;
  entry.begin = finding.place.begin;
  entry.lineText = finding.place.lineText;
  if (finding.fix) {
    const CFix& fix = *finding.fix;
    entry.safe = fix.safe ? 1 : 0;
    entry.title = &*m_titles.insert(fix.title).first;
    entry.editCount = static_cast<std::uint32_t>(fix.edits.size());
    // A fix's edits stand together in one block.
    if (m_edits.empty() || m_edits.back().capacity() - m_edits.back().size() < fix.edits.size())
      m_edits.emplace_back().reserve(std::max(kEditBlock, fix.edits.size()));
    std::vector<CEditView>& block = m_edits.back();
    entry.edits = block.data() + block.size();
    for (const CEdit& edit : fix.edits) block.push_back({edit.begin, edit.end, m_texts.Keep(edit.text)});
  }
  m_entries.push_back(entry);
  return true;
}

void CFixFindings::Fold(const CFinding& finding) {
  if (Add(finding)) ++m_folded;
}

void CFixFindings::Append(CFixFindings&& later) {
  for (std::size_t i = 0; i < kFindingKindCount; ++i) m_counts[i] += later.m_counts[i];
  for (CEntry entry : later.m_entries) {
    if (entry.title) entry.title = &*m_titles.insert(*entry.title).first;
    m_entries.push_back(entry);
  }
  // The edits' blocks and texts move as they are: what views them stays good.
  m_edits.splice(m_edits.begin(), later.m_edits);
  m_texts.Splice(later.m_texts);
  m_folded += later.m_folded;
  later = CFixFindings();
}

void CFixFindings::ShiftLines(int lines) {
  for (CEntry& entry : m_entries)
    if (entry.line > 0) entry.line += lines;
}

void CFixFindings::Merge(const std::vector<const CFinding*>& reported) {
  for (const CFinding* finding : reported) Add(*finding);
  const auto before = [this](std::uint32_t a, std::uint32_t b) {
    const CEntry& x = m_entries[a];
    const CEntry& y = m_entries[b];
    if (x.line != y.line) return x.line < y.line;
    if (x.begin != y.begin) return x.begin < y.begin;
    return RuleOf(x.kind).id < RuleOf(y.kind).id;
  };
  m_order.reserve(m_entries.size());
  m_order.resize(m_entries.size());
  std::iota(m_order.begin(), m_order.end(), std::uint32_t{0});
  const auto folded = m_order.begin() + static_cast<std::ptrdiff_t>(m_folded);
  std::stable_sort(m_order.begin(), folded, before);
  std::inplace_merge(m_order.begin(), folded, m_order.end(), before);
}
