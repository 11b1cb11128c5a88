// CFile on Windows file handles. Exclusive sharing is share mode 0: while
// the file is open no other program can open it at all, and a file another
// program holds open that way cannot be opened here.
//
// Errors are carried as the C library's errno values, as on POSIX, so that a
// failure reads the same on both systems and the engine's own errno values
// (a file with too many lines) need no second meaning.
#include <windows.h>

#include <algorithm>
#include <cerrno>

#include "platform/file.h"
#include "platform/win32/system_error.h"

namespace {

struct CErrorMapping {
  DWORD win32;
  int errnoValue;
};

// The system errors a file operation can meet, by what they mean to the
// user. Anything else is reported as an I/O error.
constexpr CErrorMapping kErrors[] = {
    {ERROR_FILE_NOT_FOUND, ENOENT},
    {ERROR_PATH_NOT_FOUND, ENOENT},
    {ERROR_INVALID_DRIVE, ENOENT},
    {ERROR_BAD_NETPATH, ENOENT},
    {ERROR_BAD_NET_NAME, ENOENT},
    {ERROR_INVALID_NAME, ENOENT},
    {ERROR_BAD_PATHNAME, ENOENT},
    {ERROR_DIRECTORY, ENOENT},
    {ERROR_ACCESS_DENIED, EACCES},
    {ERROR_WRITE_PROTECT, EACCES},
    {ERROR_CANNOT_MAKE, EACCES},
    {ERROR_SHARING_VIOLATION, EACCES},
    {ERROR_LOCK_VIOLATION, EACCES},
    {ERROR_FILE_EXISTS, EEXIST},
    {ERROR_ALREADY_EXISTS, EEXIST},
    {ERROR_DISK_FULL, ENOSPC},
    {ERROR_HANDLE_DISK_FULL, ENOSPC},
    {ERROR_FILENAME_EXCED_RANGE, ENAMETOOLONG},
    {ERROR_BUFFER_OVERFLOW, ENAMETOOLONG},
    {ERROR_FILE_TOO_LARGE, EFBIG},
    {ERROR_NOT_ENOUGH_MEMORY, ENOMEM},
    {ERROR_OUTOFMEMORY, ENOMEM},
    {ERROR_TOO_MANY_OPEN_FILES, EMFILE},
    {ERROR_INVALID_HANDLE, EBADF},
    {ERROR_NEGATIVE_SEEK, EINVAL},
    {ERROR_INVALID_PARAMETER, EINVAL},
    {ERROR_BROKEN_PIPE, EPIPE},
    {ERROR_NOT_READY, EIO},
};

int ToErrno(DWORD error) { return ErrnoOfSystemError(error); }

bool IsSharingError(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

bool IsDirectory(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

HANDLE Handle(void* h) { return static_cast<HANDLE>(h); }

CFileStatus ToStatus(HANDLE h) {
  BY_HANDLE_FILE_INFORMATION info;
  CFileStatus status;
  if (::GetFileType(h) != FILE_TYPE_DISK ||
      !::GetFileInformationByHandle(h, &info)) {
    // A console, pipe or device: nothing to measure, never a regular file.
    return status;
  }
  status.m_size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
  status.m_bDirectory = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  status.m_bRegular = !status.m_bDirectory;
  status.m_device = info.dwVolumeSerialNumber;
  status.m_inode =
      (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  return status;
}

}  // namespace

bool CFile::Open(const std::string& path, unsigned flags,
                 CFileException* error) {
  Abort();
  static constexpr DWORD kAccess[] = {
      GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE, GENERIC_READ};
  const DWORD share =
      (flags & shareExclusive)
          ? 0
          : FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  DWORD disposition = OPEN_EXISTING;
  if (flags & modeCreate)
    disposition = (flags & modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;

  HANDLE h = ::CreateFileA(path.c_str(), kAccess[flags & 0x3], share, nullptr,
                           disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD e = ::GetLastError();
    if (error) {
      // A folder cannot be opened as a file; the system only says "access
      // denied", which would send the user looking for permissions.
      if (e == ERROR_ACCESS_DENIED && IsDirectory(path)) {
        *error = CFileException(path, EISDIR);
      } else {
        *error =
            CFileException(path, ToErrno(e),
                           IsSharingError(e) ? CFileException::sharingViolation
                                             : CFileException::generic);
      }
    }
    return false;
  }
  m_hFile = h;
  m_nFlags = flags;
  m_strFileName = path;
  return true;
}

void CFile::Close() {
  if (!m_hFile) return;
  HANDLE h = Handle(m_hFile);
  m_hFile = nullptr;
  if (!::CloseHandle(h)) ThrowLastError();
}

void CFile::Abort() noexcept {
  if (m_hFile) ::CloseHandle(Handle(m_hFile));
  m_hFile = nullptr;
}

void CFile::ThrowLastError() const {
  throw CFileException(m_strFileName, ToErrno(::GetLastError()));
}

void CFile::SetLength(std::uint64_t length) {
  HANDLE h = Handle(m_hFile);
  if (::GetFileType(h) != FILE_TYPE_DISK) return;
  LARGE_INTEGER position;
  LARGE_INTEGER target;
  target.QuadPart = static_cast<LONGLONG>(length);
  LARGE_INTEGER zero{};
  // SetEndOfFile cuts at the file pointer; the pointer is put back after.
  if (!::SetFilePointerEx(h, zero, &position, FILE_CURRENT) ||
      !::SetFilePointerEx(h, target, nullptr, FILE_BEGIN) ||
      !::SetEndOfFile(h) ||
      !::SetFilePointerEx(h, position, nullptr, FILE_BEGIN)) {
    ThrowLastError();
  }
}

std::uint64_t CFile::Seek(std::int64_t offset, SeekPosition from) {
  static constexpr DWORD kMethod[] = {FILE_BEGIN, FILE_CURRENT, FILE_END};
  LARGE_INTEGER distance;
  distance.QuadPart = offset;
  LARGE_INTEGER position;
  if (!::SetFilePointerEx(Handle(m_hFile), distance, &position, kMethod[from]))
    ThrowLastError();
  return static_cast<std::uint64_t>(position.QuadPart);
}

std::size_t CFile::Read(void* buffer, std::size_t count) {
  // One call reads at most what a DWORD counts; the callers loop anyway.
  const DWORD chunk =
      static_cast<DWORD>(std::min<std::size_t>(count, 1u << 30));
  DWORD n = 0;
  if (!::ReadFile(Handle(m_hFile), buffer, chunk, &n, nullptr)) {
    // The writer of a pipe went away: that is its end, not an error.
    if (::GetLastError() == ERROR_BROKEN_PIPE) return 0;
    ThrowLastError();
  }
  return n;
}

std::size_t CFile::ReadAt(std::uint64_t offset, void* buffer, std::size_t count) const {
  const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(count, 1u << 30));
  OVERLAPPED at = {};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD n = 0;
  if (!::ReadFile(Handle(m_hFile), buffer, chunk, &n, &at)) {
    // Reading at or past the end is the end, not an error.
    if (::GetLastError() == ERROR_HANDLE_EOF || ::GetLastError() == ERROR_BROKEN_PIPE) return 0;
    ThrowLastError();
  }
  return n;
}

void CFile::Write(const void* buffer, std::size_t count) {
  const char* p = static_cast<const char*>(buffer);
  while (count > 0) {
    const DWORD chunk =
        static_cast<DWORD>(std::min<std::size_t>(count, 1u << 30));
    DWORD n = 0;
    if (!::WriteFile(Handle(m_hFile), p, chunk, &n, nullptr)) ThrowLastError();
    // A disk that fills up may take part of a write and then report success.
    if (n == 0) throw CFileException(m_strFileName, ENOSPC);
    p += n;
    count -= n;
  }
}

void CFile::Remove(const std::string& path) {
  if (!::DeleteFileA(path.c_str()))
    throw CFileException(path, ToErrno(::GetLastError()));
}

bool CFile::GetStatus(const std::string& path, CFileStatus& status) {
  // No access asked for, so the query works on a file another program
  // holds open with sharing denied; backup semantics let folders open.
  HANDLE h = ::CreateFileA(
      path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    status = ToStatus(h);
    ::CloseHandle(h);
    return true;
  }
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
    return false;
  status = CFileStatus{};
  status.m_size = (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
  status.m_bDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  status.m_bRegular = !status.m_bDirectory;
  return true;
}

CFileStatus CFile::GetStatus() const { return ToStatus(Handle(m_hFile)); }

int ErrnoOfSystemError(unsigned long error) {
  for (const CErrorMapping& m : kErrors) {
    if (m.win32 == error) return m.errnoValue;
  }
  return EIO;
}
