// A change to a checked file that makes one finding go away, as byte edits
// of the file itself, so that every face (the command line's --fix, an
// editor's code action) applies exactly the same bytes.
#ifndef VELTRANE_CHECKER_FIX_H_
#define VELTRANE_CHECKER_FIX_H_

#include <cstdint>
#include <string>
#include <vector>

// Whether a rule's findings come with a fix, and how far it can be trusted.
enum class FixAvailability {
  none,
  // Keeps what every program reads the file to mean, or restores what the
  // author evidently meant without a guess: applied by --fix and fix-all.
  safe,
  // A guess that a person should review: applied only on request.
  unsafe,
};

// Replaces the bytes [begin, end) of the file with `text`, which is in the
// file's own code page and line ends. begin == end inserts.
struct CEdit {
  std::uint64_t begin = 0;
  std::uint64_t end = 0;
  std::string text;
};

// One finding's fix: edits that do not overlap, in file order.
struct CFix {
  bool safe = true;
  std::string title;  // for people: "Trim the blanks around the name"
  std::vector<CEdit> edits;
};

#endif  // VELTRANE_CHECKER_FIX_H_
