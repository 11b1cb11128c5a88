#include "platform/file.h"

#include <algorithm>
#include <cstring>

namespace {

// The fuzz build shrinks the read buffer so that small inputs reach its
// edges, where a CR LF or a piece can be split between two reads.
#ifdef VELTRANE_READ_BUFFER_SIZE
constexpr std::size_t kReadBufferSize = VELTRANE_READ_BUFFER_SIZE;
#else
constexpr std::size_t kReadBufferSize = 256 * 1024;
#endif
static_assert(kReadBufferSize > CStdioFile::kMaxPiece,
              "a piece and the byte after it must fit in the read buffer");
constexpr std::size_t kWriteBufferSize = 64 * 1024;

// What a "\n" written in text mode becomes: the line end of the system the
// protocol is read on.
#ifdef _WIN32
constexpr std::string_view kTextLineEnd = "\r\n";
#else
constexpr std::string_view kTextLineEnd = "\n";
#endif

}  // namespace

CFileException::CFileException(std::string path, int osError, Cause cause)
    : m_strFileName(std::move(path)), m_lOsError(osError), m_cause(cause) {
  m_strMessage = m_strFileName + ": " + GetErrorText();
}

std::string CFileException::GetErrorText() const {
  if (m_cause == sharingViolation) return "locked by another process";
  if (m_cause == notRegularFile) return "not a regular file";
  if (m_lOsError == 0) return "unknown error";
  return std::strerror(m_lOsError);
}

CFile::~CFile() { Abort(); }

std::uint64_t CFile::GetLength() const { return GetStatus().m_size; }

CStdioFile::~CStdioFile() = default;

bool CStdioFile::Open(const std::string& path, unsigned flags,
                      CFileException* error) {
  DiscardReadBuffer();
  m_writeBuffer.clear();
  return CFile::Open(path, flags, error);
}

void CStdioFile::Close() {
  if (!IsOpen()) return;
  try {
    Flush();
  } catch (...) {
    m_writeBuffer.clear();
    Abort();
    throw;
  }
  DiscardReadBuffer();
  CFile::Close();
}

void CStdioFile::SetLength(std::uint64_t length) {
  Flush();
  CFile::SetLength(length);
}

std::uint64_t CStdioFile::Seek(std::int64_t offset, SeekPosition from) {
  Flush();
  if (from == current) offset -= static_cast<std::int64_t>(m_readEnd - m_readPos);
  DiscardReadBuffer();
  return CFile::Seek(offset, from);
}

void CStdioFile::DiscardReadBuffer() {
  m_readPos = 0;
  m_readEnd = 0;
  m_bReadAtEnd = false;
}

bool CStdioFile::FillReadBuffer() {
  if (m_readBuffer.empty()) m_readBuffer.resize(kReadBufferSize);
  m_readPos = 0;
  m_readEnd = Read(m_readBuffer.data(), m_readBuffer.size());
  return m_readEnd > 0;
}

bool CStdioFile::ReadString(std::string& piece, std::size_t nMax) {
  piece.clear();
  const std::size_t limit = nMax > 0 ? nMax - 1 : 0;
  while (piece.size() < limit) {
    if (m_readPos == m_readEnd && !FillReadBuffer()) break;
    const char* p = m_readBuffer.data() + m_readPos;
    const std::size_t n = std::min(m_readEnd - m_readPos, limit - piece.size());
    const char* nl = static_cast<const char*>(std::memchr(p, '\n', n));
    const std::size_t span = nl ? static_cast<std::size_t>(nl - p) : n;
    const char* cr =
        IsText() ? static_cast<const char*>(std::memchr(p, '\r', span)) : nullptr;
    if (cr) {
      // CR LF reads as "\n"; any other CR is an ordinary character. The LF
      // may lie beyond the buffer, so the CR is consumed before refilling.
      const std::size_t k = static_cast<std::size_t>(cr - p);
      piece.append(p, k);
      m_readPos += k + 1;
      bool lf = (m_readPos < m_readEnd || FillReadBuffer()) &&
                m_readBuffer[m_readPos] == '\n';
      if (lf) {
        ++m_readPos;
        piece.push_back('\n');
        return true;
      }
      piece.push_back('\r');
      continue;
    }
    if (nl) {
      piece.append(p, span + 1);
      m_readPos += span + 1;
      return true;
    }
    piece.append(p, n);
    m_readPos += n;
  }
  return !piece.empty();
}

void CStdioFile::TopUpReadBuffer(std::size_t wanted) {
  if (m_readBuffer.empty()) m_readBuffer.resize(kReadBufferSize);
  const std::size_t unread = m_readEnd - m_readPos;
  std::memmove(m_readBuffer.data(), m_readBuffer.data() + m_readPos, unread);
  m_readPos = 0;
  m_readEnd = unread;
  while (m_readEnd < wanted && !m_bReadAtEnd) {
    const std::size_t n =
        Read(m_readBuffer.data() + m_readEnd, m_readBuffer.size() - m_readEnd);
    if (n == 0) m_bReadAtEnd = true;
    m_readEnd += n;
  }
}

bool CStdioFile::ReadPiece(std::string_view& piece) {
  // With a whole piece and the byte after it in the buffer, every piece is
  // decided in place: this is the scanner's inner loop, so it neither copies
  // nor allocates.
  if (m_readEnd - m_readPos < kMaxPiece + 1) TopUpReadBuffer(kMaxPiece + 1);
  const std::size_t unread = m_readEnd - m_readPos;
  if (unread == 0) {
    piece = {};
    return false;
  }
  char* p = m_readBuffer.data() + m_readPos;
  const std::size_t n = std::min(unread, kMaxPiece);
  std::size_t length = n;
  std::size_t consumed = n;
  if (const char* nl = static_cast<const char*>(std::memchr(p, '\n', n))) {
    length = consumed = static_cast<std::size_t>(nl - p) + 1;
  } else if (n == kMaxPiece && unread > n && p[n] == '\n' && IsText() &&
             p[n - 1] == '\r') {
    // A CR LF whose CR is the piece's last character still ends it.
    length = n + 1;
    consumed = n + 1;
  }
  // Text mode: a CR just before the LF makes one "\n" with it, so the LF
  // takes the CR's place and the piece ends there. Any other CR stays.
  if (IsText() && length >= 2 && p[length - 1] == '\n' && p[length - 2] == '\r') {
    p[length - 2] = '\n';
    --length;
  }
  m_readPos += consumed;
  piece = std::string_view(p, length);
  return true;
}

void CStdioFile::WriteString(std::string_view text) {
  if (!IsText() || kTextLineEnd == "\n") {
    WriteBytes(text);
    return;
  }
  for (std::size_t nl; (nl = text.find('\n')) != std::string_view::npos;
       text.remove_prefix(nl + 1)) {
    WriteBytes(text.substr(0, nl));
    WriteBytes(kTextLineEnd);
  }
  WriteBytes(text);
}

void CStdioFile::WriteBytes(std::string_view bytes) {
  if (m_writeBuffer.size() + bytes.size() > kWriteBufferSize) {
    Flush();
    if (bytes.size() >= kWriteBufferSize) {
      Write(bytes.data(), bytes.size());
      return;
    }
  }
  m_writeBuffer.append(bytes);
}

void CStdioFile::Flush() {
  if (m_writeBuffer.empty() || !IsOpen()) return;
  try {
    Write(m_writeBuffer.data(), m_writeBuffer.size());
  } catch (...) {
    m_writeBuffer.clear();
    throw;
  }
  m_writeBuffer.clear();
}
