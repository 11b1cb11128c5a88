#include "platform/desktop/file_dialog.h"

std::string TrimFilter(const std::string& filter) {
  const std::size_t end = filter.find_last_not_of('|');
  return end == std::string::npos ? "" : filter.substr(0, end + 1);
}

std::string AppendDefaultExtension(const std::string& path,
                                   const std::string& defaultExt) {
  const std::size_t nameStart = path.find_last_of('/') + 1;
  if (defaultExt.empty() || nameStart == path.size() ||
      path.find('.', nameStart) != std::string::npos) {
    return path;
  }
  return path + "." + defaultExt;
}
