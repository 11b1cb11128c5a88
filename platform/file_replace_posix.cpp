// The POSIX half of replacing a file: mkstemp beside the target, fsync,
// fchmod and fchown to the old file's mode and owner, rename(2).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/file_replace.h"

namespace file_replace {
namespace {

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

bool ResolveTarget(const std::string& path, std::string& target, CFileException& error) {
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (!resolved) {
    error = CFileException(path, errno);
    return false;
  }
  target = resolved;
  std::free(resolved);
  return true;
}

bool WriteBeside(const std::string& target, std::string_view bytes, std::string& temporary,
                 CFileException& error) {
  struct stat old;
  if (::stat(target.c_str(), &old) != 0) {
    error = CFileException(target, errno);
    return false;
  }
  // A file its owner made read-only is not to be changed, though the
  // folder would let a new file take its place.
  if (::access(target.c_str(), W_OK) != 0) {
    error = CFileException(target, errno);
    return false;
  }
  const std::string base = target.substr(target.rfind('/') + 1);
  std::string name = FolderOf(target) + "/." + base + ".veltrane-XXXXXX";
  const int fd = ::mkstemp(name.data());
  if (fd < 0) {
    // Most often a folder the user may not write in: say which.
    error = CFileException(FolderOf(target), errno);
    return false;
  }
  temporary = name;
  // The owner first: changing it may clear the set-id bits that the mode
  // then puts back. Only the superuser may give a file away, so failing
  // here is normal and the file stays the user's own.
  if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
    // Keep the group at least, where the user belongs to it.
    [[maybe_unused]] const int ignored = ::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
  }
  int failure = 0;
  if (::fchmod(fd, old.st_mode & 07777) != 0) failure = errno;
  for (std::size_t written = 0; failure == 0 && written < bytes.size();) {
    const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) failure = n < 0 ? errno : ENOSPC;
    else written += static_cast<std::size_t>(n);
  }
  if (failure == 0 && ::fsync(fd) != 0) failure = errno;
  if (::close(fd) != 0 && failure == 0 && errno != EINTR) failure = errno;
  if (failure != 0) {
    ::unlink(name.c_str());
    error = CFileException(name, failure);
    return false;
  }
  return true;
}

bool RenameOver(const std::string& temporary, const std::string& target, CFileException& error) {
  if (::rename(temporary.c_str(), target.c_str()) != 0) {
    error = CFileException(target, errno);
    return false;
  }
  // The rename itself reaches the disk when the folder is flushed; a
  // system that cannot flush folders still has the new file in place.
  const int folder = ::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    ::fsync(folder);
    ::close(folder);
  }
  return true;
}

}  // namespace file_replace
