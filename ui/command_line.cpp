#include "ui/command_line.h"

#include <algorithm>

#include "platform/desktop/shell.h"

namespace {

// Room for the long form of a short path, as the lookup is allowed to use.
constexpr std::size_t kMaxLongPath = 511;

}  // namespace

std::optional<std::string> NormaliseCommandLine(const std::string& text) {
  std::string path;
  std::ranges::copy_if(text, std::back_inserter(path),
                       [](char c) { return c != '"'; });
  if (path.size() > kMaxInputPath) return std::nullopt;
  if (path.find('~') == std::string::npos) return path;

  std::string longPath;
  if (ExpandShortPath(path, longPath) && longPath.size() <= kMaxLongPath)
    return longPath;
  return path;
}
