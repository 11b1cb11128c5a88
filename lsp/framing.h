// The base protocol's framing: each message is a header block ("Name: value"
// lines, one of them Content-Length, then an empty line) and a body of
// exactly that many bytes.
#ifndef VELTRANE_LSP_FRAMING_H_
#define VELTRANE_LSP_FRAMING_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One unit the reader hands on: a body, or a header block it could not use.
struct CFrame {
  enum class Kind {
    message,    // `body` holds the message
    badHeader,  // no usable Content-Length; the reader looks for the next one
    tooLarge,   // a body over the limit; the reader looks for the next header
  };
  Kind kind = Kind::message;
  std::string body;
  std::string problem;  // for the two failures: what was wrong, for people
};

// Splits a byte stream into frames. Memory stays bounded by the largest
// body allowed plus a header block: after a bad header block the reader
// looks for the next "Content-Length:" from the block's second byte on (a
// line that ran into the next message's header holds it), and after a
// length over the limit from the end of its block on, dropping what it
// reads.
class CMessageReader {
 public:
  // Reads up to `size` bytes into `buffer`; returns how many, 0 at the end
  // of the stream. May block.
  using ReadFn = std::function<std::size_t(char* buffer, std::size_t size)>;

  static constexpr std::uint64_t kMaxBodySize = 64u << 20;
  static constexpr std::size_t kMaxHeaderLine = 8192;
  static constexpr int kMaxHeaderLines = 64;

  explicit CMessageReader(ReadFn read, std::uint64_t maxBodySize = kMaxBodySize);

  // The next frame, or nullopt when the stream ends (a frame cut short by
  // the end is dropped).
  std::optional<CFrame> Next();

  // Whether bytes already read wait in the reader's buffer.
  bool HasBufferedBytes() const { return m_pos < m_end || m_replayPos < m_replay.size(); }

 private:
  bool Fill();
  // Takes up to `most` bytes (at least one unless the stream ended),
  // appending them to `into` when given; returns how many.
  std::size_t Take(std::uint64_t most, std::string* into);
  bool GetByte(char& c);
  // Reads a header line into `line` (without its CR LF or LF), keeping its
  // bytes in m_block. Returns false at the end of the stream. A line longer
  // than kMaxHeaderLine is read no further and sets `tooLong`.
  bool ReadLine(std::string& line, bool& tooLong);
  // Drops bytes up to the next "Content-Length:" (any case) after the
  // first byte of m_block, and leaves the reader on it; returns false at
  // the end of the stream.
  bool Resynchronise();

  ReadFn m_read;
  std::uint64_t m_maxBodySize;
  // As large as a pipe holds: a message that a client writes at once then
  // comes out of one read, together with any message written with it.
  std::vector<char> m_buffer = std::vector<char>(std::size_t{64} << 10);
  std::size_t m_pos = 0;
  std::size_t m_end = 0;
  bool m_ended = false;
  bool m_lost = false;           // the last header block was bad
  std::string m_block;           // the bytes of the last header block
  std::string m_replay;          // bytes to read again before the stream's
  std::size_t m_replayPos = 0;
};

// The header block of a body of `size` bytes.
std::string FrameHeader(std::size_t size);
// `body` with its header block, ready to write.
std::string FrameMessage(std::string_view body);

#endif  // VELTRANE_LSP_FRAMING_H_
