// Small helpers shared by the tests: scratch folders, files, and running a
// program the way a user's shell would.
#ifndef VELTRANE_TESTS_TEST_UTIL_H_
#define VELTRANE_TESTS_TEST_UTIL_H_

#include <string>
#include <vector>

// A fresh folder under the system's temporary folder, removed with all its
// content when the object goes.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& path() const { return m_path; }
  // The path of `name` inside the folder.
  std::string File(const std::string& name) const { return m_path + "/" + name; }

 private:
  std::string m_path;
};

// Writes `bytes` to `path` exactly; aborts the test program on failure.
void WriteBytes(const std::string& path, const std::string& bytes);
// The whole content of `path`; "" when it cannot be read.
std::string ReadBytes(const std::string& path);

// `text` as a file written in text mode holds it: every "\n" becomes the
// system's line end (CR LF on Windows).
std::string TextFileBytes(const std::string& text);

struct RunResult {
  int status = -1;  // exit status, or -1 when the program did not exit
  std::string out;
  std::string err;
};

// Runs `argv` (argv[0] is the program's path) in `dir`, or the current
// folder when `dir` is empty, with standard input from /dev/null. POSIX
// only (tests/run_program.cpp).
RunResult RunProgram(const std::vector<std::string>& argv,
                     const std::string& dir = "");

// The lines of veltrane-check --format=gnu output but the notes
// ("INPUT:LINE:COLUMN: note: ..."), that is, the findings alone.
std::string WithoutNoteLines(const std::string& gnu);

#endif  // VELTRANE_TESTS_TEST_UTIL_H_
