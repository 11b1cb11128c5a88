#include "checker/fix/fix_apply.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <utility>

#include "checker/scanner.h"

namespace {

// An edit's edges, and whether two edits come too close to apply both in
// one pass. An insertion that touches a replacement is ambiguous (which
// goes first?), so touching counts for it; two replacements side by side
// are fine, and so are two different insertions at one place, which go in
// the order their fixes are taken (the order of the findings): the
// comments that fixes move above one label line.
bool Collide(const CEdit& a, const CEdit& b) {
  const bool insertA = a.begin == a.end;
  const bool insertB = b.begin == b.end;
  if (insertA && insertB) return a.begin == b.begin && a.text == b.text;
  if (insertA || insertB) return a.begin <= b.end && b.begin <= a.end;
  return a.begin < b.end && b.begin < a.end;
}

bool SameEdit(const CEdit& a, const CEdit& b) {
  return a.begin == b.begin && a.end == b.end && a.text == b.text;
}

// In file order, without overlaps, inside the bytes.
bool WellFormed(const CFix& fix, std::size_t size) {
  if (fix.edits.empty()) return false;
  for (std::size_t i = 0; i < fix.edits.size(); ++i) {
    const CEdit& edit = fix.edits[i];
    if (edit.begin > edit.end || edit.end > size) return false;
    if (i > 0 && (Collide(fix.edits[i - 1], edit) || fix.edits[i - 1].begin > edit.begin))
      return false;
  }
  return true;
}

// The edits taken so far in this round, by where they begin. They never
// collide, so their ends grow with their beginnings.
class CTakenEdits {
 public:
  // Whether `edit` collides with a taken edit; `same` tells whether that
  // edit is `edit` itself.
  bool Collides(const CEdit& edit, bool& same) const {
    same = false;
    auto it = m_edits.upper_bound(edit.end);
    while (it != m_edits.begin()) {
      --it;
      const CEdit& taken = it->second;
      if (taken.end < edit.begin) break;
      if (Collide(taken, edit)) {
        same = SameEdit(taken, edit);
        return true;
      }
    }
    return false;
  }
  void Take(const CEdit& edit) { m_edits.emplace(edit.begin, edit); }
  const std::multimap<std::uint64_t, CEdit>& Edits() const { return m_edits; }

 private:
  std::multimap<std::uint64_t, CEdit> m_edits;
};

}  // namespace

bool FixWanted(const CFix& fix, bool unsafe) { return fix.safe || unsafe; }

bool LineStaysWhole(std::size_t oldLength, std::size_t newLength) {
  return newLength == oldLength || newLength <= kLongestWholeLine;
}

CFixRound ApplyFixes(std::string_view bytes, const std::vector<const CFinding*>& findings,
                     bool unsafe) {
  std::vector<const CFinding*> fixes;
  for (const CFinding* finding : findings) {
    if (finding->fix && FixWanted(*finding->fix, unsafe) && WellFormed(*finding->fix, bytes.size()))
      fixes.push_back(finding);
  }
  std::stable_sort(fixes.begin(), fixes.end(), [](const CFinding* a, const CFinding* b) {
    return a->fix->edits.front().begin < b->fix->edits.front().begin;
  });

  CFixRound round;
  CTakenEdits taken;
  for (const CFinding* finding : fixes) {
    const CFix* fix = &*finding->fix;
    bool collides = false;
    bool allSame = true;
    for (const CEdit& edit : fix->edits) {
      bool same = false;
      if (taken.Collides(edit, same)) {
        collides = true;
        allSame = allSame && same;
      } else {
        allSame = false;
      }
    }
    if (!collides) {
      for (const CEdit& edit : fix->edits) taken.Take(edit);
      round.taken.push_back(finding);
      ++round.fixed;
    } else if (allSame) {
      ++round.fixed;
    } else {
      ++round.deferred;
    }
  }

  std::uint64_t copied = 0;
  for (const auto& [begin, edit] : taken.Edits()) {
    round.text.append(bytes.substr(copied, begin - copied));
    round.text.append(edit.text);
    copied = edit.end;
    round.edits.push_back(edit);
  }
  round.text.append(bytes.substr(copied));
  return round;
}

namespace {

// How many findings of each rule a check reports.
std::map<FindingKind, int> CountByRule(const CCheckResult& result) {
  std::map<FindingKind, int> counts;
  for (const CFinding* finding : result.reported) ++counts[finding->kind];
  return counts;
}

// Whether a check after fixes reports no rule more often than the check
// before them: a fix must never raise a finding.
bool RaisesNothing(const std::map<FindingKind, int>& before, const CCheckResult& after) {
  for (const auto& [kind, count] : CountByRule(after)) {
    const auto it = before.find(kind);
    if (count > (it == before.end() ? 0 : it->second)) return false;
  }
  return true;
}

// What a fix is known by from one round to the next, to leave out one that
// raised a finding: its rule and the line it stands in.
std::string FixKey(const CFinding& finding) {
  std::string key(finding.Rule().id);
  key += '\n';
  key += finding.place.lineText;
  key += '\n';
  key += finding.fix ? finding.fix->title : std::string();
  return key;
}

// The suppressions that silence nothing before any fix, as FixKey knows
// them.
std::multiset<std::string> IdleSuppressions(const CCheckResult& check) {
  std::multiset<std::string> idle;
  for (const CFinding* finding : check.reported)
    if (finding->kind == FindingKind::unusedSuppression) idle.insert(FixKey(*finding));
  return idle;
}

// The findings whose fix a round may apply: wanted, not left out, and of
// VLT0001 only those that silenced nothing before any fix. A suppression
// that silences nothing only once this run's fixes are in stays: the
// author put it there.
std::vector<const CFinding*> Fixable(const CCheckResult& check, bool unsafe,
                                     const std::multiset<std::string>& idle,
                                     const std::set<std::string>& leftOut) {
  std::vector<const CFinding*> fixable;
  for (const CFinding* finding : check.reported) {
    if (!finding->fix || !FixWanted(*finding->fix, unsafe)) continue;
    if (finding->kind == FindingKind::unusedSuppression && !idle.count(FixKey(*finding))) continue;
    if (!leftOut.empty() && leftOut.count(FixKey(*finding))) continue;
    fixable.push_back(finding);
  }
  return fixable;
}

// At most this many checks try the fixes of a round that raised a finding
// in groups, to find those that did.
constexpr std::size_t kMostGroupsTried = 16;

}  // namespace

CFixOutcome FixBytes(std::string_view bytes, const CheckBytesFn& check, bool unsafe,
                     int maxRounds) {
  CFixOutcome outcome;
  outcome.text = std::string(bytes);
  outcome.remaining = check(outcome.text);
  const std::map<FindingKind, int> first = CountByRule(outcome.remaining);
  const std::multiset<std::string> idle = IdleSuppressions(outcome.remaining);
  std::set<std::string> leftOut;
  const auto done = [&](bool converged) {
    // The findings that are gone, rule by rule; no rule has more than
    // before, as rounds that raised one were taken back.
    const std::map<FindingKind, int> last = CountByRule(outcome.remaining);
    outcome.fixed = 0;
    for (const auto& [kind, count] : first) {
      const auto it = last.find(kind);
      outcome.fixed += std::max(0, count - (it == last.end() ? 0 : it->second));
    }
    outcome.converged = converged;
    return std::move(outcome);
  };
  for (int round = 0;; ++round) {
    std::vector<const CFinding*> fixable = Fixable(outcome.remaining, unsafe, idle, leftOut);
    if (fixable.empty()) return done(true);
    if (round == maxRounds) break;
    const std::map<FindingKind, int> before = CountByRule(outcome.remaining);
    CFixRound applied = ApplyFixes(outcome.text, fixable, unsafe);
    // Fixes that change nothing, or only fixes that cannot be applied:
    // another round would do the same.
    if (applied.edits.empty() || applied.text == outcome.text) break;
    CCheckResult after = check(applied.text);
    if (!RaisesNothing(before, after)) {
      // Some fix of the round raised a finding: the fixes are tried again
      // in groups, each alone, and those of a group that raises one are
      // left out from now on.
      const std::size_t size = (applied.taken.size() + kMostGroupsTried - 1) / kMostGroupsTried;
      std::vector<const CFinding*> kept;
      for (std::size_t from = 0; from < applied.taken.size(); from += size) {
        const std::vector<const CFinding*> group(
            applied.taken.begin() + static_cast<std::ptrdiff_t>(from),
            applied.taken.begin() +
                static_cast<std::ptrdiff_t>(std::min(from + size, applied.taken.size())));
        if (RaisesNothing(before, check(ApplyFixes(outcome.text, group, unsafe).text))) {
          kept.insert(kept.end(), group.begin(), group.end());
        } else {
          for (const CFinding* finding : group) leftOut.insert(FixKey(*finding));
        }
      }
      if (kept.empty()) continue;
      applied = ApplyFixes(outcome.text, kept, unsafe);
      after = check(applied.text);
      if (!RaisesNothing(before, after)) {
        for (const CFinding* finding : kept) leftOut.insert(FixKey(*finding));
        continue;
      }
    }
    outcome.text = std::move(applied.text);
    outcome.remaining = std::move(after);
  }
  return done(false);
}
