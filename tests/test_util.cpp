#include "tests/test_util.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

ScratchDir::ScratchDir() {
  // A random name, created only if it is new, as mkdtemp does; the
  // standard library offers that on every system the tests run on.
  std::random_device random;
  const auto base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const auto candidate =
        base / ("veltrane-test-" + std::to_string(random()));
    std::error_code error;
    if (std::filesystem::create_directory(candidate, error)) {
      m_path = candidate.generic_string();
      return;
    }
  }
  std::abort();
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

std::string TextFileBytes(const std::string& text) {
#ifdef _WIN32
  std::string bytes;
  for (char c : text) {
    if (c == '\n') bytes += '\r';
    bytes += c;
  }
  return bytes;
#else
  return text;
#endif
}

std::string WithoutNoteLines(const std::string& gnu) {
  std::string kept;
  std::size_t start = 0;
  for (std::size_t end; (end = gnu.find('\n', start)) != std::string::npos; start = end + 1) {
    const std::string line = gnu.substr(start, end - start + 1);
    // "INPUT:LINE:COLUMN: note: ..."; the input names have no ":".
    const std::size_t columnColon = line.find(':', line.find(':', line.find(':') + 1) + 1);
    if (columnColon == std::string::npos || line.compare(columnColon, 8, ": note: ") != 0)
      kept += line;
  }
  return kept;
}
