#include "lsp/stdio_loop.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

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

  // Hands over `frames` at once and empties it.
  void Push(std::vector<CFrame>& frames) {
    if (frames.empty()) return;
    std::unique_lock lock(m_mutex);
    m_roomFreed.wait(lock, [&] { return m_bytes < kMaxQueuedBytes; });
    for (CFrame& frame : frames) {
      m_bytes += frame.body.size();
      m_frames.push_back(std::move(frame));
    }
    frames.clear();
    m_arrived.notify_one();
  }
  void End() {
    std::lock_guard lock(m_mutex);
    m_ended = true;
    m_arrived.notify_one();
  }
  // Whether a frame, or the end, came within `limit`.
  bool WaitFor(std::chrono::milliseconds limit) {
    std::unique_lock lock(m_mutex);
    return m_arrived.wait_for(lock, limit, [&] { return !m_frames.empty() || m_ended; });
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
constexpr std::size_t kManyMessages = 16000;
constexpr std::chrono::milliseconds kQuietBeforeTrim{100};

// Standard error through a thread of its own: a client that never reads it
// fills its pipe, and then the writer waits, not the server. Lines that
// find the queue full are dropped and counted.
class CStderrWriter {
 public:
  static constexpr std::size_t kMaxQueuedLines = 64;

  CStderrWriter() : m_thread([this] { Run(); }) { m_thread.detach(); }

  void Push(std::string_view line) {
    std::lock_guard lock(m_mutex);
    if (m_lines.size() >= kMaxQueuedLines) {
      ++m_dropped;
      return;
    }
    m_lines.emplace_back(line);
    m_changed.notify_all();
  }

  // Waits at most `limit` for the queued lines to be written.
  void Drain(std::chrono::milliseconds limit) {
    std::unique_lock lock(m_mutex);
    m_changed.wait_for(lock, limit, [&] { return m_lines.empty() && !m_writing; });
  }

 private:
  void Run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
      m_changed.wait(lock, [&] { return !m_lines.empty(); });
      std::string line = std::move(m_lines.front());
      m_lines.pop_front();
      const std::uint64_t dropped = std::exchange(m_dropped, 0);
      m_writing = true;
      lock.unlock();
      if (dropped > 0) std::fprintf(stderr, "veltrane-lsp: %llu log lines dropped\n",
                                    static_cast<unsigned long long>(dropped));
      std::fprintf(stderr, "%s\n", line.c_str());
      std::fflush(stderr);
      lock.lock();
      m_writing = false;
      m_changed.notify_all();
    }
  }

  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::deque<std::string> m_lines;
  std::uint64_t m_dropped = 0;
  bool m_writing = false;
  std::thread m_thread;
};

// Writes `body` with its header, without copying it into one string: a
// large list of diagnostics would need twice its size for a moment.
void WriteMessage(const std::string& body) {
  const std::string header = FrameHeader(body.size());
  std::fwrite(header.data(), 1, header.size(), stdout);
  std::fwrite(body.data(), 1, body.size(), stdout);
  std::fflush(stdout);
}

void ReleaseFreeMemory() {
#ifdef __GLIBC__
  malloc_trim(0);
#endif
}

}  // namespace

int RunStdioServer(const std::string& version) {
  PrepareStdio();
  // Never destroyed: its thread may wait on a full pipe when the process
  // ends.
  static CStderrWriter* const errors = new CStderrWriter;
  CLspServer server(WriteMessage, [](std::string_view line) { errors->Push(line); }, version);
  CFrameQueue queue;
  std::thread reader([&queue] {
    // The frames that came out of one read go to the server together, just
    // before the reader waits for more: a request and the cancellation
    // written right behind it are then handled in one pass, and the
    // cancellation is known when the request's turn comes.
    std::vector<CFrame> read;
    CMessageReader input([&](char* buffer, std::size_t size) {
      queue.Push(read);
      return ReadStdin(buffer, size);
    });
    while (auto frame = input.Next()) read.push_back(std::move(*frame));
    queue.Push(read);
    queue.End();
  });
  // The reader may be blocked in a read when the server is done; the
  // process ends without waiting for it.
  reader.detach();
  // Messages since memory last went back to the system.
  std::size_t received = 0;
  for (;;) {
    // Messages and their answers leave memory free but still held by the
    // allocator (in the reader thread's arena, too); once the messages
    // stop coming for a moment, it goes back to the system, so that the
    // server's memory follows the documents it holds, after a flood too.
    if (received > 0 && !queue.WaitFor(kQuietBeforeTrim)) {
      ReleaseFreeMemory();
      received = 0;
    }
    std::deque<CFrame> frames = queue.TakeAll();
    if (frames.empty()) break;
    received += frames.size();
    bool large = false;
    for (CFrame& frame : frames) {
      server.Receive(frame);
      large = large || frame.body.size() >= kLargeMessage;
      frame.body = std::string();
    }
    frames = std::deque<CFrame>();
    server.Process();
    // A whole document sent at once, or closed, goes back at once; so does
    // what a long flood leaves, now and then.
    if (server.TakeMemoryFreed() || large || received >= kManyMessages) {
      ReleaseFreeMemory();
      received = 0;
    }
    if (server.ExitRequested()) break;
  }
  std::fflush(stdout);
  errors->Drain(std::chrono::milliseconds(500));
  return server.ExitStatus();
}
