// What a fix would change, as the unified diff that `diff -u` writes and
// `patch` reads.
#ifndef VELTRANE_CLI_UNIFIED_DIFF_H_
#define VELTRANE_CLI_UNIFIED_DIFF_H_

#include <functional>
#include <string>
#include <string_view>

// "--- NAME\t\n+++ NAME\t\n" (NAME quoted with C escapes where it holds a
// control character, a quote or a backslash) and the hunks that turn
// `before` into `after`,
// with three lines of context; "" when the two are equal. Lines end at LF
// alone, as line-based tools split them (a CR is part of its line); a last
// line without LF is followed by "\ No newline at end of file".
std::string UnifiedDiff(std::string_view name, std::string_view before, std::string_view after);

// The same diff handed to `write` a piece at a time: a diff of very many
// changes is never held whole.
void WriteUnifiedDiff(std::string_view name, std::string_view before, std::string_view after,
                      const std::function<void(std::string_view)>& write);

#endif  // VELTRANE_CLI_UNIFIED_DIFF_H_
