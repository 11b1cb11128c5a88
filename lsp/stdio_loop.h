// The server on standard input and output, as editors start it.
#ifndef VELTRANE_LSP_STDIO_LOOP_H_
#define VELTRANE_LSP_STDIO_LOOP_H_

#include <string>

// Serves until `exit` or the end of standard input. A reader thread
// frames the input while the server works, so that when the server comes
// back for more, every change that arrived meanwhile is taken at once and
// only the newest text is checked. Logs go to standard error. Returns the
// process's exit status: 0 after shutdown and exit, 1 otherwise.
int RunStdioServer(const std::string& version);

#endif  // VELTRANE_LSP_STDIO_LOOP_H_
