#include "platform/file_replace.h"

#include <cerrno>

bool ReadWholeFile(const std::string& path, std::string& bytes, CFileException& error) {
  CFile file;
  if (!file.Open(path, CFile::modeRead | CFile::typeBinary, &error)) return false;
  try {
    if (!file.GetStatus().m_bRegular) {
      error = CFileException(path, 0, CFileException::notRegularFile);
      return false;
    }
    bytes.clear();
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
  std::string target;
  if (!file_replace::ResolveTarget(path, target, error)) return ReplaceOutcome::failed;
  std::string temporary;
  if (!file_replace::WriteBeside(target, bytes, temporary, error)) return ReplaceOutcome::failed;
  // Last look before the rename: whoever wrote the file since it was read
  // keeps what they wrote.
  std::string now;
  CFileException readError;
  const bool unchanged = ReadWholeFile(target, now, readError) && now == expected;
  if (!unchanged || !file_replace::RenameOver(temporary, target, error)) {
    try {
      CFile::Remove(temporary);
    } catch (const CFileException&) {
      // The new file is left behind under its own name; the old one is whole.
    }
    return unchanged ? ReplaceOutcome::failed : ReplaceOutcome::changedMeanwhile;
  }
  return ReplaceOutcome::replaced;
}
