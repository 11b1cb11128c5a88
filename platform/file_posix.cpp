// CFile on POSIX descriptors. Exclusive sharing is an flock taken at the
// open, which every open of this program honours.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file.h"

bool CFile::Open(const std::string& path, unsigned flags,
                 CFileException* error) {
  Abort();
  auto fail = [&](int osError, CFileException::Cause cause) {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    if (error) *error = CFileException(path, osError, cause);
    return false;
  };

  int oflags = O_CLOEXEC | O_NOCTTY;
  switch (flags & 0x3) {
    case modeWrite: oflags |= O_WRONLY; break;
    case modeReadWrite: oflags |= O_RDWR; break;
    default: oflags |= O_RDONLY; break;
  }
  if (flags & modeCreate) {
    oflags |= O_CREAT;
    if (!(flags & modeNoTruncate)) oflags |= O_TRUNC;
  }
  // Non-blocking only for the open itself, so that a FIFO without a writer
  // cannot hang the program.
  m_fd = ::open(path.c_str(), oflags | O_NONBLOCK, 0666);
  if (m_fd < 0) return fail(errno, CFileException::generic);

  struct stat st;
  if (::fstat(m_fd, &st) != 0) return fail(errno, CFileException::generic);
  if (S_ISDIR(st.st_mode)) return fail(EISDIR, CFileException::generic);
  int fl = ::fcntl(m_fd, F_GETFL);
  if (fl < 0 || ::fcntl(m_fd, F_SETFL, fl & ~O_NONBLOCK) != 0)
    return fail(errno, CFileException::generic);

  if ((flags & shareExclusive) && ::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
    int e = errno;
    return fail(e, e == EWOULDBLOCK ? CFileException::sharingViolation
                                    : CFileException::generic);
  }
  m_nFlags = flags;
  m_strFileName = path;
  return true;
}

void CFile::Close() {
  if (m_fd < 0) return;
  int fd = m_fd;
  m_fd = -1;
  if (::close(fd) != 0 && errno != EINTR)
    throw CFileException(m_strFileName, errno);
}

void CFile::Abort() noexcept {
  if (m_fd >= 0) ::close(m_fd);
  m_fd = -1;
}

void CFile::ThrowLastError() const {
  throw CFileException(m_strFileName, errno);
}

void CFile::SetLength(std::uint64_t length) {
  struct stat st;
  if (::fstat(m_fd, &st) != 0) ThrowLastError();
  if (!S_ISREG(st.st_mode)) return;
  if (::ftruncate(m_fd, static_cast<off_t>(length)) != 0) ThrowLastError();
}

std::uint64_t CFile::Seek(std::int64_t offset, SeekPosition from) {
  static constexpr int kWhence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
  off_t pos = ::lseek(m_fd, static_cast<off_t>(offset), kWhence[from]);
  if (pos < 0) ThrowLastError();
  return static_cast<std::uint64_t>(pos);
}

std::size_t CFile::Read(void* buffer, std::size_t count) {
  for (;;) {
    ssize_t n = ::read(m_fd, buffer, count);
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno != EINTR) ThrowLastError();
  }
}

std::size_t CFile::ReadAt(std::uint64_t offset, void* buffer, std::size_t count) const {
  for (;;) {
    ssize_t n = ::pread(m_fd, buffer, count, static_cast<off_t>(offset));
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno != EINTR) ThrowLastError();
  }
}

void CFile::Write(const void* buffer, std::size_t count) {
  const char* p = static_cast<const char*>(buffer);
  while (count > 0) {
    ssize_t n = ::write(m_fd, p, count);
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowLastError();
    }
    p += n;
    count -= static_cast<std::size_t>(n);
  }
}

void CFile::Remove(const std::string& path) {
  if (::unlink(path.c_str()) != 0) throw CFileException(path, errno);
}

namespace {

CFileStatus ToStatus(const struct stat& st) {
  CFileStatus status;
  status.m_size = static_cast<std::uint64_t>(st.st_size);
  status.m_bDirectory = S_ISDIR(st.st_mode);
  status.m_bRegular = S_ISREG(st.st_mode);
  status.m_device = static_cast<std::uint64_t>(st.st_dev);
  status.m_inode = static_cast<std::uint64_t>(st.st_ino);
  return status;
}

}  // namespace

bool CFile::GetStatus(const std::string& path, CFileStatus& status) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return false;
  status = ToStatus(st);
  return true;
}

CFileStatus CFile::GetStatus() const {
  struct stat st;
  if (::fstat(m_fd, &st) != 0) ThrowLastError();
  return ToStatus(st);
}
