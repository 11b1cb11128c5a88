#include "lsp/framing.h"

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

// A stream over `bytes` that hands out at most `chunk` bytes a read, so
// that headers and bodies cross the reader's buffer edges.
CMessageReader::ReadFn Stream(const std::string& bytes, std::size_t chunk = 7) {
  auto position = std::make_shared<std::size_t>(0);
  return [bytes, chunk, position](char* buffer, std::size_t size) {
    const std::size_t take = std::min({size, chunk, bytes.size() - *position});
    std::copy_n(bytes.data() + *position, take, buffer);
    *position += take;
    return take;
  };
}

// The frames as text: a body as itself, a failure as "!bad" or "!large".
std::vector<std::string> Frames(const std::string& bytes, std::uint64_t maxBody = 64) {
  CMessageReader reader(Stream(bytes), maxBody);
  std::vector<std::string> out;
  while (auto frame = reader.Next()) {
    switch (frame->kind) {
      case CFrame::Kind::message: out.push_back(frame->body); break;
      case CFrame::Kind::badHeader: out.push_back("!bad"); break;
      case CFrame::Kind::tooLarge: out.push_back("!large"); break;
    }
  }
  return out;
}

struct FramingCase {
  const char* name;
  std::string bytes;
  std::vector<std::string> frames;
};

TEST(FramingTest, SplitsStreams) {
  const std::string big(65, 'x');
  const std::string kHeaderInString = "{\"text\":\"Content-Length: 5\\r\\n\"}";
  const FramingCase cases[] = {
      {"two messages", "Content-Length: 2\r\n\r\n{}Content-Length: 3\r\n\r\n[1]", {"{}", "[1]"}},
      {"other headers and any case",
       "content-type: application/vscode-jsonrpc; charset=utf-8\r\nCONTENT-LENGTH:1\r\n\r\n7",
       {"7"}},
      {"bare LF line ends", "Content-Length: 2\n\n{}", {"{}"}},
      {"blank lines between messages", "\r\n\r\nContent-Length: 2\r\n\r\n{}", {"{}"}},
      {"no Content-Length, then a good one",
       "Content-Type: x\r\n\r\n{\"lost\":1}Content-Length: 2\r\n\r\n{}", {"!bad", "{}"}},
      {"a length that is no number", "Content-Length: -5\r\n\r\nxxxxxContent-Length: 1\r\n\r\n1",
       {"!bad", "1"}},
      {"an absurd length", "Content-Length: 99999999999999999999999\r\n\r\nContent-Length: 1\r\n\r\n2",
       {"!bad", "2"}},
      {"a body without headers", "{\"jsonrpc\":\"2.0\"}\r\nContent-Length: 1\r\n\r\n3", {"!bad", "3"}},
      {"too large, skipped unread",
       "Content-Length: 65\r\n\r\n" + big + "Content-Length: 1\r\n\r\n4", {"!large", "4"}},
      // A length over the limit is no reason to swallow what follows.
      {"too large, then a message at once",
       "Content-Length: 65\r\n\r\n" + FrameMessage("{}") + FrameMessage("[2]"), {"!large", "{}", "[2]"}},
      // The words of a header inside a JSON string are found, but are no
      // header line: one more error, and the message after is read.
      {"too large by far, with a header's words in its body",
       "Content-Length: 99999999\r\nContent-Type: x\r\n\r\n" + kHeaderInString + FrameMessage("4"),
       {"!large", "!bad", "4"}},
      {"the limit itself is fine", "Content-Length: 64\r\n\r\n" + std::string(64, 'y'),
       {std::string(64, 'y')}},
      {"a body cut short by the end", "Content-Length: 10\r\n\r\nabc", {}},
      {"an empty stream", "", {}},
      {"an overlong header line",
       std::string(10000, 'A') + "\r\n\r\nContent-Length: 1\r\n\r\n5", {"!bad", "5"}},
      {"a search that restarts inside the name",
       "x: y\r\n\r\nContenContent-Length: 1\r\n\r\n6", {"!bad", "6"}},
      // The next message's header stands inside the broken block itself.
      {"a header line that runs into a body",
       "Content-Length: 2\r\n{}Content-Length: 1\r\n\r\n7", {"!bad", "7"}},
      {"a length shorter than its body",
       "Content-Length: 2\r\n\r\n{\"a\":1}Content-Length: 1\r\n\r\n8", {"{\"", "!bad", "8"}},
      {"CR CR as the separator", "Content-Length: 2\r\r{}Content-Length: 1\r\n\r\n9",
       {"!bad", "9"}},
      {"an overlong line that ends in a header",
       std::string(9000, 'B') + "Content-Length: 1\r\n\r\nA", {"!bad", "A"}},
      // The body swallows the next message and part of the one after; a
      // header in a JSON string is text, not a header.
      {"a length longer than its body",
       "Content-Length: 30\r\n\r\n{}" + FrameMessage("D") + FrameMessage(kHeaderInString),
       {"{}", "D", kHeaderInString}},
      {"a length that ends inside the next header",
       "Content-Length: 6\r\n\r\n{}" + FrameMessage("E"), {"{}", "E"}},
      {"two Content-Length headers",
       "Content-Length: 1\r\nContent-Length: 2\r\n\r\n{}Content-Length: 1\r\n\r\nC",
       {"!bad", "C"}},
  };
  for (const FramingCase& c : cases) {
    EXPECT_EQ(Frames(c.bytes), c.frames) << c.name;
  }
}

TEST(FramingTest, HeaderlessGarbageKeepsMemoryBounded) {
  // Megabytes without a line end or a header: read through, never held.
  const std::string garbage(3 << 20, 'z');
  EXPECT_EQ(Frames(garbage + "\nContent-Length: 1\r\n\r\n8"), (std::vector<std::string>{"!bad", "8"}));
}

TEST(FramingTest, FrameMessageRoundTrips) {
  const std::string body = "{\"a\":\"\xC3\xA4\"}";
  EXPECT_EQ(FrameMessage(body), "Content-Length: 10\r\n\r\n" + body);
  EXPECT_EQ(Frames(FrameMessage(body) + FrameMessage("")), (std::vector<std::string>{body, ""}));
}

}  // namespace
