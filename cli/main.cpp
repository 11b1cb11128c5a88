#include <cstdio>
#include <string>
#include <vector>

#include "cli/check_command.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return RunCheckCommand(args, stdout, stderr);
}
