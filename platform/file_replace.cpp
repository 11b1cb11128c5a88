#include "platform/file_replace.h"

#include <cerrno>

bool ReadWholeFile(const std::string& path, std::string& bytes, CFileException& error) {
  CFile file;
  if (!file.Open(path, CFile::modeRead | CFile::typeBinary, &error)) return false;
  try {
    const CFileStatus status = file.GetStatus();
    if (!status.m_bRegular) {
      error = CFileException(path, 0, CFileException::notRegularFile);
      return false;
    }
    // Room for exactly the bytes there are: grown piece by piece, the
    // string would take up to twice the file's size.
    bytes.clear();
    bytes.shrink_to_fit();
    bytes.reserve(status.m_size);
    char buffer[64 * 1024];
    while (const std::size_t n = file.Read(buffer, sizeof buffer)) bytes.append(buffer, n);
    file.Close();
  } catch (const CFileException& e) {
    error = e;
    return false;
  }
  return true;
}

ReplaceOutcome ReplaceFileContent(const std::string& path, std::string_view expected,
                                  std::string_view bytes, CFileException& error) {
  return file_replace::Replace(path, expected, bytes, error);
}

namespace file_replace {

CTestSeams& TestSeams() {
  static CTestSeams seams;
  return seams;
}

}  // namespace file_replace
