#include "cli/unified_diff.h"

#include <algorithm>
#include <vector>

#include "checker/fix/line_diff.h"

namespace {

constexpr std::size_t kContext = 3;

// "START,COUNT" as a hunk header gives a range of lines: COUNT left out
// when it is 1, and an empty range named by the line before it.
std::string Range(std::size_t begin, std::size_t end) {
  const std::size_t count = end - begin;
  if (count == 1) return std::to_string(begin + 1);
  return std::to_string(count == 0 ? begin : begin + 1) + "," + std::to_string(count);
}

void AddLine(std::string& out, char mark, std::string_view line) {
  out.push_back(mark);
  out.append(line);
  if (!line.ends_with('\n')) out.append("\n\\ No newline at end of file\n");
}

// The part of `before` and `after` that differs, in whole lines, with up
// to kContext lines of what is the same on either side: a diff of a large
// file with a few changes need not split all of it into lines.
struct CWindow {
  std::string_view before;
  std::string_view after;
  std::size_t firstLine = 0;  // the 0-based number of the window's first line
};

CWindow WindowOfChanges(std::string_view before, std::string_view after) {
  const std::size_t shorter = std::min(before.size(), after.size());
  std::size_t same = 0;
  while (same < shorter && before[same] == after[same]) ++same;
  // The differing part starts at the start of the line the first
  // difference is on.
  std::size_t start = same == 0 ? 0 : before.rfind('\n', same - 1);
  start = start == std::string_view::npos || same == 0 ? 0 : start + 1;
  // ... and ends after the first LF within the bytes both end with, short
  // of those the start already took.
  std::size_t sameEnd = 0;
  while (sameEnd < shorter - same &&
         before[before.size() - 1 - sameEnd] == after[after.size() - 1 - sameEnd])
    ++sameEnd;
  std::size_t end = before.find('\n', before.size() - sameEnd);
  end = end == std::string_view::npos ? before.size() : end + 1;
  const std::size_t afterEnd = after.size() - (before.size() - end);
  // The context around it.
  for (std::size_t n = 0; n < kContext && start > 0; ++n) {
    const std::size_t lf = start < 2 ? std::string_view::npos : before.rfind('\n', start - 2);
    start = lf == std::string_view::npos ? 0 : lf + 1;
  }
  std::size_t extra = 0;
  for (std::size_t n = 0; n < kContext && end + extra < before.size(); ++n) {
    const std::size_t lf = before.find('\n', end + extra);
    extra = (lf == std::string_view::npos ? before.size() : lf + 1) - end;
  }
  CWindow window;
  window.before = before.substr(start, end + extra - start);
  window.after = after.substr(start, afterEnd + extra - start);
  window.firstLine = static_cast<std::size_t>(
      std::count(before.begin(), before.begin() + static_cast<std::ptrdiff_t>(start), '\n'));
  return window;
}

// A name as a header gives it: as it is, unless it holds what would end
// the name early (a tab, a line end) or a quote or backslash; then in
// quotes with C escapes, which patch reads back.
std::string HeaderName(std::string_view name) {
  const bool plain = std::none_of(name.begin(), name.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F || c == '"' || c == '\\';
  });
  if (plain) return std::string(name);
  std::string quoted = "\"";
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '\t': quoted += "\\t"; break;
      case '\n': quoted += "\\n"; break;
      case '\r': quoted += "\\r"; break;
      case '"': quoted += "\\\""; break;
      case '\\': quoted += "\\\\"; break;
      default:
        if (byte < 0x20 || byte == 0x7F) {
          static constexpr char kOctal[] = "01234567";
          quoted += '\\';
          quoted += kOctal[byte >> 6];
          quoted += kOctal[(byte >> 3) & 7];
          quoted += kOctal[byte & 7];
        } else {
          quoted += c;
        }
    }
  }
  return quoted + "\"";
}

}  // namespace

std::string UnifiedDiff(std::string_view name, std::string_view before, std::string_view after) {
  std::string out;
  WriteUnifiedDiff(name, before, after, [&out](std::string_view piece) { out.append(piece); });
  return out;
}

void WriteUnifiedDiff(std::string_view name, std::string_view before, std::string_view after,
                      const std::function<void(std::string_view)>& write) {
  // Handed on in pieces of about this size.
  constexpr std::size_t kPiece = 64 * 1024;
  if (before == after) return;
  const CWindow window = WindowOfChanges(before, after);
  const std::vector<std::string_view> a = SplitLines(window.before);
  const std::vector<std::string_view> b = SplitLines(window.after);
  const std::vector<CLineChange> changes = DiffLines(a, b);
  if (changes.empty()) return;
  // As diff -u: the name, a tab, and a time stamp, here left out, so that
  // patch reads a name with blanks whole.
  const std::string header = HeaderName(name);
  std::string out = "--- " + header + "\t\n+++ " + header + "\t\n";
  const std::size_t shift = window.firstLine;
  // Changes whose contexts meet or overlap share one hunk.
  for (std::size_t first = 0; first < changes.size();) {
    std::size_t last = first;
    while (last + 1 < changes.size() &&
           changes[last + 1].oldBegin - changes[last].oldEnd <= 2 * kContext)
      ++last;
    const std::size_t oldBegin = changes[first].oldBegin - std::min(kContext, changes[first].oldBegin);
    const std::size_t newBegin = changes[first].newBegin - (changes[first].oldBegin - oldBegin);
    const std::size_t oldEnd = std::min(a.size(), changes[last].oldEnd + kContext);
    const std::size_t newEnd = changes[last].newEnd + (oldEnd - changes[last].oldEnd);
    out += "@@ -" + Range(oldBegin + shift, oldEnd + shift) + " +" +
           Range(newBegin + shift, newEnd + shift) + " @@\n";
    std::size_t line = oldBegin;
    for (std::size_t c = first; c <= last; ++c) {
      for (; line < changes[c].oldBegin; ++line) AddLine(out, ' ', a[line]);
      for (std::size_t i = changes[c].oldBegin; i < changes[c].oldEnd; ++i) AddLine(out, '-', a[i]);
      for (std::size_t i = changes[c].newBegin; i < changes[c].newEnd; ++i) AddLine(out, '+', b[i]);
      line = changes[c].oldEnd;
      // A hunk's header counts its lines before them: its lines may go on
      // in pieces.
      if (out.size() >= kPiece) {
        write(out);
        out.clear();
      }
    }
    for (; line < oldEnd; ++line) AddLine(out, ' ', a[line]);
    first = last + 1;
    if (out.size() >= kPiece) {
      write(out);
      out.clear();
    }
  }
  if (!out.empty()) write(out);
}
