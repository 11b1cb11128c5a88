#include "lsp/framing.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

constexpr std::string_view kLengthHeader = "content-length";

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool IsTokenChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_';
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// Decimal digits only; nullopt for anything else or more than 18 digits
// (no body that long could be meant).
std::optional<std::uint64_t> ParseLength(std::string_view text) {
  text = Trim(text);
  if (text.empty() || text.size() > 18) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return value;
}

}  // namespace

CMessageReader::CMessageReader(ReadFn read, std::uint64_t maxBodySize)
    : m_read(std::move(read)), m_maxBodySize(maxBodySize) {}

bool CMessageReader::Fill() {
  if (m_pos < m_end) return true;
  if (m_ended) return false;
  const std::size_t got = m_read(m_buffer, sizeof m_buffer);
  if (got == 0) {
    m_ended = true;
    return false;
  }
  m_pos = 0;
  m_end = got;
  return true;
}

bool CMessageReader::GetByte(char& c) {
  if (!Fill()) return false;
  c = m_buffer[m_pos++];
  return true;
}

bool CMessageReader::ReadLine(std::string& line, bool& tooLong) {
  char c;
  while (GetByte(c)) {
    if (c == '\n') {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return true;
    }
    if (line.size() < kMaxHeaderLine)
      line.push_back(c);
    else
      tooLong = true;
  }
  return false;
}

bool CMessageReader::Skip(std::uint64_t count) {
  while (count > 0) {
    if (!Fill()) return false;
    const std::size_t take =
        static_cast<std::size_t>(std::min<std::uint64_t>(count, m_end - m_pos));
    m_pos += take;
    count -= take;
  }
  return true;
}

bool CMessageReader::Resynchronise() {
  const std::string_view wanted = "content-length:";
  std::size_t matched = 0;
  char c;
  while (GetByte(c)) {
    const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower == wanted[matched]) {
      if (++matched == wanted.size()) return true;
    } else {
      // No proper prefix of the pattern is also its suffix, so a mismatch
      // can only restart at this byte.
      matched = lower == wanted[0] ? 1 : 0;
    }
  }
  return false;
}

std::optional<CFrame> CMessageReader::Next() {
  if (m_skipPending > 0) {
    const std::uint64_t count = m_skipPending;
    m_skipPending = 0;
    if (!Skip(count)) return std::nullopt;
  }
  std::string line;
  if (m_lost) {
    m_lost = false;
    if (!Resynchronise()) return std::nullopt;
    line = "Content-Length:";
  }
  std::optional<std::uint64_t> length;
  std::string problem;
  int lines = 0;
  for (;;) {
    bool tooLong = false;
    if (!ReadLine(line, tooLong)) return std::nullopt;
    if (line.empty()) {
      // Blank lines before a header block are tolerated; after one they
      // end it.
      if (lines == 0 && problem.empty()) continue;
      break;
    }
    ++lines;
    const std::size_t colon = line.find(':');
    const std::string_view name =
        colon == std::string::npos ? std::string_view() : std::string_view(line).substr(0, colon);
    if (tooLong) {
      problem = "a header line longer than " + std::to_string(kMaxHeaderLine) + " bytes";
    } else if (name.empty() || !std::all_of(name.begin(), name.end(), IsTokenChar)) {
      problem = "a line that is not a header: \"" + line.substr(0, 80) + "\"";
    } else if (Lower(name) == kLengthHeader) {
      length = ParseLength(std::string_view(line).substr(colon + 1));
      if (!length) problem = "a Content-Length that is not a byte count: \"" + line.substr(0, 80) + "\"";
    }
    line.clear();
    if (!problem.empty() || lines > kMaxHeaderLines) break;
  }
  if (problem.empty() && lines > kMaxHeaderLines) problem = "a header block of too many lines";
  if (problem.empty() && !length) problem = "a header block without Content-Length";
  if (!problem.empty()) {
    m_lost = true;
    return CFrame{CFrame::Kind::badHeader, {}, problem};
  }
  if (*length > m_maxBodySize) {
    m_skipPending = *length;
    return CFrame{CFrame::Kind::tooLarge, {},
                  "a message of " + std::to_string(*length) + " bytes, more than the " +
                      std::to_string(m_maxBodySize) + " allowed"};
  }
  CFrame frame;
  frame.body.reserve(static_cast<std::size_t>(*length));
  std::uint64_t missing = *length;
  while (missing > 0) {
    if (!Fill()) return std::nullopt;
    const std::size_t take =
        static_cast<std::size_t>(std::min<std::uint64_t>(missing, m_end - m_pos));
    frame.body.append(m_buffer + m_pos, take);
    m_pos += take;
    missing -= take;
  }
  return frame;
}

std::string FrameMessage(std::string_view body) {
  std::string out = "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
  out.append(body);
  return out;
}
