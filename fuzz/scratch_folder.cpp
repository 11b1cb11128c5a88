#include "fuzz/scratch_folder.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fuzz/promise.h"

namespace {

bool IsWritableFolder(const char* path) {
  return path && *path && ::access(path, W_OK | X_OK) == 0;
}

std::string ParentFolder() {
  const char* const candidates[] = {std::getenv("VELTRANE_FUZZ_SCRATCH"), "/dev/shm",
                                    std::getenv("TMPDIR")};
  for (const char* candidate : candidates) {
    if (IsWritableFolder(candidate)) return candidate;
  }
  return "/tmp";
}

}  // namespace

ScratchFolder::ScratchFolder(const char* stem) {
  m_path = ParentFolder() + "/" + stem + "-XXXXXX";
  if (!::mkdtemp(m_path.data())) Violated("a scratch folder can be made");
}

ScratchFolder::~ScratchFolder() {
  Empty();
  ::rmdir(m_path.c_str());
}

std::string ScratchFolder::File(std::string_view name) const {
  std::string path = m_path;
  path += '/';
  path += name;
  return path;
}

void ScratchFolder::Empty() const {
  // The targets make plain files only, so one level is all there is; a
  // folder someone made inside is left alone.
  DIR* dir = ::opendir(m_path.c_str());
  if (!dir) return;
  while (const dirent* entry = ::readdir(dir)) {
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
      continue;
    ::unlink(File(entry->d_name).c_str());
  }
  ::closedir(dir);
}

void WriteWholeFile(const std::string& path, std::string_view bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) Violated("a scratch file can be written");
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  if (std::fclose(f) != 0 || !ok) Violated("a scratch file can be written");
}

std::string ReadWholeFile(const std::string& path) {
  std::string bytes;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return bytes;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;)
    bytes.append(buffer, n);
  std::fclose(f);
  return bytes;
}
