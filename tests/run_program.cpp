#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

#include "tests/test_util.h"

RunResult RunProgram(const std::vector<std::string>& argv,
                     const std::string& dir) {
  ScratchDir capture;
  const std::string outPath = capture.File("out");
  const std::string errPath = capture.File("err");
  RunResult result;
  pid_t pid = ::fork();
  if (pid < 0) return result;
  if (pid == 0) {
    int in = ::open("/dev/null", O_RDONLY);
    int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0) ::_exit(127);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    if (!dir.empty() && ::chdir(dir.c_str()) != 0) ::_exit(127);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
  }
  if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
  result.out = ReadBytes(outPath);
  result.err = ReadBytes(errPath);
  return result;
}
