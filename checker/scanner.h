// The passes over an instrument definition file: one collects the
// bracketed labels, the other the key lines that name a label.
#ifndef VELTRANE_CHECKER_SCANNER_H_
#define VELTRANE_CHECKER_SCANNER_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "checker/label_list.h"
#include "platform/code_page.h"
#include "platform/file.h"

// The section a label or reference belongs to.
enum SectionKind : int {
  kNoSection = 0,       // before any section header
  kPatchNames = 1,      // ".Patch Names"
  kNoteNames = 2,       // ".Note Names"
  kControllerNames = 3, // ".Controller Names"
  kRpnNames = 4,        // ".RPN Names"
  kNrpnNames = 5,       // ".NRPN Names"
  kInstrumentDefinitions = 6,  // ".Instrument Definitions"
};

// A section header as the scanner read it: the physical line it stands in
// (1-based; LF, CR LF and lone CR end a line) and the section it opens.
struct CSectionHeader {
  int line;
  int kind;
  bool operator==(const CSectionHeader&) const = default;
};

// The names of the keys whose values name lists, as instrument lines
// write them; the line rules know them by these too.
inline constexpr std::string_view kPatchKey = "Patch";
inline constexpr std::string_view kKeyKey = "Key";
inline constexpr std::string_view kControlKey = "Control";
inline constexpr std::string_view kRpnKey = "RPN";
inline constexpr std::string_view kNrpnKey = "NRPN";
inline constexpr std::string_view kBasedOnKey = "BasedOn";

// A key line whose value names a list: "Patch[0]=GM", "Control=Std", ...
struct ReferenceKey {
  std::string_view prefix;  // what the line starts with
  int kind;                 // the section of the list; kNoSection: the line's own
  bool numberedListsOk;     // "1..128" and "0..127" name built-in lists
};

// The built-in numbered lists that Patch and Key values may name instead
// of a list of the file.
inline constexpr std::string_view kNumberedLists[] = {"1..128", "0..127"};

// Whether `value` names a built-in numbered list.
bool IsNumberedListName(std::string_view value);

// Whether references to lists of section `kind` can name the numbered
// lists instead (those of Patch and Key lines).
bool NumberedListsName(int kind);

// The key that a line starting with `piece` is, tried in file-format order,
// or null. "NRPN" never shadows "RPN" because no piece starts with both,
// and "Control" also catches "Controller..." lines on purpose.
const ReferenceKey* FindReferenceKey(std::string_view piece);

// What a label line or a key line names.
struct CLabelLine {
  bool definition = false;  // a label line ("[" first); else a key line
  std::string_view name;    // a view into the piece; empty without "]"
  int kind = kNoSection;    // the section of the list it is or names
  bool unclosed = false;    // a label line without "]"
  std::size_t nameBegin = 0;  // where the name starts in the piece
};

// The label or reference that `piece`, a line as read with its "\n" if it
// had one, adds in section `section`; nothing for any other line. The "]"
// and "=" are searched for as characters of `codePage`.
std::optional<CLabelLine> ReadLabelLine(std::string_view piece, int section,
                                        const CCodePage& codePage);

// Adds `label`, read from `piece`, the `line`th piece of the file, to the
// list it belongs to, and returns that list: the label is its last entry.
CLabelList& AddLabelLine(const CLabelLine& label, std::string_view piece, int line,
                         CLabelList& definitions, CLabelList& references);

// Whether a line whose first byte is `c` may name a label or open a
// section. Most lines of a large file start with a digit, and cannot.
extern const std::array<bool, 256> kMayNameOrOpen;

// The section that a line starting with `piece` opens: the first header it
// starts with, or kNoSection when it starts with none.
int FindSectionHeader(std::string_view piece);

// The header that opens sections of `kind` (".Note Names", ...), or "no
// section" for kNoSection and any value that names no section.
std::string_view SectionHeaderText(int kind);

// Seeks `file` to its start and adds every label line ("[" first) with the
// kind of the section it stands in. Lines are the file's pieces of at most
// 254 bytes. The "]" that ends a name is searched for as a character of
// `codePage`, so a trail byte of the same value does not end it. Throws
// CFileException on a read error, or when the file has more pieces than
// line numbers can count.
// REQUIRES: `file` is open for reading.
void ScanDefinitions(CStdioFile& file, CLabelList& definitions,
                     const CCodePage& codePage = CCodePage());

// Seeks `file` to its start and adds every key line (BasedOn, Control, RPN,
// NRPN, Patch, Key) whose value names a label. The "=" before the value is
// searched for as a character of `codePage`. Throws CFileException as
// ScanDefinitions does.
// REQUIRES: `file` is open for reading.
void ScanReferences(CStdioFile& file, CLabelList& references,
                    const CCodePage& codePage = CCodePage());

// The longest line that is still read as one piece: a piece holds 254
// bytes with its line end. Anything longer is read as two lines.
inline constexpr std::size_t kLongestWholeLine = CStdioFile::kMaxPiece - 1;

// A file of this many bytes or more is scanned in two parts at once.
constexpr std::uint64_t kScanSplitFrom = 4 << 20;

// Where to split `file` into two parts for two threads: just after the
// first LF from its middle on, where the reader starts a new piece and a
// new line whichever way it came. 0: not worth it (fewer than `splitFrom`
// bytes), or no LF near the middle. Reads by position.
std::uint64_t SplitPoint(const CStdioFile& file, std::uint64_t splitFrom);

// The start of the piece after the first LF from `from` on, within a
// megabyte; 0 when there is none or nothing follows it. Reads by position.
std::uint64_t LineStartFrom(const CStdioFile& file, std::uint64_t from);

// Both of the above in one reading of the file: the same entries, in the
// same order, as ScanDefinitions followed by ScanReferences. A check reads
// each line once this way, which matters on large files. A file of
// `splitFrom` bytes or more is read as two halves, split at a line end, on
// two threads, with the same result. With `headers`, every section header
// read is appended to it in file order.
void ScanLabels(CStdioFile& file, CLabelList& definitions, CLabelList& references,
                const CCodePage& codePage = CCodePage(),
                std::uint64_t splitFrom = kScanSplitFrom,
                std::vector<CSectionHeader>* headers = nullptr);

// The same, split at `split` as SplitPoint gave it, or in one piece when
// it is 0: for a caller that must know which way the file is read.
void ScanLabelsSplitAt(CStdioFile& file, std::uint64_t split, CLabelList& definitions,
                       CLabelList& references, const CCodePage& codePage,
                       std::vector<CSectionHeader>* headers);

#endif  // VELTRANE_CHECKER_SCANNER_H_
