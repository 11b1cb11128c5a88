// How far apart two label names are, for suggesting the list a mistyped
// reference meant.
#ifndef VELTRANE_CHECKER_EDIT_DISTANCE_H_
#define VELTRANE_CHECKER_EDIT_DISTANCE_H_

#include <string>
#include <string_view>

// The Damerau-Levenshtein distance of `a` and `b` (insertions, deletions,
// substitutions and transpositions of adjacent bytes, each costing one, a
// transposed pair may be edited again) when it is at most `limit`, and
// limit + 1 otherwise. Cheap for the usual case of two names that are far
// apart: most such pairs are rejected before any table is filled.
// REQUIRES: limit >= 0.
int BoundedEditDistance(std::string_view a, std::string_view b, int limit);

// The same over characters, as Utf8Characters gives them.
int BoundedEditDistance(std::u32string_view a, std::u32string_view b, int limit);

// The same distance without a bound, computed the plain way; for tests.
int EditDistance(std::string_view a, std::string_view b);

// The characters of `bytes` read as UTF-8: each well-formed sequence is
// its code point, every other byte a character of its own (0x110000 plus
// its value, so that it equals no code point).
std::u32string Utf8Characters(std::string_view bytes);

class CCodePage;

// The characters of `bytes` in `codePage`, for the distance over
// characters: UTF-8 as Utf8Characters reads it; in a double-byte code page
// a lead byte and the byte after it as one character (0x10000 plus the
// two bytes' value), every other byte as itself; in a single-byte code
// page, each byte as itself.
std::u32string CodePageCharacters(std::string_view bytes, const CCodePage& codePage);

// Whether names in `codePage` have characters of more than one byte, whose
// distance is counted over CodePageCharacters rather than bytes.
bool HasWideCharacters(const CCodePage& codePage);

#endif  // VELTRANE_CHECKER_EDIT_DISTANCE_H_
