// veltrane-gen-ins: writes a large instrument definition file for
// measurements and fuzz seeds.
//   veltrane-gen-ins (--mb N | --kbytes N) [--seed S] --output PATH
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "bench/ins_generator.h"

namespace {

int Usage() {
  std::fputs("Usage: veltrane-gen-ins (--mb N | --kbytes N) [--seed S] --output PATH\n",
             stderr);
  return 2;
}

bool ParseNumber(const char* text, std::uint64_t& value) {
  char* end = nullptr;
  value = std::strtoull(text, &end, 10);
  return end != text && *end == '\0';
}

}  // namespace

int main(int argc, char** argv) {
  std::uint64_t bytes = 0, seed = 1, n = 0;
  std::string output;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string_view option = argv[i];
    if (option == "--output") {
      output = argv[i + 1];
    } else if (!ParseNumber(argv[i + 1], n)) {
      return Usage();
    } else if (option == "--mb") {
      bytes = n << 20;
    } else if (option == "--kbytes") {
      bytes = n << 10;
    } else if (option == "--seed") {
      seed = n;
    } else {
      return Usage();
    }
  }
  if (argc % 2 == 0 || bytes == 0 || output.empty()) return Usage();

  std::FILE* file = std::fopen(output.c_str(), "wb");
  if (!file) {
    std::perror(output.c_str());
    return 2;
  }
  bool ok = true;
  GenerateIns(seed, bytes, [&](std::string_view piece) {
    ok = ok && std::fwrite(piece.data(), 1, piece.size(), file) == piece.size();
  });
  if (std::fclose(file) != 0 || !ok) {
    std::perror(output.c_str());
    return 2;
  }
  return 0;
}
