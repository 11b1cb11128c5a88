#include "lsp/stdio_loop.h"

#include <condition_variable>
#include <cstdlib>
#include <cstdio>
#include <deque>
#include <mutex>
#include <thread>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <cerrno>
#include <csignal>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <unistd.h>
#endif

#include "lsp/framing.h"
#include "lsp/server.h"

namespace {

void PrepareStdio() {
#ifdef _WIN32
  // Text mode would turn the CR LF of every header into LF and back.
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
#else
  // An editor that goes away mid-answer must not kill the server with
  // SIGPIPE: the write fails, and the end of the input ends the server.
  std::signal(SIGPIPE, SIG_IGN);
#endif
}

std::size_t ReadStdin(char* buffer, std::size_t size) {
#ifdef _WIN32
  const int got = _read(0, buffer, static_cast<unsigned>(size));
  return got > 0 ? static_cast<std::size_t>(got) : 0;
#else
  for (;;) {
    const ssize_t got = read(0, buffer, size);
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR) return 0;
  }
#endif
}

// Frames from the reader thread to the server. The reader waits while the
// frames it holds reach kMaxQueuedBytes, so that a client that writes
// faster than the server checks cannot fill memory.
class CFrameQueue {
 public:
  static constexpr std::size_t kMaxQueuedBytes = 256u << 20;

  void Push(CFrame frame) {
    std::unique_lock lock(m_mutex);
    m_roomFreed.wait(lock, [&] { return m_bytes < kMaxQueuedBytes; });
    m_bytes += frame.body.size();
    m_frames.push_back(std::move(frame));
    m_arrived.notify_one();
  }
  void End() {
    std::lock_guard lock(m_mutex);
    m_ended = true;
    m_arrived.notify_one();
  }
  // Waits for frames and takes all that wait; empty once the input ended.
  std::deque<CFrame> TakeAll() {
    std::unique_lock lock(m_mutex);
    m_arrived.wait(lock, [&] { return !m_frames.empty() || m_ended; });
    std::deque<CFrame> frames;
    frames.swap(m_frames);
    m_bytes = 0;
    m_roomFreed.notify_one();
    return frames;
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_arrived;
  std::condition_variable m_roomFreed;
  std::deque<CFrame> m_frames;
  std::size_t m_bytes = 0;
  bool m_ended = false;
};

constexpr std::size_t kLargeMessage = 1u << 20;

void ReleaseFreeMemory() {
#ifdef __GLIBC__
  malloc_trim(0);
#endif
}

}  // namespace

int RunStdioServer(const std::string& version) {
  PrepareStdio();
  CLspServer server(
      [](const std::string& body) {
        const std::string framed = FrameMessage(body);
        std::fwrite(framed.data(), 1, framed.size(), stdout);
        std::fflush(stdout);
      },
      [](std::string_view line) {
        std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());
      },
      version);
  CFrameQueue queue;
  std::thread reader([&queue] {
    CMessageReader input(ReadStdin);
    while (auto frame = input.Next()) queue.Push(std::move(*frame));
    queue.End();
  });
  // The reader may be blocked in a read when the server is done; the
  // process ends without waiting for it.
  reader.detach();
  for (;;) {
    std::deque<CFrame> frames = queue.TakeAll();
    if (frames.empty()) break;
    bool large = false;
    for (CFrame& frame : frames) {
      server.Receive(frame);
      large = large || frame.body.size() >= kLargeMessage;
      frame.body = std::string();
    }
    server.Process();
    // A whole document sent at once leaves its message's copies free but
    // still held by the allocator; they go back to the system, so that
    // the server's memory follows the documents it holds.
    if (large) ReleaseFreeMemory();
    if (server.ExitRequested()) break;
  }
  std::fflush(stdout);
  return server.ExitStatus();
}
