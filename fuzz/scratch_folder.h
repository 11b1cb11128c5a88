// A private folder for the files a fuzz target must make, on a RAM disk
// when there is one, so that writing them costs no disk.
#ifndef VELTRANE_FUZZ_SCRATCH_FOLDER_H_
#define VELTRANE_FUZZ_SCRATCH_FOLDER_H_

#include <string>
#include <string_view>

class ScratchFolder {
 public:
  // Makes a fresh folder in $VELTRANE_FUZZ_SCRATCH, else /dev/shm, else
  // $TMPDIR or /tmp; stops the fuzzer when none can be made.
  explicit ScratchFolder(const char* stem);
  // Removes the folder with everything in it.
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::string& path() const { return m_path; }
  std::string File(std::string_view name) const;
  // Removes everything inside the folder, the folder itself staying.
  void Empty() const;

 private:
  std::string m_path;
};

// Writes `bytes` to `path`, replacing it; stops the fuzzer on failure.
void WriteWholeFile(const std::string& path, std::string_view bytes);
// The content of `path`; "" when it cannot be read.
std::string ReadWholeFile(const std::string& path);

#endif  // VELTRANE_FUZZ_SCRATCH_FOLDER_H_
