#include "platform/desktop/shell.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

void ShellOpen(const std::string& path) {
  // Fork twice so that the viewer is nobody's child here: some openers wait
  // for the viewer to exit, and the dialog must not wait with them, nor
  // leave a zombie behind. The argument vector is built before forking, so
  // the children only exec and exit.
  const char* argv[] = {"xdg-open", path.c_str(), nullptr};
  const pid_t child = ::fork();
  if (child < 0) return;
  if (child == 0) {
    if (::fork() == 0) {
      ::execvp(argv[0], const_cast<char* const*>(argv));
      ::_exit(127);
    }
    ::_exit(0);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
}

bool ExpandShortPath(const std::string&, std::string&) {
  // POSIX file systems have no short names to expand.
  return false;
}
