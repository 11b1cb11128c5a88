#include "checker/input_file.h"

namespace {

constexpr std::size_t kMaxDisplayName = 70;
constexpr std::size_t kDisplayTail = 67;

bool IsRegularFile(const CFile& file) {
  try {
    return file.GetStatus().m_bRegular;
  } catch (const CFileException&) {
    return false;
  }
}

}  // namespace

std::unique_ptr<CStdioFile> OpenInputFile(const std::string& path,
                                          bool& opened,
                                          CFileException* error) {
  auto file = std::make_unique<CStdioFile>();
  opened = file->Open(path, CFile::modeRead | CFile::shareExclusive |
                                CFile::typeText,
                      error);
  // The check reads the file twice from its start, so only a regular file
  // will do: a pipe cannot go back, and a device such as /dev/zero never
  // ends.
  if (opened && !IsRegularFile(*file)) {
    file->Abort();
    opened = false;
    if (error)
      *error = CFileException(path, 0, CFileException::notRegularFile);
  }
  return file;
}

std::string MakeDisplayName(const std::string& path) {
  if (path.size() <= kMaxDisplayName) return path;
  return "..." + path.substr(path.size() - kDisplayTail);
}

std::variant<CCheckedInput, CFileException> CheckInputPath(const std::string& path,
                                                           const CCheckOptions& options) {
  CFileException error;
  bool opened = false;
  std::unique_ptr<CStdioFile> input = OpenInputFile(path, opened, &error);
  if (!opened) return error;
  try {
    return CheckInputFile(input, options);
  } catch (const CFileException& e) {
    return e;
  }
}
