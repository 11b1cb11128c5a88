// What the server tells standard error, bounded: a client that repeats a
// mistake a million times gets a handful of lines, not a million.
#ifndef VELTRANE_LSP_SERVER_LOG_H_
#define VELTRANE_LSP_SERVER_LOG_H_

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

enum class LogEvent {
  badFrame,             // a header block or body the reader could not use
  badMessage,           // a body that is not a JSON-RPC message
  ignoredNotification,  // a notification the server does not handle
  notificationFailed,   // a notification with parameters it could not use
  requestFailed,        // a request that failed inside the server
  checkFailed,          // a document whose check failed
  ruleSettings,         // a veltrane.toml or rule setting that cannot be used
};

class CServerLog {
 public:
  // `write` gets each line, without its line end; may be empty.
  using WriteFn = std::function<void(std::string_view line)>;
  explicit CServerLog(WriteFn write) : m_write(std::move(write)) {}

  // Logs `what` the first, tenth, hundredth... time an event of its kind
  // happens, with the count from the tenth on. Bytes outside printable
  // ASCII are written as \xNN: what a client sent may hold anything.
  void Write(LogEvent event, std::string_view what);

 private:
  WriteFn m_write;
  std::array<std::uint64_t, 7> m_counts{};
};

// `text` with every byte outside printable ASCII, and the backslash, as
// \xNN.
std::string EscapeForLog(std::string_view text);

#endif  // VELTRANE_LSP_SERVER_LOG_H_
