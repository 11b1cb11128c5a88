#include "checker/fix_apply.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <utility>

#include "checker/scanner.h"

namespace {

// An edit's edges, and whether two edits come too close to apply both in
// one pass. An insertion that touches another edit is ambiguous (which
// goes first?), so touching counts for it; two replacements side by side
// are fine.
bool Collide(const CEdit& a, const CEdit& b) {
  if (a.begin == a.end || b.begin == b.end) return a.begin <= b.end && b.begin <= a.end;
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
  std::vector<const CFix*> fixes;
  for (const CFinding* finding : findings) {
    if (finding->fix && FixWanted(*finding->fix, unsafe) && WellFormed(*finding->fix, bytes.size()))
      fixes.push_back(&*finding->fix);
  }
  std::stable_sort(fixes.begin(), fixes.end(), [](const CFix* a, const CFix* b) {
    return a->edits.front().begin < b->edits.front().begin;
  });

  CFixRound round;
  CTakenEdits taken;
  for (const CFix* fix : fixes) {
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

CFixOutcome FixBytes(std::string_view bytes, const CheckBytesFn& check, bool unsafe,
                     int maxRounds) {
  CFixOutcome outcome;
  outcome.text = std::string(bytes);
  outcome.remaining = check(outcome.text);
  for (int round = 0;; ++round) {
    const bool anyWanted = std::any_of(
        outcome.remaining.reported.begin(), outcome.remaining.reported.end(),
        [unsafe](const CFinding* f) { return f->fix && FixWanted(*f->fix, unsafe); });
    if (!anyWanted) return outcome;
    if (round == maxRounds) break;
    CFixRound applied = ApplyFixes(outcome.text, outcome.remaining.reported, unsafe);
    // Fixes that change nothing, or only fixes that cannot be applied:
    // another round would do the same.
    if (applied.edits.empty() || applied.text == outcome.text) break;
    outcome.fixed += applied.fixed;
    outcome.text = std::move(applied.text);
    outcome.remaining = check(outcome.text);
  }
  outcome.converged = false;
  return outcome;
}
