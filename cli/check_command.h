// veltrane-check: the checking engine for scripts and terminals.
#ifndef VELTRANE_CLI_CHECK_COMMAND_H_
#define VELTRANE_CLI_CHECK_COMMAND_H_

#include <cstdio>
#include <string>
#include <vector>

// Exit statuses of veltrane-check.
constexpr int kExitClean = 0;     // no findings: the protocol counts no errors
constexpr int kExitFindings = 1;  // findings: the protocol counts errors
constexpr int kExitFailure = 2;   // bad arguments, an unreadable input, unwritable protocol

// Writes `message` to `err` as one line, after the program's name.
void Complain(std::FILE* err, const std::string& message);

// Runs veltrane-check with `args` (without the program name), writing the
// protocol, the findings or the help to `out` and every failure as one line
// to `err`. Returns the exit status.
int RunCheckCommand(const std::vector<std::string>& args, std::FILE* out,
                    std::FILE* err);

#endif  // VELTRANE_CLI_CHECK_COMMAND_H_
