#include "checker/fix_apply.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
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
      const CEdit& taken = *it->second;
      if (taken.end < edit.begin) break;
      if (Collide(taken, edit)) {
        same = SameEdit(taken, edit);
        return true;
      }
    }
    return false;
  }
  // The edit stays where the findings keep it: only its address is held.
  void Take(const CEdit& edit) { m_edits.emplace(edit.begin, &edit); }
  const std::multimap<std::uint64_t, const CEdit*>& Edits() const { return m_edits; }

 private:
  std::multimap<std::uint64_t, const CEdit*> m_edits;
};

// The round's choice: the edits taken and the fixes counted.
struct CChoice {
  CTakenEdits taken;
  int fixed = 0;
  int deferred = 0;
};

// Applies the taken edits to `text` where it stands. All bytes first move
// right by the most any prefix of the edits grows the text, so that the
// bytes written, from left to right, never overtake those still to read;
// the text needs no second copy, only that much room.
// The most any prefix of the taken edits grows the text by.
std::size_t Growth(const CTakenEdits& taken) {
  std::int64_t growth = 0;
  std::int64_t most = 0;
  for (const auto& [begin, edit] : taken.Edits()) {
    growth += static_cast<std::int64_t>(edit->text.size()) -
              static_cast<std::int64_t>(edit->end - edit->begin);
    most = std::max(most, growth);
  }
  return static_cast<std::size_t>(most);
}

constexpr std::size_t kSpareRoom = std::size_t{1} << 20;

void SpliceInPlace(std::string& text, const CTakenEdits& taken) {
  const std::size_t size = text.size();
  const std::size_t shift = Growth(taken);
  if (shift > 0) {
    text.resize(size + shift);
    std::memmove(text.data() + shift, text.data(), size);
  }
  std::size_t write = 0;
  std::uint64_t copied = 0;
  for (const auto& [begin, edit] : taken.Edits()) {
    std::memmove(text.data() + write, text.data() + shift + copied, begin - copied);
    write += begin - copied;
    std::memcpy(text.data() + write, edit->text.data(), edit->text.size());
    write += edit->text.size();
    copied = edit->end;
  }
  std::memmove(text.data() + write, text.data() + shift + copied, size - copied);
  text.resize(write + (size - copied));
}

}  // namespace

bool FixWanted(const CFix& fix, bool unsafe) { return fix.safe || unsafe; }

bool LineStaysWhole(std::size_t oldLength, std::size_t newLength) {
  return newLength == oldLength || newLength <= kLongestWholeLine;
}

namespace {

// Chooses the wanted fixes of `findings` that one round over `bytes` can
// apply.
CChoice ChooseFixes(std::string_view bytes, const std::vector<const CFinding*>& findings,
                    bool unsafe) {
  std::vector<const CFix*> fixes;
  for (const CFinding* finding : findings) {
    if (finding->fix && FixWanted(*finding->fix, unsafe) && WellFormed(*finding->fix, bytes.size()))
      fixes.push_back(&*finding->fix);
  }
  std::stable_sort(fixes.begin(), fixes.end(), [](const CFix* a, const CFix* b) {
    return a->edits.front().begin < b->edits.front().begin;
  });

  CChoice round;
  CTakenEdits& taken = round.taken;
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

  return round;
}

}  // namespace

CFixRound ApplyFixes(std::string_view bytes, const std::vector<const CFinding*>& findings,
                     bool unsafe) {
  const CChoice choice = ChooseFixes(bytes, findings, unsafe);
  CFixRound round;
  round.fixed = choice.fixed;
  round.deferred = choice.deferred;
  std::uint64_t copied = 0;
  for (const auto& [begin, edit] : choice.taken.Edits()) {
    round.text.append(bytes.substr(copied, begin - copied));
    round.text.append(edit->text);
    copied = edit->end;
    round.edits.push_back(*edit);
  }
  round.text.append(bytes.substr(copied));
  return round;
}

CFixOutcome FixBytes(std::string_view bytes, const CheckBytesFn& check, bool unsafe,
                     int maxRounds) {
  // One copy of the bytes, edited where it stands round after round, and
  // one check at a time: a large file, or one with very many fixes, costs
  // its size once more and no more.
  CFixOutcome outcome;
  outcome.remaining = check(bytes);
  bool copied = false;
  for (int round = 0;; ++round) {
    const bool anyWanted = std::any_of(
        outcome.remaining.reported.begin(), outcome.remaining.reported.end(),
        [unsafe](const CFinding* f) { return f->fix && FixWanted(*f->fix, unsafe); });
    if (!anyWanted || round == maxRounds) break;
    const std::string_view current = copied ? std::string_view(outcome.text) : bytes;
    const CChoice choice = ChooseFixes(current, outcome.remaining.reported, unsafe);
    // Fixes that change nothing, or only fixes that cannot be applied:
    // another round would do the same.
    const bool changes = std::any_of(
        choice.taken.Edits().begin(), choice.taken.Edits().end(), [&](const auto& taken) {
          const CEdit& edit = *taken.second;
          return current.substr(edit.begin, edit.end - edit.begin) != edit.text;
        });
    if (!changes) break;
    if (!copied) {
      // Room for this round's growth and some more, so that later rounds
      // seldom need the string to move (and double) to grow.
      outcome.text.reserve(bytes.size() + Growth(choice.taken) + kSpareRoom);
      outcome.text.assign(bytes);
    }
    copied = true;
    SpliceInPlace(outcome.text, choice.taken);
    outcome.fixed += choice.fixed;
    // The findings' views point into the text as it was: gone before the
    // text is checked again.
    outcome.remaining = CCheckResult();
    outcome.remaining = check(outcome.text);
  }
  if (!copied) outcome.text.assign(bytes);
  outcome.converged = !std::any_of(
      outcome.remaining.reported.begin(), outcome.remaining.reported.end(),
      [unsafe](const CFinding* f) { return f->fix && FixWanted(*f->fix, unsafe); });
  return outcome;
}
