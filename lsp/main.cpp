#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "lsp/stdio_loop.h"

namespace {

constexpr std::string_view kUsage =
    "Usage: veltrane-lsp [--help | --version]\n"
    "\n"
    "The Veltrane language server: checks instrument definition files (.ins)\n"
    "as an editor holds them, and offers their lists for navigation,\n"
    "completion and renaming. It speaks the Language Server Protocol on\n"
    "standard input and output and logs to standard error; an editor starts\n"
    "it, a person does not need to.\n";

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fwrite(kUsage.data(), 1, kUsage.size(), stdout);
      return 0;
    }
    if (arg == "--version") {
      std::printf("veltrane-lsp %s\n", VELTRANE_VERSION);
      return 0;
    }
    // Editors pass --stdio to servers that can also listen elsewhere.
    if (arg == "--stdio") continue;
    std::fprintf(stderr, "veltrane-lsp: unknown argument %s\n%.*s", argv[i],
                 static_cast<int>(kUsage.size()), kUsage.data());
    return 2;
  }
  const int status = RunStdioServer(VELTRANE_VERSION);
  std::fflush(stderr);
  // The reader thread may still wait for input that will never come.
  std::_Exit(status);
}
