// The Windows half of replacing a file: a new file beside the target,
// FlushFileBuffers, the old file's attributes, and MoveFileExA with
// MOVEFILE_REPLACE_EXISTING. Ctrl+C, Ctrl+Break and closing the console
// remove the new file while it is written; a process ended from outside
// (or a power cut) can leave it behind as ".NAME.veltrane-PID-N".
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "platform/file_replace.h"
#include "platform/win32/system_error.h"

namespace file_replace {
namespace {

std::size_t NameStart(const std::string& path) {
  const std::size_t separator = path.find_last_of("\\/:");
  return separator == std::string::npos ? 0 : separator + 1;
}

CFileException LastError(const std::string& path) {
  return CFileException(path, ErrnoOfSystemError(::GetLastError()));
}

// The new file's name while it is written, for the console's handler, which
// runs on a thread of its own. The file is open with FILE_SHARE_DELETE, so
// that deleting it there takes effect when the process ends.
SRWLOCK g_pendingLock = SRWLOCK_INIT;
std::string g_pendingName;

BOOL WINAPI RemovePending(DWORD) {
  ::AcquireSRWLockExclusive(&g_pendingLock);
  if (!g_pendingName.empty()) ::DeleteFileA(g_pendingName.c_str());
  g_pendingName.clear();
  ::ReleaseSRWLockExclusive(&g_pendingLock);
  return FALSE;  // the next handler, in the end the system's, stops the program
}

class CPendingName {
 public:
  CPendingName() { ::SetConsoleCtrlHandler(RemovePending, TRUE); }
  ~CPendingName() {
    Set({});
    ::SetConsoleCtrlHandler(RemovePending, FALSE);
  }
  CPendingName(const CPendingName&) = delete;
  CPendingName& operator=(const CPendingName&) = delete;
  void Set(const std::string& name) {
    ::AcquireSRWLockExclusive(&g_pendingLock);
    g_pendingName = name;
    ::ReleaseSRWLockExclusive(&g_pendingLock);
  }
};

bool ResolveTarget(const std::string& path, std::string& target, CFileException& error) {
  HANDLE h = ::CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    error = LastError(path);
    return false;
  }
  // The final path, with every symbolic link followed; where the system
  // cannot give it, the path as it is.
  char buffer[MAX_PATH * 4];
  const DWORD length = ::GetFinalPathNameByHandleA(h, buffer, sizeof buffer, FILE_NAME_NORMALIZED);
  ::CloseHandle(h);
  target = length > 0 && length < sizeof buffer ? std::string(buffer, length) : path;
  // The final path comes as "\\?\C:\..." or "\\?\UNC\server\...": the
  // usual forms name the same file, and read better in a message.
  if (target.starts_with("\\\\?\\UNC\\")) {
    target = "\\\\" + target.substr(8);
  } else if (target.starts_with("\\\\?\\") && target.size() > 6 && target[5] == ':') {
    target = target.substr(4);
  }
  return true;
}

bool WriteBeside(const std::string& target, std::string_view bytes, std::string& temporary,
                 CPendingName& pending, CFileException& error) {
  const DWORD attributes = ::GetFileAttributesA(target.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    error = LastError(target);
    return false;
  }
  // A file its owner made read-only is not to be changed.
  if (attributes & FILE_ATTRIBUTE_READONLY) {
    error = CFileException(target, EACCES);
    return false;
  }
  const std::size_t nameStart = NameStart(target);
  const std::string folder = target.substr(0, nameStart);
  const std::string base = target.substr(nameStart);
  HANDLE h = INVALID_HANDLE_VALUE;
  for (unsigned attempt = 0; h == INVALID_HANDLE_VALUE; ++attempt) {
    temporary = folder + "." + base + ".veltrane-" + std::to_string(::GetCurrentProcessId()) +
                "-" + std::to_string(attempt);
    pending.Set(temporary);
    const DWORD keep = attributes & (FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN |
                                     FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    h = ::CreateFileA(temporary.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                      keep ? keep : FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE &&
        (::GetLastError() != ERROR_FILE_EXISTS || attempt == 100)) {
      // Most often a folder the user may not write in: say which.
      error = LastError(folder.empty() ? std::string(".") : folder);
      pending.Set({});
      return false;
    }
  }
  bool ok = true;
  for (std::size_t written = 0; ok && written < bytes.size();) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - written, 1u << 30));
    DWORD n = 0;
    ok = ::WriteFile(h, bytes.data() + written, chunk, &n, nullptr) && n > 0;
    written += n;
  }
  ok = ok && ::FlushFileBuffers(h);
  if (!ok) error = LastError(temporary);
  ::CloseHandle(h);
  if (!ok) {
    ::DeleteFileA(temporary.c_str());
    pending.Set({});
  }
  return ok;
}

bool RenameOver(const std::string& temporary, const std::string& target, CFileException& error) {
  if (!::MoveFileExA(temporary.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    error = LastError(target);
    return false;
  }
  return true;
}

// Whether the file at `path` holds exactly `expected`, read a piece at a
// time so that no second copy of a large file is held.
bool Holds(const std::string& path, std::string_view expected) {
  CFile file;
  if (!file.Open(path, CFile::modeRead | CFile::typeBinary)) return false;
  try {
    std::string buffer(1 << 20, '\0');
    std::size_t offset = 0;
    while (const std::size_t n = file.Read(buffer.data(), buffer.size())) {
      if (offset + n > expected.size() || expected.compare(offset, n, buffer.data(), n) != 0)
        return false;
      offset += n;
    }
    return offset == expected.size();
  } catch (const CFileException&) {
    return false;
  }
}

// More than one name for the file: a new file in its place would leave the
// others with the old text, so it is left alone.
bool SeveralNames(const std::string& target) {
  HANDLE h = ::CreateFileA(target.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool several = ::GetFileInformationByHandle(h, &info) && info.nNumberOfLinks > 1;
  ::CloseHandle(h);
  return several;
}

}  // namespace

ReplaceOutcome Replace(const std::string& path, std::string_view expected,
                       std::string_view bytes, CFileException& error) {
  std::string target;
  if (!ResolveTarget(path, target, error)) return ReplaceOutcome::failed;
  if (SeveralNames(target)) {
    error = CFileException(target, 0, CFileException::severalNames);
    return ReplaceOutcome::failed;
  }
  CPendingName pending;
  std::string temporary;
  if (!WriteBeside(target, bytes, temporary, pending, error)) return ReplaceOutcome::failed;
  if (TestSeams().newFileWritten) TestSeams().newFileWritten(target);
  // Last look before the rename: whoever wrote the file since it was read
  // keeps what they wrote.
  const bool unchanged = Holds(target, expected);
  if (unchanged && TestSeams().beforeSwap) TestSeams().beforeSwap(target);
  if (!unchanged || !RenameOver(temporary, target, error)) {
    // Left behind under its own name only when it cannot be deleted; the
    // old file is whole either way.
    ::DeleteFileA(temporary.c_str());
    return unchanged ? ReplaceOutcome::failed : ReplaceOutcome::changedMeanwhile;
  }
  pending.Set({});
  return ReplaceOutcome::replaced;
}

}  // namespace file_replace
