#include "checker/fix/fix_apply.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
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
bool Collide(const CEditView& a, const CEditView& b) {
  const bool insertA = a.begin == a.end;
  const bool insertB = b.begin == b.end;
  if (insertA && insertB) return a.begin == b.begin && a.text == b.text;
  if (insertA || insertB) return a.begin <= b.end && b.begin <= a.end;
  return a.begin < b.end && b.begin < a.end;
}

bool SameEdit(const CEditView& a, const CEditView& b) {
  return a.begin == b.begin && a.end == b.end && a.text == b.text;
}

// A fix as the rounds read it: whether it is safe, and its edits, whose
// texts live in the check or the fixes held.
struct CFixRef {
  bool safe = true;
  const CEditView* edits = nullptr;
  std::size_t count = 0;  // 0: no fix

  const CEditView* begin() const { return edits; }
  const CEditView* end() const { return edits + count; }
};

// In file order, without overlaps, inside the bytes.
bool WellFormed(const CFixRef& fix, std::size_t size) {
  if (fix.count == 0) return false;
  for (std::size_t i = 0; i < fix.count; ++i) {
    const CEditView& edit = fix.edits[i];
    if (edit.begin > edit.end || edit.end > size) return false;
    if (i > 0 && (Collide(fix.edits[i - 1], edit) || fix.edits[i - 1].begin > edit.begin))
      return false;
  }
  return true;
}

// The edits taken so far in this round, by where they begin. They never
// collide, so their ends grow with their beginnings. They are taken in
// the order of their fixes' first edits, so nearly always at the end: a
// sorted array holds them in a few bytes each.
class CTakenEdits {
 public:
  // Whether `edit` collides with a taken edit; `same` tells whether that
  // edit is `edit` itself.
  bool Collides(const CEditView& edit, bool& same) const {
    same = false;
    auto it = UpperBound(edit.end);
    while (it != m_edits.begin()) {
      --it;
      const CEditView& taken = **it;
      if (taken.end < edit.begin) break;
      if (Collide(taken, edit)) {
        same = SameEdit(taken, edit);
        return true;
      }
    }
    return false;
  }
  // After those that begin where it begins, as they came. `edit` must
  // outlive this.
  void Take(const CEditView& edit) { m_edits.insert(UpperBound(edit.begin), &edit); }
  void Reserve(std::size_t count) { m_edits.reserve(count); }
  const std::vector<const CEditView*>& Edits() const { return m_edits; }

 private:
  std::vector<const CEditView*>::const_iterator UpperBound(std::uint64_t at) const {
    if (m_edits.empty() || m_edits.back()->begin <= at) return m_edits.end();
    return std::upper_bound(m_edits.begin(), m_edits.end(), at,
                            [](std::uint64_t value, const CEditView* edit) { return value < edit->begin; });
  }

  std::vector<const CEditView*> m_edits;
};

// One round's choice among fixes: the edits taken, and which fixes went in
// whole (their indices in the list chosen from, in the order taken).
struct CChoice {
  CTakenEdits taken;
  std::vector<std::uint32_t> whole;
  int fixed = 0;
  int deferred = 0;
};

// Chooses among `count` fixes, the fix at `i` being fixAt(i) (empty for a
// finding without one), those that one round over `size` bytes can apply.
// Fixes are taken in the order of their first edit.
template <class FixAt>
CChoice ChooseFixes(std::size_t size, std::size_t count, const FixAt& fixAt, bool unsafe) {
  std::vector<std::uint32_t> order;
  std::size_t edits = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const CFixRef fix = fixAt(i);
    if ((fix.safe || unsafe) && WellFormed(fix, size)) {
      order.push_back(static_cast<std::uint32_t>(i));
      edits += fix.count;
    }
  }
  std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
    return fixAt(a).edits[0].begin < fixAt(b).edits[0].begin;
  });

  CChoice choice;
  choice.taken.Reserve(edits);
  for (const std::uint32_t i : order) {
    const CFixRef fix = fixAt(i);
    bool collides = false;
    bool allSame = true;
    for (const CEditView& edit : fix) {
      bool same = false;
      if (choice.taken.Collides(edit, same)) {
        collides = true;
        allSame = allSame && same;
      } else {
        allSame = false;
      }
    }
    if (!collides) {
      for (const CEditView& edit : fix) choice.taken.Take(edit);
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

CChoice ChooseFixes(std::size_t size, const std::vector<CFixRef>& fixes, bool unsafe) {
  return ChooseFixes(size, fixes.size(), [&fixes](std::size_t i) { return fixes[i]; }, unsafe);
}

// Applies `count` replacements, spliceAt(i) being one (a CEditView),
// in order and apart, to `text` where it stands. All bytes first move
// right by the most any prefix of the replacements grows the text, so that
// the bytes written, from left to right, never overtake those still to
// read: the text needs no second copy, only that much room.
template <class SpliceAt>
void SpliceInPlace(std::string& text, std::size_t count, const SpliceAt& spliceAt) {
  std::int64_t growth = 0;
  std::int64_t most = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const CEditView& splice = spliceAt(i);
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
  for (std::size_t i = 0; i < count; ++i) {
    const CEditView& splice = spliceAt(i);
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
  // The text before the edits was the bytes as given, which then put it
  // back: no record of what the edits replaced is needed.
  bool fromBytes = false;
};

// Applies the taken edits to `text` where it stands, and tells how to take
// them back.
CUndo ApplyInPlace(std::string& text, const CTakenEdits& taken, bool fromBytes) {
  CUndo undo;
  const std::vector<const CEditView*>& edits = taken.Edits();
  const auto splice = [&edits](std::size_t i) -> const CEditView& { return *edits[i]; };
  if (fromBytes) {
    undo.fromBytes = true;
    SpliceInPlace(text, edits.size(), splice);
    return undo;
  }
  undo.places.reserve(edits.size());
  std::size_t replaced = 0;
  for (const CEditView* edit : edits) replaced += static_cast<std::size_t>(edit->end - edit->begin);
  undo.replaced.reserve(replaced);
  std::int64_t growth = 0;
  for (const CEditView* edit : edits) {
    const std::uint64_t length = edit->end - edit->begin;
    undo.replaced.append(text, edit->begin, length);
    const auto at = static_cast<std::uint64_t>(static_cast<std::int64_t>(edit->begin) + growth);
    undo.places.push_back({at, at + edit->text.size(), static_cast<std::size_t>(length)});
    growth += static_cast<std::int64_t>(edit->text.size()) - static_cast<std::int64_t>(length);
  }
  SpliceInPlace(text, edits.size(), splice);
  return undo;
}

// Puts back what ApplyInPlace replaced: `text` is again as it was before,
// `bytes` when the edits were made on those.
void TakeBack(std::string& text, const CUndo& undo, std::string_view bytes) {
  if (undo.fromBytes) {
    text.assign(bytes);
    return;
  }
  std::vector<CEditView> splices;
  splices.reserve(undo.places.size());
  std::size_t from = 0;
  for (const CUndo::CPlace& place : undo.places) {
    splices.push_back({place.begin, place.end,
                       std::string_view(undo.replaced).substr(from, place.length)});
    from += place.length;
  }
  SpliceInPlace(text, splices.size(), [&splices](std::size_t i) -> const CEditView& { return splices[i]; });
}

// Whether the taken edits change `bytes` at all, without making the
// changed bytes: the edits may replace bytes by the same ones.
bool Changes(std::string_view bytes, const CTakenEdits& taken) {
  std::int64_t total = 0;
  for (const CEditView* edit : taken.Edits())
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
  for (const CEditView* edit : taken.Edits()) {
    const std::string_view kept = bytes.substr(copied, edit->begin - copied);
    if (growth != 0 && differs(static_cast<std::uint64_t>(static_cast<std::int64_t>(copied) + growth), kept))
      return true;
    if (differs(static_cast<std::uint64_t>(static_cast<std::int64_t>(edit->begin) + growth), edit->text))
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
  std::vector<CEditView> views;
  for (const CFinding* finding : findings)
    if (finding->fix)
      for (const CEdit& edit : finding->fix->edits) views.push_back({edit.begin, edit.end, edit.text});
  std::vector<CFixRef> fixes;
  fixes.reserve(findings.size());
  std::size_t next = 0;
  for (const CFinding* finding : findings) {
    if (!finding->fix) {
      fixes.emplace_back();
      continue;
    }
    const std::size_t count = finding->fix->edits.size();
    fixes.push_back({finding->fix->safe, views.data() + next, count});
    next += count;
  }
  const CChoice choice = ChooseFixes(bytes.size(), fixes, unsafe);
  CFixRound round;
  round.fixed = choice.fixed;
  round.deferred = choice.deferred;
  for (const std::size_t i : choice.whole) round.taken.push_back(findings[i]);
  std::uint64_t copied = 0;
  for (const CEditView* edit : choice.taken.Edits()) {
    round.text.append(bytes.substr(copied, edit->begin - copied));
    round.text.append(edit->text);
    copied = edit->end;
    round.edits.push_back({edit->begin, edit->end, std::string(edit->text)});
  }
  round.text.append(bytes.substr(copied));
  return round;
}

namespace {

using CEntry = CFixFindings::CEntry;
using CCounts = std::array<int, kFindingKindCount>;

// What the rounds read of the check at hand: the findings it made for
// fixing, or, of a check made otherwise, the same made from its reported
// findings (which it must outlive).
class CFixView {
 public:
  explicit CFixView(const CCheckResult& check) {
    if (check.fixFindings) {
      m_findings = check.fixFindings.get();
    } else {
      m_own.Merge(check.reported);
      m_findings = &m_own;
    }
  }
  CFixView(const CFixView&) = delete;
  CFixView& operator=(const CFixView&) = delete;

  const CFixFindings& operator*() const { return *m_findings; }
  const CFixFindings* operator->() const { return m_findings; }

 private:
  CFixFindings m_own;
  const CFixFindings* m_findings;
};

// How many findings of each rule a check reports.
CCounts CountByRule(const CFixFindings& findings) {
  CCounts counts{};
  for (std::size_t i = 0; i < kFindingKindCount; ++i) counts[i] = findings.Count(static_cast<FindingKind>(i));
  return counts;
}

// Whether a check after fixes reports no rule more often than the check
// before them: a fix must never raise a finding.
bool RaisesNothing(const CCounts& before, const CFixFindings& after) {
  for (std::size_t i = 0; i < kFindingKindCount; ++i)
    if (after.Count(static_cast<FindingKind>(i)) > before[i]) return false;
  return true;
}

// What a fix is known by from one round to the next, to leave out one that
// raised a finding: its rule and the line it stands in.
std::string FixKey(const CEntry& entry) {
  std::string key(RuleOf(entry.kind).id);
  key += '\n';
  key += entry.lineText;
  key += '\n';
  if (entry.title) key += *entry.title;
  return key;
}

CFixRef FixOf(const CEntry& entry) {
  if (!entry.HasFix()) return {};
  return {entry.safe != 0, entry.edits, entry.editCount};
}

// The suppressions that silence nothing before any fix, as FixKey knows
// them.
std::multiset<std::string> IdleSuppressions(const CFixFindings& check) {
  std::multiset<std::string> idle;
  for (std::size_t i = 0; i < check.Size(); ++i)
    if (check[i].kind == FindingKind::unusedSuppression) idle.insert(FixKey(check[i]));
  return idle;
}

// The findings whose fix a round may apply: wanted, not left out, and of
// VLT0001 only those that silenced nothing before any fix. A suppression
// that silences nothing only once this run's fixes are in stays: the
// author put it there.
std::vector<const CEntry*> Fixable(const CFixFindings& check, bool unsafe,
                                   const std::multiset<std::string>& idle,
                                   const std::set<std::string>& leftOut) {
  std::vector<const CEntry*> fixable;
  fixable.reserve(check.Size());
  for (std::size_t i = 0; i < check.Size(); ++i) {
    const CEntry& entry = check[i];
    if (!entry.HasFix() || !(entry.safe != 0 || unsafe)) continue;
    if (entry.kind == FindingKind::unusedSuppression && !idle.count(FixKey(entry))) continue;
    if (!leftOut.empty() && leftOut.count(FixKey(entry))) continue;
    fixable.push_back(&entry);
  }
  return fixable;
}

// At most this many checks try the fixes of a round that raised a finding
// in groups, to find those that did.
constexpr std::size_t kMostGroupsTried = 16;

// The most any prefix of the taken edits grows the text by: the room an
// edit in place needs.
std::size_t MostGrowth(const CTakenEdits& taken) {
  std::int64_t growth = 0;
  std::int64_t most = 0;
  for (const CEditView* edit : taken.Edits()) {
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
// by, for the checks after that one is gone. Its edits' texts are kept
// with all the fixes held.
struct CHeldFix {
  std::string key;
  bool safe = true;
  std::vector<CEditView> edits;
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
  std::optional<CFixView> view(std::in_place, first);  // what the rounds read of it
  const CCounts counted = CountByRule(**view);
  const std::multiset<std::string> idle = IdleSuppressions(**view);
  std::set<std::string> leftOut;
  // Whether the text before the edits at hand is the bytes as given, until
  // a round's edits stay: taking them back is then a copy of the bytes,
  // and the first round, the one with the most fixes, keeps no record of
  // what they replaced.
  bool asGiven = true;
  const auto text = [&] {
    return outcome.changed ? std::string_view(outcome.text) : bytes;
  };
  // The findings' views point into the text as it was: the check goes
  // before the text is checked again.
  const auto release = [&] {
    view.reset();
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
    view.emplace(*current);
  };
  const auto applyInPlace = [&](const std::vector<CFixRef>& fixes) {
    const CChoice choice = ChooseFixes(text().size(), fixes, unsafe);
    return ApplyInPlace(outcome.text, choice.taken, asGiven);
  };
  // Checks the text with the edits of `undo` made: they stay when no rule
  // has more findings than `before`; otherwise they are taken back, and the
  // check of the text they changed is let go.
  const auto stays = [&](CUndo& undo, const CCounts& before) {
    recheck();
    if (RaisesNothing(before, **view)) {
      asGiven = false;
      return true;
    }
    release();
    TakeBack(outcome.text, undo, bytes);
    undo = CUndo();
    return false;
  };
  const auto done = [&](bool converged) {
    // The findings that are gone, rule by rule; no rule has more than
    // before, as rounds that raised one were taken back.
    outcome.fixed = 0;
    for (std::size_t i = 0; i < kFindingKindCount; ++i)
      outcome.fixed += std::max(0, counted[i] - (*view)->Count(static_cast<FindingKind>(i)));
    outcome.converged = converged;
    view.reset();
    return std::move(outcome);
  };
  for (int round = 0;; ++round) {
    std::vector<const CEntry*> fixable = Fixable(**view, unsafe, idle, leftOut);
    if (fixable.empty()) return done(true);
    if (round == maxRounds) break;
    const CCounts before = CountByRule(**view);
    CUndo undo;
    {
      CChoice choice = ChooseFixes(
          text().size(), fixable.size(), [&fixable](std::size_t i) { return FixOf(*fixable[i]); }, unsafe);
      // The taken edits are all this round reads from here on.
      std::vector<const CEntry*>().swap(fixable);
      std::vector<std::uint32_t>().swap(choice.whole);
      // Fixes that change nothing, or only fixes that cannot be applied:
      // another round would do the same.
      if (choice.taken.Edits().empty() || !Changes(text(), choice.taken)) break;
      if (!outcome.changed) {
        outcome.text.reserve(bytes.size() + MostGrowth(choice.taken) + kSpareRoom);
        outcome.text.assign(bytes);
        outcome.changed = true;
      }
      undo = ApplyInPlace(outcome.text, choice.taken, asGiven);
    }
    release();
    if (stays(undo, before)) continue;

    // Some fix of the round raised a finding: the round is taken back, and
    // its fixes are tried again in groups, each alone, and those of a
    // group that raises one are left out from now on.
    recheck();
    std::vector<CHeldFix> taken;
    CTextArena heldTexts;
    {
      const std::vector<const CEntry*> again = Fixable(**view, unsafe, idle, leftOut);
      const CChoice choice = ChooseFixes(
          text().size(), again.size(), [&again](std::size_t i) { return FixOf(*again[i]); }, unsafe);
      taken.reserve(choice.whole.size());
      for (const std::size_t i : choice.whole) {
        CHeldFix& held = taken.emplace_back();
        held.key = FixKey(*again[i]);
        held.safe = again[i]->safe != 0;
        for (const CEditView& edit : FixOf(*again[i]))
          held.edits.push_back({edit.begin, edit.end, heldTexts.Keep(edit.text)});
      }
    }
    release();
    const auto fixOf = [](const CHeldFix& held) {
      return CFixRef{held.safe, held.edits.data(), held.edits.size()};
    };
    const std::size_t size = (taken.size() + kMostGroupsTried - 1) / kMostGroupsTried;
    std::vector<const CHeldFix*> kept;
    for (std::size_t from = 0; from < taken.size(); from += size) {
      const std::size_t to = std::min(from + size, taken.size());
      std::vector<CFixRef> group;
      for (std::size_t i = from; i < to; ++i) group.push_back(fixOf(taken[i]));
      const CUndo tried = applyInPlace(group);
      recheck();
      const bool raises = !RaisesNothing(before, **view);
      release();
      TakeBack(outcome.text, tried, bytes);
      for (std::size_t i = from; i < to; ++i) {
        if (raises) {
          leftOut.insert(taken[i].key);
        } else {
          kept.push_back(&taken[i]);
        }
      }
    }
    if (!kept.empty()) {
      std::vector<CFixRef> fixes;
      for (const CHeldFix* held : kept) fixes.push_back(fixOf(*held));
      undo = applyInPlace(fixes);
      if (stays(undo, before)) continue;
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
