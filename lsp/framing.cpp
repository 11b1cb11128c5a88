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

enum class HeaderMatch { none, cut, whole };

// Whether `text` starts with a Content-Length line ("Content-Length:",
// blanks, a byte count, a line end), or is the start of one cut short.
HeaderMatch MatchHeaderLine(std::string_view text) {
  constexpr std::string_view kName = "content-length:";
  const std::size_t named = std::min(text.size(), kName.size());
  if (Lower(text.substr(0, named)) != kName.substr(0, named)) return HeaderMatch::none;
  std::size_t i = named;
  if (i == text.size()) return HeaderMatch::cut;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  const std::size_t digits = i;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
  if (i == text.size()) return HeaderMatch::cut;
  if (i == digits) return HeaderMatch::none;
  if (text[i] == '\n') return HeaderMatch::whole;
  if (text[i] != '\r') return HeaderMatch::none;
  if (i + 1 == text.size()) return HeaderMatch::cut;
  return text[i + 1] == '\n' ? HeaderMatch::whole : HeaderMatch::none;
}

// Where the next message's header starts inside `body`, or npos. A body
// that holds a Content-Length line is no JSON (a string cannot hold a raw
// line end, and outside strings its words are no token), nor is one that
// ends in the start of such a line: its length was too long, and it
// swallowed what came after.
std::size_t HeaderInBody(std::string_view body) {
  // Cut short at the body's end only after something that was the body's
  // own.
  constexpr std::size_t kLongestLine = 40;
  const std::size_t tail = std::max<std::size_t>(1, body.size() - std::min(body.size(), kLongestLine));
  std::size_t found = std::string_view::npos;
  for (const std::string_view word : {"ength:", "ENGTH:"}) {
    for (std::size_t at = body.find(word); at != std::string_view::npos && at < found;
         at = body.find(word, at + 1)) {
      if (at >= 9 && MatchHeaderLine(body.substr(at - 9)) == HeaderMatch::whole) found = at - 9;
    }
  }
  for (std::size_t at = tail; at < body.size() && at < found; ++at) {
    if (MatchHeaderLine(body.substr(at)) != HeaderMatch::none) found = at;
  }
  return found;
}

}  // namespace

CMessageReader::CMessageReader(ReadFn read, std::uint64_t maxBodySize)
    : m_read(std::move(read)), m_maxBodySize(maxBodySize) {}

bool CMessageReader::Fill() {
  if (m_pos < m_end) return true;
  if (m_ended) return false;
  const std::size_t got = m_read(m_buffer.data(), m_buffer.size());
  if (got == 0) {
    m_ended = true;
    return false;
  }
  m_pos = 0;
  m_end = got;
  return true;
}

std::size_t CMessageReader::Take(std::uint64_t most, std::string* into) {
  const char* from = nullptr;
  std::size_t count = 0;
  if (m_replayPos < m_replay.size()) {
    from = m_replay.data() + m_replayPos;
    count = static_cast<std::size_t>(std::min<std::uint64_t>(most, m_replay.size() - m_replayPos));
    m_replayPos += count;
  } else if (Fill()) {
    from = m_buffer.data() + m_pos;
    count = static_cast<std::size_t>(std::min<std::uint64_t>(most, m_end - m_pos));
    m_pos += count;
  }
  if (into) into->append(from, count);
  return count;
}

bool CMessageReader::GetByte(char& c) {
  if (m_replayPos < m_replay.size()) {
    c = m_replay[m_replayPos++];
    return true;
  }
  if (!Fill()) return false;
  c = m_buffer[m_pos++];
  return true;
}

bool CMessageReader::ReadLine(std::string& line, bool& tooLong) {
  char c;
  while (GetByte(c)) {
    m_block.push_back(c);
    if (c == '\n') {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return true;
    }
    // Read no further: the bytes after may already be the next message,
    // which the search for it must still see.
    if (line.size() == kMaxHeaderLine) {
      tooLong = true;
      return true;
    }
    line.push_back(c);
  }
  return false;
}

bool CMessageReader::Resynchronise() {
  constexpr std::string_view kWanted = "content-length:";
  std::size_t matched = 0;
  auto match = [&](char c) {
    const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower == kWanted[matched]) return ++matched == kWanted.size();
    // No proper prefix of the pattern is also its suffix, so a mismatch
    // can only restart at this byte.
    matched = lower == kWanted[0] ? 1 : 0;
    return false;
  };
  std::string unread = m_replay.substr(m_replayPos);
  // The broken block itself first, from its second byte: a header may
  // start in the middle of a line that ran into it.
  for (std::size_t i = 1; i < m_block.size(); ++i) {
    if (match(m_block[i])) {
      m_replay = m_block.substr(i + 1 - kWanted.size()) + unread;
      m_replayPos = 0;
      return true;
    }
  }
  char c;
  while (GetByte(c)) {
    if (match(c)) {
      m_replay = std::string(kLengthHeader) + ":" + m_replay.substr(m_replayPos);
      m_replayPos = 0;
      return true;
    }
  }
  return false;
}

std::optional<CFrame> CMessageReader::Next() {
  if (m_lost) {
    m_lost = false;
    if (!Resynchronise()) return std::nullopt;
  }
  m_block.clear();
  std::optional<std::uint64_t> length;
  std::string problem;
  bool twoLengths = false;
  int lines = 0;
  for (;;) {
    std::string line;
    bool tooLong = false;
    if (!ReadLine(line, tooLong)) return std::nullopt;
    if (line.empty() && !tooLong) {
      // Blank lines before a header block are tolerated; after one they
      // end it.
      if (lines == 0) continue;
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
      if (length) {
        twoLengths = true;
      } else {
        length = ParseLength(std::string_view(line).substr(colon + 1));
        if (!length) problem = "a Content-Length that is not a byte count: \"" + line.substr(0, 80) + "\"";
      }
    }
    if (!problem.empty()) break;
    if (lines > kMaxHeaderLines) {
      problem = "a header block of too many lines";
      break;
    }
  }
  if (problem.empty() && !length) problem = "a header block without Content-Length";
  if (problem.empty() && twoLengths) {
    // Which one is right cannot be told, so the body is not read; the
    // search for the next message starts after the block, not inside it.
    problem = "a header block with two Content-Length headers";
    m_block.clear();
  }
  if (!problem.empty()) {
    m_lost = true;
    return CFrame{CFrame::Kind::badHeader, {}, problem};
  }
  if (*length > m_maxBodySize) {
    // Not skipped by its length: a wrong length would swallow every
    // message after it. The body is read through up to the next header,
    // as after a bad block; a body, being JSON, holds none.
    m_lost = true;
    m_block.clear();
    return CFrame{CFrame::Kind::tooLarge, {},
                  "a message of " + std::to_string(*length) + " bytes, more than the " +
                      std::to_string(m_maxBodySize) + " allowed"};
  }
  CFrame frame;
  frame.body.reserve(static_cast<std::size_t>(*length));
  std::uint64_t missing = *length;
  while (missing > 0) {
    const std::size_t took = Take(missing, &frame.body);
    if (took == 0) return std::nullopt;
    missing -= took;
  }
  // The next message's header is read again where it starts; the body
  // before it goes on as it is, to be answered as no JSON.
  if (const std::size_t header = HeaderInBody(frame.body); header != std::string::npos) {
    m_replay = frame.body.substr(header) + m_replay.substr(m_replayPos);
    m_replayPos = 0;
    frame.body.resize(header);
  }
  return frame;
}

std::string FrameHeader(std::size_t size) {
  return "Content-Length: " + std::to_string(size) + "\r\n\r\n";
}

std::string FrameMessage(std::string_view body) {
  std::string out = FrameHeader(body.size());
  out.append(body);
  return out;
}
