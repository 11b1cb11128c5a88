#include "app/input_file.h"

namespace {

constexpr std::size_t kMaxDisplayName = 70;
constexpr std::size_t kDisplayTail = 67;

}  // namespace

std::unique_ptr<CStdioFile> OpenInputFile(const std::string& path,
                                          bool& opened,
                                          CFileException* error) {
  auto file = std::make_unique<CStdioFile>();
  opened = file->Open(path, CFile::modeRead | CFile::shareExclusive |
                                CFile::typeText,
                      error);
  return file;
}

std::string MakeDisplayName(const std::string& path) {
  if (path.size() <= kMaxDisplayName) return path;
  return "..." + path.substr(path.size() - kDisplayTail);
}
