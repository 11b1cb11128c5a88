// The notes of a check, which explain its findings: on references not
// found (the list a reference likely means, a built-in list of numbers),
// on lists not used (the header of no section above them, a Patch or Key
// line that names a built-in list) and on a byte-order mark that hides the
// first line.
#ifndef VELTRANE_CHECKER_NOTES_CHECK_NOTES_H_
#define VELTRANE_CHECKER_NOTES_CHECK_NOTES_H_

#include <optional>
#include <string_view>

#include "checker/check.h"
#include "platform/code_page.h"
#include "platform/file.h"

// The notes, with `notes`, and, with `trimmed`, the fixes of the
// references not found of result.findings: a reference that names a list
// once trimmed, or one close to a list's name.
void AddNotes(CCheckResult& result, bool notes, bool trimmed);

// The notes on the lists not used of result.findings that speak of lines
// the scan keeps nothing of; what they quote joins result.kept.
void AddUnusedListNotes(const CStdioFile& file, CCheckResult& result);

// A UTF-8 byte-order mark makes the first line start with three bytes
// that are neither "." nor "[" nor a key, so that line is skipped. Worth a
// note only when the line would have counted.
std::optional<CNote> ByteOrderMarkNote(std::string_view firstPiece, const CCodePage& codePage);

#endif  // VELTRANE_CHECKER_NOTES_CHECK_NOTES_H_
