// The rules beyond cross-references: what sequencers silently swallow or
// read differently from each other.
#ifndef VELTRANE_CHECKER_LINT_H_
#define VELTRANE_CHECKER_LINT_H_

#include <cstdint>
#include <string_view>
#include <vector>

#include "checker/check.h"
#include "checker/label_collector.h"
#include "checker/rules/rule_selection.h"
#include "checker/rules/rule_sink.h"
#include "checker/rules/suppression.h"

// The line end of the file's first line ("\n" or "\r\n"), which fixes
// that add lines use; a lone "\r" for a file whose lines end in nothing
// else, and "\r\n" for a file without any.
std::string_view FirstLineEnd(const CStdioFile& file);

// Whether the file holds a suppression marker anywhere. A check of the
// cross-references alone reads every line only when it must, for the
// suppressions: most files have none.
bool MentionsSuppression(const CStdioFile& file);

// Reads every line of `file` for the line rules of `rules` (numbers,
// entries, keys, sections, gaps, line ends and lengths) and for
// suppression comments, adding findings and their text to `sink` and the
// comments to `suppressions`. With `notes`,
// findings that point at an earlier place get a note. With `inParts`, the
// lines before and after a line start in the middle are read at once,
// each part on a thread of its own, with the same result.
//
// Without `labels`, it reads nothing when no rule of `rules` reads lines
// and the file holds no suppression comment, and it touches nothing but
// `sink`, so the lists may be checked meanwhile. With
// `labels`, it also fills them in the same reading, as ScanLabels would,
// and returns false when a line longer than a piece means they must be
// scanned from the pieces instead. Throws CFileException on a read error.
// REQUIRES: `file` is open whole, for reading by position; sink.lineEnd
// is the file's (see FirstLineEnd); `labels`' lists are empty.
bool LintLines(const CStdioFile& file, const CRuleSelection& rules, bool notes, bool inParts,
               CRuleSink& sink, std::vector<CSuppression>& suppressions,
               CLabelLists* labels = nullptr);

// A BasedOn line and the label line it belongs to: the one last before
// it, when no header of another section stands between them.
struct CBasedOnOwner {
  int reference;             // the BasedOn line, in the references
  const CLabelEntry* owner;  // the label, in the definitions
};

// Whether a rule of `rules` reads BasedOn lines: only then are their
// owners needed.
bool ChecksBasedOn(const CRuleSelection& rules);

// The owner of each BasedOn line, from the lists as read, in file order:
// before the definitions are sorted, each list is walked once.
std::vector<CBasedOnOwner> FindBasedOnOwners(const CLabelList& definitions,
                                             const CLabelList& references);

// A note for the finding of a reference not found, by the reference's
// index in the references.
struct CReferenceNote {
  int reference;
  CNote note;
};

// The rules that read the resolved lists rather than the lines: BasedOn
// cycles and order, blanks around names, section headers missing. Their
// findings go to `findings`, their texts are the lists'. `owners` are those
// FindBasedOnOwners found before the definitions were sorted. With `notes`,
// the notes that a finding of theirs gives references not found go to
// `referenceNotes`, when given.
void LintLists(const CRuleSelection& rules, bool notes, const CCheckResult& result,
               const std::vector<CBasedOnOwner>& owners, std::vector<CFinding>& findings,
               std::vector<CReferenceNote>* referenceNotes = nullptr);

#endif  // VELTRANE_CHECKER_LINT_H_
