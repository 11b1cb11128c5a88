// libFuzzer entry: each input is fixed the way --fix and the editor's
// fix-all fix a file. The first byte chooses the code page and whether the
// unsafe fixes go in too; the rest is the file. Besides crashes and
// sanitizer reports it stops when a round's edits are out of order or
// overlap, are no edit of a wanted fix, or when a byte outside them
// changes; and when fixing what fixing gave changes anything more.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "checker/fix/fix_apply.h"
#include "checker/rules/rule_selection.h"
#include "fuzz/promise.h"

namespace {

constexpr int kCodePages[] = {0, 932, 936, 949, 950, 1252};

bool IsEditOfAWantedFix(const CEdit& edit, const CCheckResult& result, bool unsafe) {
  return std::any_of(result.reported.begin(), result.reported.end(), [&](const CFinding* f) {
    return f->fix && FixWanted(*f->fix, unsafe) &&
           std::any_of(f->fix->edits.begin(), f->fix->edits.end(), [&](const CEdit& e) {
             return e.begin == edit.begin && e.end == edit.end && e.text == edit.text;
           });
  });
}

// The old bytes outside the edits must stand in the new text, in order,
// with each edit's text between them.
void CheckRound(std::string_view before, const CFixRound& round) {
  std::size_t oldAt = 0;
  std::size_t newAt = 0;
  const std::string_view after = round.text;
  for (const CEdit& edit : round.edits) {
    Expect(edit.begin >= oldAt && edit.begin <= edit.end && edit.end <= before.size(),
           "a round's edits are in order, apart, and inside the file");
    const std::size_t kept = edit.begin - oldAt;
    Expect(after.substr(newAt, kept) == before.substr(oldAt, kept),
           "bytes between edits stay as they were");
    newAt += kept;
    Expect(after.substr(newAt, edit.text.size()) == edit.text, "an edit puts in its text");
    newAt += edit.text.size();
    oldAt = edit.end;
  }
  Expect(after.substr(newAt) == before.substr(oldAt), "bytes after the last edit stay as they were");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // Every rule on, so that every fix meets every other.
  static const CRuleSelection kAll = SelectRules(std::vector<std::string>{"ALL"}, {});
  CCheckOptions options;
  options.rules = &kAll;
  if (const int number = kCodePages[data[0] % std::size(kCodePages)]; number != 0)
    options.codePage = *CCodePage::FromNumber(number);
  const bool unsafe = (data[0] & 0x80) != 0;
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  const CheckBytesFn check = [&options](std::string_view text) { return CheckBytes(text, options); };

  const CCheckResult result = check(bytes);
  const CFixRound round = ApplyFixes(bytes, result.reported, unsafe);
  CheckRound(bytes, round);
  for (const CEdit& edit : round.edits)
    Expect(IsEditOfAWantedFix(edit, result, unsafe), "a round applies only edits of wanted fixes");

  const CFixOutcome once = FixBytes(bytes, check, unsafe);
  if (once.converged) {
    const CFixOutcome twice = FixBytes(once.text, check, unsafe);
    Expect(twice.text == once.text && twice.fixed == 0, "fixing what fixing gave changes nothing");
  }
  return 0;
}
