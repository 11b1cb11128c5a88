// The one entry point of the checking engine: bytes and a code page in, one
// owned result out, which every face of the program formats.
#ifndef VELTRANE_CHECKER_CHECK_H_
#define VELTRANE_CHECKER_CHECK_H_

#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "checker/definition_index.h"
#include "checker/finding.h"
#include "checker/fix_findings.h"
#include "checker/label_list.h"
#include "checker/scanner.h"
#include "platform/code_page.h"
#include "platform/file.h"

struct CRuleSelection;

struct CCheckOptions {
  CCodePage codePage;  // the default reads byte by byte
  bool notes = true;   // make the notes; the protocol does not show them
  // A file of this many bytes or more is scanned in two parts on two
  // threads; tests set it low to compare both ways on small files.
  std::uint64_t splitFrom = kScanSplitFrom;
  // The rules to report, for the formats that show rules: with them the
  // check also reads every line for the rules beyond cross-references and
  // for suppression comments, and fills `reported`. The protocol leaves it
  // null and gets what it always got.
  const CRuleSelection* rules = nullptr;
  // A check for fixing (with rules): it fills `fixFindings`, and may keep
  // of its line rules' findings nothing else, not even a message. Its
  // `reported` then holds only the findings it kept whole.
  bool forFixing = false;
};

// Everything a check found. The lists own every byte the findings' views
// point at.
struct CCheckResult {
  // Sorted by name in the code page, instrument definitions pre-marked and
  // every reference resolved.
  std::unique_ptr<CLabelList> definitions;
  // In file order.
  std::unique_ptr<CLabelList> references;
  // In protocol order: duplicates, unused definitions (sorted order),
  // references not found (file order).
  std::vector<CFinding> findings;
  // For each reference, in file order, the index in `definitions` of the
  // definition it resolves to (the first of its name and kind in sorted
  // order), or -1.
  std::vector<int> resolution;
  // Notes about the file as a whole, shown before the findings.
  std::vector<CNote> fileNotes;
  // The section headers as read, in file order: the sections the lists
  // and references above stand in.
  std::vector<CSectionHeader> sections;
  CCodePage codePage;
  // Finds the definition a name of a section resolves to; null when the
  // lists were never resolved.
  std::unique_ptr<CDefinitionIndex> definitionIndex;

  // The first definition of `name` under section `kind`, the one every
  // reference of that name and kind resolves to; -1 if none.
  int FirstDefinition(std::string_view name, int kind) const {
    return definitionIndex ? definitionIndex->Find(name, kind) : -1;
  }

  // Only when the check was given rules: the findings of the rules beyond
  // cross-references, which the protocol never counts, ...
  std::vector<CFinding> ruleFindings;
  // ... the bytes their views point at (in blocks: the bytes of a part
  // checked on its own join them without moving) ...
  CTextArena kept;
  // ... and every finding of either list that the selection reports and no
  // suppression comment silences, by place in the file.
  std::vector<const CFinding*> reported;
  // The file's own line end, the first it has: what fixes that add a line
  // end write.
  std::string_view lineEnd = "\r\n";
  // Only when the check was made for fixing: what fixing reads of every
  // reported finding.
  std::unique_ptr<CFixFindings> fixFindings;

  // The number the protocol counts: every finding, warnings included.
  int ErrorCount() const { return static_cast<int>(findings.size()); }
  // Whether a reported finding is an error or a warning: what fails a build.
  bool ReportsErrorsOrWarnings() const;
};

// The cross-references' findings of resolved lists, with their messages,
// in protocol order: duplicates, definitions not used (with `notes`, a
// label line without "]" gets a note on why its list has no name) and
// references not found.
void AddCrossReferenceFindings(const CLabelList& definitions, const CLabelList& references,
                               bool notes, const CCodePage& codePage,
                               std::vector<CFinding>& findings);

// Checks the text file `file` from its start to its end; leaves it open.
// It runs the rooms above the engine too (notes, fixes, rules), and stands
// with them: checker/rules/check_file.cpp.
// Throws CFileException on a read error, or when the file has more lines
// than an int counts.
// REQUIRES: `file` is open for reading in text mode.
CCheckResult CheckFile(CStdioFile& file, const CCheckOptions& options);

// Checks `bytes` as the content of a file named `name` (used in messages of
// exceptions only). The result copies what it keeps: `bytes` need not
// outlive the call.
CCheckResult CheckBytes(std::string_view bytes, const CCheckOptions& options,
                        const std::string& name = "memory");

// Where `entry`, a definition or a reference of `result`, stands.
CPlace PlaceIn(const CCheckResult& result, const CLabelEntry& entry);

// The 1-based column of byte `offset` of `lineText` as people count it:
// characters of the code page before it, a double-byte character or a
// well-formed UTF-8 sequence being one character, plus one.
int ColumnOf(std::string_view lineText, std::uint32_t offset, const CCodePage& codePage);

#endif  // VELTRANE_CHECKER_CHECK_H_
