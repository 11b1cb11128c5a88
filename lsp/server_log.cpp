#include "lsp/server_log.h"

#include <cstdio>

std::string EscapeForLog(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F && byte != '\\') {
      out.push_back(c);
      continue;
    }
    char escaped[5];
    std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
    out.append(escaped);
  }
  return out;
}

void CServerLog::Write(LogEvent event, std::string_view what) {
  std::uint64_t& count = m_counts.at(static_cast<std::size_t>(event));
  ++count;
  std::uint64_t power = 1;
  while (power < count && power <= UINT64_MAX / 10) power *= 10;
  if (power != count || !m_write) return;
  std::string line = "veltrane-lsp: " + EscapeForLog(what);
  if (count > 1) line += " (" + std::to_string(count) + " times so far)";
  m_write(line);
}
