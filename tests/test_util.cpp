#include "tests/test_util.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

ScratchDir::ScratchDir() {
  std::string pattern =
      (std::filesystem::temp_directory_path() / "veltrane-test-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) std::abort();
  m_path = pattern;
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(m_path, ignored);
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) std::abort();
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

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

std::string WithoutNoteLines(const std::string& gnu) {
  std::string kept;
  std::size_t start = 0;
  for (std::size_t end; (end = gnu.find('\n', start)) != std::string::npos; start = end + 1) {
    const std::string line = gnu.substr(start, end - start + 1);
    const std::size_t lineColon = line.find(':', line.find(':') + 1);
    if (lineColon == std::string::npos || line.compare(lineColon, 8, ": note: ") != 0)
      kept += line;
  }
  return kept;
}
