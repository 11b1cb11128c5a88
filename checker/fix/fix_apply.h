// Applying the fixes of a check to the file's bytes: every face that fixes
// (the command line's --fix and --diff, an editor's fix-all) goes through
// here, so that they all write the same bytes.
#ifndef VELTRANE_CHECKER_FIX_APPLY_H_
#define VELTRANE_CHECKER_FIX_APPLY_H_

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "checker/check.h"
#include "checker/fix.h"

// Whether a fix of `fix`'s kind is applied: safe fixes always, unsafe ones
// only when asked for.
bool FixWanted(const CFix& fix, bool unsafe);

// The outcome of one round over one check's findings.
struct CFixRound {
  std::string text;         // the bytes with the applied edits
  int fixed = 0;            // findings whose fix was applied
  int deferred = 0;         // wanted fixes left for a later round
  std::vector<CEdit> edits; // the applied edits, in file order, on the old bytes
  // The findings whose fix went in whole in this round, in the order taken.
  std::vector<const CFinding*> taken;
};

// Applies to `bytes` the wanted fixes of `findings`, which a check of these
// very bytes made (the findings it reports). Fixes are taken in the order of their first edit; a fix
// with an edit that overlaps or touches an edit already taken waits for the
// next round, whole (a fix whose edits were all taken already, as when two
// findings share one fix, counts as applied). A fix whose edits are out of
// order, overlap each other or reach past the bytes is never applied. Every
// byte outside the applied edits stays as it was.
CFixRound ApplyFixes(std::string_view bytes, const std::vector<const CFinding*>& findings,
                     bool unsafe);

// Checks the bytes it is given with rules: the findings the result reports
// carry their fixes. A check made for fixing (CCheckOptions::forFixing)
// serves as well and costs far less on a file with very many findings.
using CheckBytesFn = std::function<CCheckResult(std::string_view bytes)>;

struct CFixOutcome {
  std::string text;          // the fixed bytes
  int fixed = 0;             // findings gone, rule by rule, over all rounds
  bool converged = true;     // a check of `text` reports no fix a round would apply
  bool changed = false;      // some round edited the bytes
  CCheckResult remaining;    // the check of `text`, as the check function made it
};

// How many rounds FixBytes runs at most: fixes that overlap need one round
// each, and a chain of them longer than this is left for another run.
inline constexpr int kMaxFixRounds = 8;

// Checks `bytes`, applies the wanted fixes of the reported findings, and
// checks and applies again until no reported finding has a wanted fix or
// `maxRounds` rounds have run. A fix never raises a finding: a round after
// which a check reports some rule more often than before is taken back,
// and its fixes are tried again in groups, leaving out from then on those
// of a group that raises one. A suppression that silences nothing is
// removed only when it silenced nothing before any fix: one that this
// run's fixes leave idle stays.
CFixOutcome FixBytes(std::string_view bytes, const CheckBytesFn& check, bool unsafe,
                     int maxRounds = kMaxFixRounds);

// The same rounds, starting from `first`, a check of `bytes` that the
// caller made and holds (an editor's check of its document). Once the
// first round has edited the bytes, `releaseFirst` (when given) is called
// before any other check is made, and `first` is not read again: the
// caller may let it go, so that only one check is held at a time. When no
// round edits the bytes, `changed` is false, and `text` and `remaining`
// are left empty: the bytes and `first` are the outcome.
CFixOutcome FixBytes(std::string_view bytes, const CCheckResult& first,
                     const std::function<void()>& releaseFirst, const CheckBytesFn& check,
                     bool unsafe, int maxRounds = kMaxFixRounds);

// Whether a line of `oldLength` bytes may become `newLength` bytes long
// without being read differently: a line longer than one piece is read as
// two, so an edit may neither make a line that long nor change the length
// of one that is.
bool LineStaysWhole(std::size_t oldLength, std::size_t newLength);

#endif  // VELTRANE_CHECKER_FIX_APPLY_H_
