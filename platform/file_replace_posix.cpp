// The POSIX half of replacing a file.
//
// The new content goes to a file without a name (Linux's O_TMPFILE) in the
// old file's folder, with its owner, mode, extended attributes and access
// lists, and is flushed; only then does it get a name, so that a kill at
// any moment before leaves nothing behind. Where the file system has no
// unnamed files, a named one is made and a handler for INT, TERM and HUP
// removes it when the program is stopped.
//
// The new file then trades places with the old one in a single step
// (renameat2 with RENAME_EXCHANGE), which keeps the old file at the new
// one's name. Read again through the descriptor held open since the last
// look, the old file shows whether another program wrote it, or put
// another file in its place, after that look: then the two trade back, and
// what that program wrote is what stays. Where the exchange is not
// supported, a rename puts the new file in place and, when the old one
// turns out to have changed, a copy of it is put back the same way.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#ifdef __linux__
#include <sys/xattr.h>
#endif

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/file_replace.h"

namespace file_replace {
namespace {

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// A descriptor closed when it goes out of scope.
class CDescriptor {
 public:
  explicit CDescriptor(int fd = -1) : m_fd(fd) {}
  ~CDescriptor() {
    if (m_fd >= 0) ::close(m_fd);
  }
  CDescriptor(const CDescriptor&) = delete;
  CDescriptor& operator=(const CDescriptor&) = delete;
  int Get() const { return m_fd; }
  void Reset(int fd) {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = fd;
  }
  // Closes now; returns the error of close, 0 when none.
  int Close() {
    const int fd = m_fd;
    m_fd = -1;
    return fd >= 0 && ::close(fd) != 0 && errno != EINTR ? errno : 0;
  }

 private:
  int m_fd;
};

// --- The name to remove when the program is stopped -------------------
//
// A handler may only touch what is ready before it runs: the name lives in
// a fixed buffer, and a flag says whether it is set.

char g_pendingName[PATH_MAX + 1];
volatile std::sig_atomic_t g_hasPendingName = 0;
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction g_previous[sizeof kStopSignals / sizeof kStopSignals[0]];

void RemovePendingAndStop(int signal) {
  if (g_hasPendingName) ::unlink(g_pendingName);
  g_hasPendingName = 0;
  // What was there before decides what the signal does: most often it ends
  // the program, as it would have without this detour.
  for (std::size_t i = 0; i < std::size(kStopSignals); ++i) {
    if (kStopSignals[i] == signal) ::sigaction(signal, &g_previous[i], nullptr);
  }
  ::raise(signal);
}

// Holds the handler in place while a replacement runs, and the signals
// back while it must not be cut short.
class CStopGuard {
 public:
  CStopGuard() {
    struct sigaction action {};
    action.sa_handler = RemovePendingAndStop;
    sigemptyset(&action.sa_mask);
    for (const int signal : kStopSignals) sigaddset(&action.sa_mask, signal);
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i)
      ::sigaction(kStopSignals[i], &action, &g_previous[i]);
  }
  ~CStopGuard() {
    Forget();
    Unblock();
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i)
      ::sigaction(kStopSignals[i], &g_previous[i], nullptr);
  }
  CStopGuard(const CStopGuard&) = delete;
  CStopGuard& operator=(const CStopGuard&) = delete;

  // The name to remove from now on; false when it is too long to hold, in
  // which case nothing will be removed.
  void Remember(const std::string& name) {
    g_hasPendingName = 0;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    if (name.size() > PATH_MAX) return;
    std::memcpy(g_pendingName, name.c_str(), name.size() + 1);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    g_hasPendingName = 1;
  }
  void Forget() { g_hasPendingName = 0; }

  // While blocked, a stop waits until Unblock: for the steps after which
  // the name no longer holds the new file alone.
  void Block() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : kStopSignals) sigaddset(&set, signal);
    m_blocked = ::sigprocmask(SIG_BLOCK, &set, &m_before) == 0;
  }
  void Unblock() {
    if (m_blocked) ::sigprocmask(SIG_SETMASK, &m_before, nullptr);
    m_blocked = false;
  }

 private:
  sigset_t m_before{};
  bool m_blocked = false;
};

// --- The old file as it was at the last look ---------------------------

struct CLook {
  struct stat status {};
};

// The change time is left out: a rename sets it, and every write sets the
// modification time as well. Coarse clocks may miss a write within one
// tick, which the reading of the content then catches.
bool SameStatus(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
         a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

// Whether the open file `fd` holds exactly `expected`, read piece by piece
// so that no second copy of a large file is held.
bool Holds(int fd, std::string_view expected) {
  std::vector<char> buffer(1 << 20);
  std::uint64_t offset = 0;
  for (;;) {
    const ssize_t n = ::pread(fd, buffer.data(), buffer.size(), static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return offset == expected.size();
    const auto count = static_cast<std::size_t>(n);
    if (offset + count > expected.size() ||
        std::memcmp(buffer.data(), expected.data() + offset, count) != 0)
      return false;
    offset += count;
  }
}

// Whether the old file, open as `fd`, still holds `expected`, unchanged
// since `look` (or, with no look yet, taking it now).
bool Unchanged(int fd, std::string_view expected, CLook& look, bool first) {
  struct stat before;
  if (::fstat(fd, &before) != 0) return false;
  if (!first && !SameStatus(before, look.status)) return false;
  if (!Holds(fd, expected)) return false;
  struct stat after;
  if (::fstat(fd, &after) != 0 || !SameStatus(before, after)) return false;
  look.status = after;
  return true;
}

// Whether `path` names the file `look` saw.
bool Names(const std::string& path, const CLook& look) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 && st.st_dev == look.status.st_dev &&
         st.st_ino == look.status.st_ino;
}

// --- The new file --------------------------------------------------------

int WriteAll(int fd, const char* data, std::size_t size) {
  for (std::size_t written = 0; written < size;) {
    const ssize_t n = ::write(fd, data + written, size - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n < 0 ? errno : ENOSPC;
    written += static_cast<std::size_t>(n);
  }
  return 0;
}

// Copies the old file's extended attributes, access lists among them, to
// the new one. Those of the user and the access lists must come along;
// others (a security label the system sets itself, attributes only the
// superuser may set) are taken where the system lets us.
int CopyAttributes([[maybe_unused]] int from, [[maybe_unused]] int to) {
#ifdef __linux__
  ssize_t size = ::flistxattr(from, nullptr, 0);
  if (size < 0) return errno == ENOTSUP ? 0 : errno;
  std::vector<char> names(static_cast<std::size_t>(size) + 1);
  size = ::flistxattr(from, names.data(), names.size());
  if (size < 0) return errno;
  // A new file takes the folder's default access list; the old file's
  // (none, if it had none) is what it must have.
  bool accessList = false;
  for (std::size_t at = 0; at < static_cast<std::size_t>(size); at += std::strlen(names.data() + at) + 1)
    accessList = accessList || std::strcmp(names.data() + at, "system.posix_acl_access") == 0;
  if (!accessList) ::fremovexattr(to, "system.posix_acl_access");
  for (std::size_t at = 0; at < static_cast<std::size_t>(size);) {
    const char* name = names.data() + at;
    at += std::strlen(name) + 1;
    const bool needed = std::strncmp(name, "user.", 5) == 0 ||
                        std::strncmp(name, "system.posix_acl_", 17) == 0;
    ssize_t length = ::fgetxattr(from, name, nullptr, 0);
    std::vector<char> value(length > 0 ? static_cast<std::size_t>(length) : 1);
    if (length >= 0) length = ::fgetxattr(from, name, value.data(), value.size());
    if (length < 0 || ::fsetxattr(to, name, value.data(), static_cast<std::size_t>(length), 0) != 0) {
      if (needed) return errno;
    }
  }
#endif
  return 0;
}

// Gives the new file `fd` the old one's owner (where the system allows),
// mode and attributes; 0 or the error.
int TakeOver(int fd, int old, const struct stat& oldStatus) {
  // The owner first: changing it may clear the set-id bits that the mode
  // then puts back. Only the superuser may give a file away, so failing
  // here is normal and the file stays the user's own.
  if (::fchown(fd, oldStatus.st_uid, oldStatus.st_gid) != 0) {
    // Keep the group at least, where the user belongs to it.
    [[maybe_unused]] const int ignored = ::fchown(fd, static_cast<uid_t>(-1), oldStatus.st_gid);
  }
  if (::fchmod(fd, oldStatus.st_mode & 07777) != 0) return errno;
  // The access list last: setting it sets the group bits of the mode, which
  // the old file's mode and list agree on.
  return CopyAttributes(old, fd);
}

// A name beside `target` that no file has yet: ".NAME.veltrane-XXXXXX".
std::string HiddenName(const std::string& target, unsigned attempt) {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::uint64_t seed = static_cast<std::uint64_t>(::getpid()) * 0x9E3779B97F4A7C15u ^
                       (static_cast<std::uint64_t>(attempt) << 32) ^
                       static_cast<std::uint64_t>(std::rand());
  struct timespec now {};
  ::clock_gettime(CLOCK_REALTIME, &now);
  seed ^= static_cast<std::uint64_t>(now.tv_nsec) * 0xBF58476D1CE4E5B9u;
  std::string suffix;
  for (int i = 0; i < 6; ++i, seed /= 36) suffix.push_back(kLetters[seed % 36]);
  const std::size_t slash = target.rfind('/');
  return target.substr(0, slash + 1) + "." + target.substr(slash + 1) + ".veltrane-" + suffix;
}

// The new file, written and flushed, and (once it has one) its name.
struct CNewFile {
  CDescriptor fd;
  std::string name;  // empty while it has none
};

// Opens a file for the new content in `target`'s folder: without a name
// where the system can, else under a hidden name that `guard` removes when
// the program is stopped. Returns 0 or the error, for the folder.
int OpenNewFile(const std::string& target, CNewFile& file, CStopGuard& guard) {
  const std::string folder = FolderOf(target);
#ifdef O_TMPFILE
  if (!TestSeams().noUnnamedFile) {
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd >= 0) {
      file.fd.Reset(fd);
      return 0;
    }
    // Systems and file systems without unnamed files say so in several
    // ways; the named way below then serves.
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL && errno != ENOENT)
      return errno;
  }
#endif
  for (unsigned attempt = 0;; ++attempt) {
    const std::string name = HiddenName(target, attempt);
    // Remembered before it exists, so that no moment passes with the file
    // there and the handler unaware of it.
    guard.Remember(name);
    const int fd = ::open(name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
    if (fd >= 0) {
      file.fd.Reset(fd);
      file.name = name;
      return 0;
    }
    guard.Forget();
    if (errno != EEXIST || attempt == 100) return errno;
  }
}

// Gives the unnamed new file a hidden name beside `target`; 0 or the error.
int NameNewFile(const std::string& target, CNewFile& file, CStopGuard& guard) {
  if (!file.name.empty()) return 0;
  const std::string descriptor = "/proc/self/fd/" + std::to_string(file.fd.Get());
  for (unsigned attempt = 0;; ++attempt) {
    const std::string name = HiddenName(target, attempt);
    guard.Remember(name);
    if (::linkat(AT_FDCWD, descriptor.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      file.name = name;
      return 0;
    }
    int failure = errno;
#ifdef AT_EMPTY_PATH
    // Without /proc the descriptor itself serves, for those allowed to.
    if (failure == ENOENT || failure == ENOTDIR) {
      if (::linkat(file.fd.Get(), "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0) {
        file.name = name;
        return 0;
      }
      failure = errno;
    }
#endif
    guard.Forget();
    if (failure != EEXIST || attempt == 100) return failure;
  }
}

// Writes `bytes` to a new file beside `target` with the old file's
// metadata, flushed; 0 or the error (with the failing path in `where`).
int WriteNewFile(const std::string& target, int old, const struct stat& oldStatus,
                 std::string_view bytes, CNewFile& file, CStopGuard& guard, std::string& where) {
  where = FolderOf(target);
  if (const int failure = OpenNewFile(target, file, guard)) return failure;
  where = file.name.empty() ? target : file.name;
  int failure = TakeOver(file.fd.Get(), old, oldStatus);
  if (failure == 0) failure = WriteAll(file.fd.Get(), bytes.data(), bytes.size());
  if (failure == 0 && ::fsync(file.fd.Get()) != 0) failure = errno;
  return failure;
}

// Writes a copy of the old file `old` to a new file beside `target`.
int CopyOldFile(const std::string& target, int old, const struct stat& oldStatus,
                CNewFile& file, CStopGuard& guard) {
  if (const int failure = OpenNewFile(target, file, guard)) return failure;
  if (const int failure = TakeOver(file.fd.Get(), old, oldStatus)) return failure;
  std::vector<char> buffer(1 << 20);
  for (std::uint64_t offset = 0;;) {
    const ssize_t n = ::pread(old, buffer.data(), buffer.size(), static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) break;
    if (const int failure = WriteAll(file.fd.Get(), buffer.data(), static_cast<std::size_t>(n)))
      return failure;
    offset += static_cast<std::uint64_t>(n);
  }
  return ::fsync(file.fd.Get()) != 0 ? errno : 0;
}

void Discard(CNewFile& file, CStopGuard& guard) {
  if (!file.name.empty()) ::unlink(file.name.c_str());
  file.name.clear();
  guard.Forget();
  file.fd.Close();
}

void FlushFolder(const std::string& target) {
  // A rename reaches the disk when the folder is flushed; a system that
  // cannot flush folders still has the new file in place.
  const int folder = ::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    ::fsync(folder);
    ::close(folder);
  }
}

// Trades the names of `a` and `b` in one step. False with errno set, EINVAL
// or ENOSYS among others where the system or file system cannot.
bool Exchange(const std::string& a, const std::string& b) {
#if defined(__linux__) && defined(RENAME_EXCHANGE)
  if (TestSeams().noExchange) {
    errno = EINVAL;
    return false;
  }
  return ::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) == 0;
#else
  (void)a;
  (void)b;
  errno = ENOSYS;
  return false;
#endif
}

bool ExchangeUnsupported(int error) {
  return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP || error == ENOTTY;
}

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

}  // namespace

ReplaceOutcome Replace(const std::string& path, std::string_view expected,
                       std::string_view bytes, CFileException& error) {
  std::string target;
  if (!ResolveTarget(path, target, error)) return ReplaceOutcome::failed;
  CDescriptor old(::open(target.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat oldStatus;
  if (old.Get() < 0 || ::fstat(old.Get(), &oldStatus) != 0) {
    error = CFileException(target, errno);
    return ReplaceOutcome::failed;
  }
  if (!S_ISREG(oldStatus.st_mode)) {
    error = CFileException(target, 0, CFileException::notRegularFile);
    return ReplaceOutcome::failed;
  }
  // A file its owner made read-only is not to be changed, though the
  // folder would let a new file take its place; the superuser, whom no
  // permission stops, is held back by the mode all the same.
  if ((oldStatus.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0) {
    error = CFileException(target, (oldStatus.st_mode & 0222) == 0 ? EACCES : errno);
    return ReplaceOutcome::failed;
  }
  // A new file in place of one with several names would leave the others
  // with the old text, and writing into the file itself would give up the
  // one-step replacement: such a file is left alone.
  if (oldStatus.st_nlink > 1) {
    error = CFileException(target, 0, CFileException::severalNames);
    return ReplaceOutcome::failed;
  }

  CStopGuard guard;
  CNewFile file;
  std::string where;
  if (const int failure = WriteNewFile(target, old.Get(), oldStatus, bytes, file, guard, where)) {
    Discard(file, guard);
    // Most often a folder the user may not write in: say which.
    error = CFileException(where, failure);
    return ReplaceOutcome::failed;
  }
  if (TestSeams().newFileWritten) TestSeams().newFileWritten(target);

  // Last look before the swap: whoever wrote the file since it was read
  // keeps what they wrote.
  CLook look;
  if (!Unchanged(old.Get(), expected, look, true) || !Names(target, look)) {
    Discard(file, guard);
    return ReplaceOutcome::changedMeanwhile;
  }
  if (const int failure = NameNewFile(target, file, guard)) {
    Discard(file, guard);
    error = CFileException(FolderOf(target), failure);
    return ReplaceOutcome::failed;
  }
  if (TestSeams().beforeSwap) TestSeams().beforeSwap(target);

  // From here on a stop waits: the names change meaning step by step.
  guard.Block();
  if (Exchange(file.name, target)) {
    // The old file now has the hidden name. Had anything written it, or
    // taken its name, since the last look, the two trade back.
    if (Names(file.name, look) && Unchanged(old.Get(), expected, look, false)) {
      ::unlink(file.name.c_str());
      guard.Forget();
      FlushFolder(target);
      return ReplaceOutcome::replaced;
    }
    if (Exchange(file.name, target)) {
      Discard(file, guard);
      return ReplaceOutcome::changedMeanwhile;
    }
    // Cannot happen short of the folder vanishing: the other program's
    // file keeps the hidden name, and the message says where.
    error = CFileException(file.name, errno);
    guard.Forget();
    return ReplaceOutcome::failed;
  }
  if (!ExchangeUnsupported(errno)) {
    const int failure = errno;
    Discard(file, guard);
    error = CFileException(target, failure);
    return ReplaceOutcome::failed;
  }

  // No exchange: the rename, the look at the old file, and a copy of it put
  // back when it turns out to have changed.
  if (!Names(target, look)) {
    Discard(file, guard);
    return ReplaceOutcome::changedMeanwhile;
  }
  if (::rename(file.name.c_str(), target.c_str()) != 0) {
    const int failure = errno;
    Discard(file, guard);
    error = CFileException(target, failure);
    return ReplaceOutcome::failed;
  }
  file.name.clear();
  guard.Forget();
  FlushFolder(target);
  if (Unchanged(old.Get(), expected, look, false)) return ReplaceOutcome::replaced;
  struct stat changed;
  if (::fstat(old.Get(), &changed) != 0) changed = oldStatus;
  CNewFile copy;
  int failure = CopyOldFile(target, old.Get(), changed, copy, guard);
  if (failure == 0) failure = NameNewFile(target, copy, guard);
  if (failure == 0 && ::rename(copy.name.c_str(), target.c_str()) != 0) failure = errno;
  if (failure != 0) {
    Discard(copy, guard);
    error = CFileException(target, failure);
    return ReplaceOutcome::failed;
  }
  guard.Forget();
  FlushFolder(target);
  return ReplaceOutcome::changedMeanwhile;
}

}  // namespace file_replace
