#include "checker/fix/fix_apply.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
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
// collide, so their ends grow with their beginnings. Only their addresses
// are held: the edits stay in the fixes they belong to.
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
  void Take(const CEdit& edit) { m_edits.emplace(edit.begin, &edit); }
  const std::multimap<std::uint64_t, const CEdit*>& Edits() const { return m_edits; }

 private:
  std::multimap<std::uint64_t, const CEdit*> m_edits;
};

// One round's choice among fixes: the edits taken, and which fixes went in
// whole (their indices in the list chosen from, in the order taken).
struct CChoice {
  CTakenEdits taken;
  std::vector<std::size_t> whole;
  int fixed = 0;
  int deferred = 0;
};

// Chooses among `fixes` (null for a finding without one) those that one
// round over `size` bytes can apply. Fixes are taken in the order of their
// first edit.
CChoice ChooseFixes(std::size_t size, const std::vector<const CFix*>& fixes, bool unsafe) {
  std::vector<std::size_t> order;
  for (std::size_t i = 0; i < fixes.size(); ++i) {
    if (fixes[i] && FixWanted(*fixes[i], unsafe) && WellFormed(*fixes[i], size)) order.push_back(i);
  }
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return fixes[a]->edits.front().begin < fixes[b]->edits.front().begin;
  });

  CChoice choice;
  for (const std::size_t i : order) {
    const CFix& fix = *fixes[i];
    bool collides = false;
    bool allSame = true;
    for (const CEdit& edit : fix.edits) {
      bool same = false;
      if (choice.taken.Collides(edit, same)) {
        collides = true;
        allSame = allSame && same;
      } else {
        allSame = false;
      }
    }
    if (!collides) {
      for (const CEdit& edit : fix.edits) choice.taken.Take(edit);
      choice.whole.push_back(i);
      ++choice.fixed;
    } else if (allSame) {
      ++choice.fixed;
    } else {
      ++choice.deferred;
    }
  }
  return choice;
}

std::vector<const CFix*> FixesOf(const std::vector<const CFinding*>& findings) {
  std::vector<const CFix*> fixes;
  fixes.reserve(findings.size());
  for (const CFinding* finding : findings) fixes.push_back(finding->fix ? &*finding->fix : nullptr);
  return fixes;
}

// A replacement of the bytes [begin, end) by `text`, which lives elsewhere.
struct CSplice {
  std::uint64_t begin = 0;
  std::uint64_t end = 0;
  std::string_view text;
};

// Applies `splices`, in order and apart, to `text` where it stands. All
// bytes first move right by the most any prefix of the splices grows the
// text, so that the bytes written, from left to right, never overtake those
// still to read: the text needs no second copy, only that much room.
void SpliceInPlace(std::string& text, const std::vector<CSplice>& splices) {
  std::int64_t growth = 0;
  std::int64_t most = 0;
  for (const CSplice& splice : splices) {
    growth += static_cast<std::int64_t>(splice.text.size()) -
              static_cast<std::int64_t>(splice.end - splice.begin);
    most = std::max(most, growth);
  }
  const std::size_t size = text.size();
  const auto shift = static_cast<std::size_t>(most);
  if (shift > 0) {
    text.resize(size + shift);
    std::memmove(text.data() + shift, text.data(), size);
  }
  std::size_t write = 0;
  std::uint64_t copied = 0;
  for (const CSplice& splice : splices) {
    std::memmove(text.data() + write, text.data() + shift + copied, splice.begin - copied);
    write += splice.begin - copied;
    if (!splice.text.empty()) std::memcpy(text.data() + write, splice.text.data(), splice.text.size());
    write += splice.text.size();
    copied = splice.end;
  }
  std::memmove(text.data() + write, text.data() + shift + copied, size - copied);
  text.resize(write + (size - copied));
}

// What an edit in place replaced, to put it back exactly: where each
// edit's text now stands, and the bytes it replaced, one after another in
// `replaced`.
struct CUndo {
  struct CPlace {
    std::uint64_t begin = 0;
    std::uint64_t end = 0;
    std::size_t length = 0;  // of what it replaced
  };
  std::string replaced;
  std::vector<CPlace> places;
};

// Applies the taken edits to `text` where it stands, and tells how to take
// them back.
CUndo ApplyInPlace(std::string& text, const CTakenEdits& taken) {
  CUndo undo;
  std::vector<CSplice> splices;
  splices.reserve(taken.Edits().size());
  undo.places.reserve(taken.Edits().size());
  std::int64_t growth = 0;
  for (const auto& [begin, edit] : taken.Edits()) {
    const std::uint64_t length = edit->end - edit->begin;
    undo.replaced.append(text, edit->begin, length);
    const auto at = static_cast<std::uint64_t>(static_cast<std::int64_t>(edit->begin) + growth);
    undo.places.push_back({at, at + edit->text.size(), static_cast<std::size_t>(length)});
    splices.push_back({edit->begin, edit->end, edit->text});
    growth += static_cast<std::int64_t>(edit->text.size()) - static_cast<std::int64_t>(length);
  }
  SpliceInPlace(text, splices);
  return undo;
}

// Puts back what ApplyInPlace replaced: `text` is again as it was before.
void TakeBack(std::string& text, const CUndo& undo) {
  std::vector<CSplice> splices;
  splices.reserve(undo.places.size());
  std::size_t from = 0;
  for (const CUndo::CPlace& place : undo.places) {
    splices.push_back({place.begin, place.end,
                       std::string_view(undo.replaced).substr(from, place.length)});
    from += place.length;
  }
  SpliceInPlace(text, splices);
}

// Whether the taken edits change `bytes` at all, without making the
// changed bytes: the edits may replace bytes by the same ones.
bool Changes(std::string_view bytes, const CTakenEdits& taken) {
  std::int64_t total = 0;
  for (const auto& [begin, edit] : taken.Edits())
    total += static_cast<std::int64_t>(edit->text.size()) -
             static_cast<std::int64_t>(edit->end - edit->begin);
  if (total != 0) return true;
  // As long as the old: each piece of the new bytes is compared with the
  // old bytes where it would stand.
  std::int64_t growth = 0;
  std::uint64_t copied = 0;
  const auto differs = [&](std::uint64_t at, std::string_view piece) {
    return bytes.substr(static_cast<std::size_t>(at), piece.size()) != piece;
  };
  for (const auto& [begin, edit] : taken.Edits()) {
    const std::string_view kept = bytes.substr(copied, begin - copied);
    if (growth != 0 && differs(static_cast<std::uint64_t>(static_cast<std::int64_t>(copied) + growth), kept))
      return true;
    if (differs(static_cast<std::uint64_t>(static_cast<std::int64_t>(begin) + growth), edit->text))
      return true;
    growth += static_cast<std::int64_t>(edit->text.size()) -
              static_cast<std::int64_t>(edit->end - edit->begin);
    copied = edit->end;
  }
  return false;
}

}  // namespace

bool FixWanted(const CFix& fix, bool unsafe) { return fix.safe || unsafe; }

bool LineStaysWhole(std::size_t oldLength, std::size_t newLength) {
  return newLength == oldLength || newLength <= kLongestWholeLine;
}

CFixRound ApplyFixes(std::string_view bytes, const std::vector<const CFinding*>& findings,
                     bool unsafe) {
  const CChoice choice = ChooseFixes(bytes.size(), FixesOf(findings), unsafe);
  CFixRound round;
  round.fixed = choice.fixed;
  round.deferred = choice.deferred;
  for (const std::size_t i : choice.whole) round.taken.push_back(findings[i]);
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

namespace {

// The most any prefix of the taken edits grows the text by: the room an
// edit in place needs.
std::size_t MostGrowth(const CTakenEdits& taken) {
  std::int64_t growth = 0;
  std::int64_t most = 0;
  for (const auto& [begin, edit] : taken.Edits()) {
    growth += static_cast<std::int64_t>(edit->text.size()) -
              static_cast<std::int64_t>(edit->end - edit->begin);
    most = std::max(most, growth);
  }
  return static_cast<std::size_t>(most);
}

// Room for the first round's growth and some more, so that later rounds
// seldom need the string to move (and double) to grow. It also keeps even
// a short text on the heap, where a move of the outcome leaves it: the
// last check's views into it stay good.
constexpr std::size_t kSpareRoom = std::size_t{1} << 20;

// A fix copied out of the check that reported it, with what it is known
// by, for the checks after that one is gone.
struct CHeldFix {
  std::string key;
  CFix fix;
};

}  // namespace

CFixOutcome FixBytes(std::string_view bytes, const CCheckResult& first,
                     const std::function<void()>& releaseFirst, const CheckBytesFn& check,
                     bool unsafe, int maxRounds) {
  // One copy of the bytes, made when a round first changes them and edited
  // where it stands from then on, and one check at a time: a large file,
  // or one with very many fixes, costs its size once more and no more. A
  // round taken back is spliced back from what its edits replaced, and
  // what the rounds need of a check that is gone is made again from the
  // same bytes, which give the same findings.
  CFixOutcome outcome;
  const CCheckResult* current = &first;  // the check of the text as it stands
  const std::map<FindingKind, int> counted = CountByRule(first);
  const std::multiset<std::string> idle = IdleSuppressions(first);
  std::set<std::string> leftOut;
  const auto text = [&] {
    return outcome.changed ? std::string_view(outcome.text) : bytes;
  };
  // The findings' views point into the text as it was: the check goes
  // before the text is checked again.
  const auto release = [&] {
    if (current == &first) {
      if (releaseFirst) releaseFirst();
    } else {
      outcome.remaining = CCheckResult();
    }
    current = nullptr;
  };
  const auto recheck = [&] {
    outcome.remaining = check(text());
    current = &outcome.remaining;
  };
  const auto applyInPlace = [&](const std::vector<const CFix*>& fixes) {
    const CChoice choice = ChooseFixes(text().size(), fixes, unsafe);
    return ApplyInPlace(outcome.text, choice.taken);
  };
  const auto done = [&](bool converged) {
    // The findings that are gone, rule by rule; no rule has more than
    // before, as rounds that raised one were taken back.
    const std::map<FindingKind, int> last = CountByRule(*current);
    outcome.fixed = 0;
    for (const auto& [kind, count] : counted) {
      const auto it = last.find(kind);
      outcome.fixed += std::max(0, count - (it == last.end() ? 0 : it->second));
    }
    outcome.converged = converged;
    return std::move(outcome);
  };
  for (int round = 0;; ++round) {
    std::vector<const CFinding*> fixable = Fixable(*current, unsafe, idle, leftOut);
    if (fixable.empty()) return done(true);
    if (round == maxRounds) break;
    const std::map<FindingKind, int> before = CountByRule(*current);
    CUndo undo;
    {
      const CChoice choice = ChooseFixes(text().size(), FixesOf(fixable), unsafe);
      // Fixes that change nothing, or only fixes that cannot be applied:
      // another round would do the same.
      if (choice.taken.Edits().empty() || !Changes(text(), choice.taken)) break;
      if (!outcome.changed) {
        outcome.text.reserve(bytes.size() + MostGrowth(choice.taken) + kSpareRoom);
        outcome.text.assign(bytes);
        outcome.changed = true;
      }
      undo = ApplyInPlace(outcome.text, choice.taken);
    }
    fixable.clear();
    release();
    recheck();
    if (RaisesNothing(before, *current)) continue;

    // Some fix of the round raised a finding: the round is taken back, and
    // its fixes are tried again in groups, each alone, and those of a
    // group that raises one are left out from now on.
    release();
    TakeBack(outcome.text, undo);
    undo = CUndo();
    recheck();
    std::vector<CHeldFix> taken;
    {
      const std::vector<const CFinding*> again = Fixable(*current, unsafe, idle, leftOut);
      const CChoice choice = ChooseFixes(text().size(), FixesOf(again), unsafe);
      taken.reserve(choice.whole.size());
      for (const std::size_t i : choice.whole) taken.push_back({FixKey(*again[i]), *again[i]->fix});
    }
    release();
    const std::size_t size = (taken.size() + kMostGroupsTried - 1) / kMostGroupsTried;
    std::vector<const CHeldFix*> kept;
    for (std::size_t from = 0; from < taken.size(); from += size) {
      const std::size_t to = std::min(from + size, taken.size());
      std::vector<const CFix*> group;
      for (std::size_t i = from; i < to; ++i) group.push_back(&taken[i].fix);
      const CUndo tried = applyInPlace(group);
      recheck();
      const bool raises = !RaisesNothing(before, *current);
      release();
      TakeBack(outcome.text, tried);
      for (std::size_t i = from; i < to; ++i) {
        if (raises) {
          leftOut.insert(taken[i].key);
        } else {
          kept.push_back(&taken[i]);
        }
      }
    }
    if (!kept.empty()) {
      std::vector<const CFix*> fixes;
      for (const CHeldFix* held : kept) fixes.push_back(&held->fix);
      undo = applyInPlace(fixes);
      recheck();
      if (RaisesNothing(before, *current)) continue;
      release();
      TakeBack(outcome.text, undo);
      undo = CUndo();
      for (const CHeldFix* held : kept) leftOut.insert(held->key);
    }
    // The next round reads the findings of the text as it was again.
    recheck();
  }
  return done(false);
}

CFixOutcome FixBytes(std::string_view bytes, const CheckBytesFn& check, bool unsafe,
                     int maxRounds) {
  CCheckResult first = check(bytes);
  CFixOutcome outcome = FixBytes(
      bytes, first, [&first] { first = CCheckResult(); }, check, unsafe, maxRounds);
  if (!outcome.changed) {
    // No round changed the bytes: the first check is the last.
    outcome.text.assign(bytes);
    outcome.remaining = std::move(first);
  }
  return outcome;
}
