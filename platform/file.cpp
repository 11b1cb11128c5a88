#include "platform/file.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <limits>

#include "platform/line_end_index.h"

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
  if (m_cause == severalNames)
    return "has more than one name (hard links), which a fix would part";
  if (m_lOsError == 0) return "unknown error";
  return std::strerror(m_lOsError);
}

CFile::~CFile() { Abort(); }

std::uint64_t CFile::GetLength() const { return GetStatus().m_size; }

CStdioFile::~CStdioFile() = default;

bool CStdioFile::Open(const std::string& path, unsigned flags,
                      CFileException* error) {
  Abort();
  return CFile::Open(path, flags, error);
}

void CStdioFile::OpenMemory(std::string_view bytes, const std::string& name,
                            unsigned flags) {
  Abort();
  m_bMemory = true;
  m_memory = bytes;
  m_nFlags = flags;
  m_strFileName = name;
}

void CStdioFile::OpenPart(const CStdioFile& source, std::uint64_t begin, std::uint64_t end) {
  Abort();
  m_nFlags = source.m_nFlags;
  m_strFileName = source.m_strFileName;
  m_bPart = true;
  if (source.m_bMemory) {
    // The bytes before `begin` stay in view, unread, so that offsets count
    // from the start as in the source.
    m_bMemory = true;
    m_memory = source.m_memory.substr(0, static_cast<std::size_t>(
                                             std::min<std::uint64_t>(end, source.m_memory.size())));
    m_memoryPos = begin;
  } else {
    m_pPartOf = &source;
    m_partPos = begin;
    m_partEnd = end;
  }
  DiscardReadBuffer(begin);
}

std::uint64_t CStdioFile::GetSourceLength() const {
  return m_bMemory ? m_memory.size() : GetLength();
}

void CStdioFile::Abort() noexcept {
  DiscardReadBuffer();
  m_writeBuffer.clear();
  m_pPartOf = nullptr;
  m_bPart = false;
  m_bMemory = false;
  m_memory = {};
  m_memoryPos = 0;
  CFile::Abort();
}

void CStdioFile::Close() {
  if (m_bMemory || m_bPart) {
    Abort();
    return;
  }
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
  if (m_bPart) throw CFileException(m_strFileName, ESPIPE);
  const std::size_t unread = m_readEnd - m_readPos;
  if (m_bMemory) {
    // As on a file: a position before the start or past what an offset can
    // hold is an error, one beyond the end reads nothing. A failed seek
    // leaves the place and the buffer as they were.
    const std::uint64_t bases[] = {0, m_memoryPos - unread, m_memory.size()};
    const std::uint64_t base = bases[from];
    const std::uint64_t step = static_cast<std::uint64_t>(offset);
    constexpr std::uint64_t kMaxPos = std::numeric_limits<std::int64_t>::max();
    if (offset < 0 ? 0 - step > base : step > kMaxPos - base)
      throw CFileException(m_strFileName, EINVAL);
    m_memoryPos = base + step;  // wraps back below `base` when moving back
    DiscardReadBuffer(m_memoryPos);
    return m_memoryPos;
  }
  if (from == current) offset -= static_cast<std::int64_t>(unread);
  const std::uint64_t position = CFile::Seek(offset, from);
  DiscardReadBuffer(position);
  return position;
}

void CStdioFile::DiscardReadBuffer(std::uint64_t offset) {
  m_readPos = 0;
  m_readEnd = 0;
  m_bReadAtEnd = false;
  m_bufferOffset = offset;
  m_pieceOffset = offset;
}

std::size_t CStdioFile::ReadSource(char* buffer, std::size_t count) {
  if (m_pPartOf) {
    if (m_partPos >= m_partEnd) return 0;
    const std::size_t wanted =
        static_cast<std::size_t>(std::min<std::uint64_t>(count, m_partEnd - m_partPos));
    const std::size_t n = m_pPartOf->ReadAt(m_partPos, buffer, wanted);
    m_partPos += n;
    return n;
  }
  if (!m_bMemory) return Read(buffer, count);
  // Copied into the read buffer like a file's bytes, so that pieces meet
  // the buffer's edges exactly where they would in a file.
  const std::uint64_t left =
      m_memoryPos < m_memory.size() ? m_memory.size() - m_memoryPos : 0;
  const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(count, left));
  if (n > 0) std::memcpy(buffer, m_memory.data() + m_memoryPos, n);
  m_memoryPos += n;
  return n;
}

std::size_t CStdioFile::ReadBytesAt(std::uint64_t offset, char* buffer,
                                    std::size_t count) const {
  if (!m_bMemory) return ReadAt(offset, buffer, count);
  if (offset >= m_memory.size()) return 0;
  const std::size_t n =
      static_cast<std::size_t>(std::min<std::uint64_t>(count, m_memory.size() - offset));
  std::memcpy(buffer, m_memory.data() + offset, n);
  return n;
}

bool CStdioFile::ReadString(std::string& piece, std::size_t nMax) {
  std::string_view view;
  const bool read = ReadPiece(view, nMax > 0 ? nMax - 1 : 0);
  piece.assign(view);
  return read;
}

void CStdioFile::TopUpReadBuffer(std::size_t wanted) {
  if (m_readBuffer.empty()) {
    m_readBuffer.resize(kReadBufferSize);
    m_lfBits.resize(kReadBufferSize / 64 + 1);
    m_crBits.resize(kReadBufferSize / 64 + 1);
  }
  const std::size_t unread = m_readEnd - m_readPos;
  std::memmove(m_readBuffer.data(), m_readBuffer.data() + m_readPos, unread);
  m_bufferOffset += m_readPos;
  m_readPos = 0;
  m_readEnd = unread;
  while (m_readEnd < wanted && !m_bReadAtEnd) {
    const std::size_t n = ReadSource(m_readBuffer.data() + m_readEnd,
                                     m_readBuffer.size() - m_readEnd);
    if (n == 0) m_bReadAtEnd = true;
    m_readEnd += n;
  }
  IndexLineEnds(m_readBuffer.data(), m_readEnd, m_lfBits.data(), m_crBits.data());
}

bool CStdioFile::ReadPiece(std::string_view& piece, std::size_t maxChars) {
  // With a whole piece and the byte after it in the buffer, every piece is
  // decided in place: this is the scanner's inner loop, so it neither copies
  // nor allocates.
  maxChars = std::min(maxChars, kReadBufferSize - 1);
  if (m_readEnd - m_readPos < maxChars + 1) TopUpReadBuffer(maxChars + 1);
  const std::size_t unread = m_readEnd - m_readPos;
  m_pieceOffset = m_bufferOffset + m_readPos;
  if (unread == 0 || maxChars == 0) {
    piece = {};
    return false;
  }
  char* p = m_readBuffer.data() + m_readPos;
  const std::size_t n = std::min(unread, maxChars);
  std::size_t length = n;
  std::size_t consumed = n;
  const std::size_t nl = FirstBit(m_lfBits.data(), m_readPos, m_readPos + n) - m_readPos;
  // The first CR before the LF (or before the piece's end); none: `nl`.
  const std::size_t firstCr = FirstBit(m_crBits.data(), m_readPos, m_readPos + nl) - m_readPos;
  if (nl < n) {
    length = consumed = nl + 1;
  } else if (n == maxChars && unread > n && p[n] == '\n' && IsText() &&
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
  m_bPieceHasCr = firstCr < length && p[firstCr] == '\r';
  m_readPos += consumed;
  piece = std::string_view(p, length);
  return true;
}

std::uint64_t CStdioFile::SkipPieces(const std::array<bool, 256>& skippable) {
  if (!IsText()) return 0;
  std::uint64_t skipped = 0;
  for (;;) {
    if (m_readEnd - m_readPos < kMaxPiece + 1) TopUpReadBuffer(kMaxPiece + 1);
    const char* buffer = m_readBuffer.data();
    const std::size_t start = m_readPos;
    std::size_t pos = m_readPos;
    // A line whose LF stands in the buffer within the first kMaxPiece
    // characters is one piece whatever follows, so no piece here needs the
    // buffer topped up first.
    while (pos < m_readEnd && skippable[static_cast<unsigned char>(buffer[pos])]) {
      const std::size_t limit = std::min(m_readEnd, pos + kMaxPiece);
      const std::size_t lf = FirstBit(m_lfBits.data(), pos, limit);
      if (lf == limit) break;
      // A CR other than the one of a CR LF is a line end for editors, which
      // the caller wants to see.
      if (lf > pos && FirstBit(m_crBits.data(), pos, lf - 1) < lf - 1) break;
      pos = lf + 1;
      ++skipped;
    }
    m_readPos = pos;
    // Stopped by a piece to be read, or by the buffer's end with its last
    // line not yet whole.
    if (pos == start || pos < m_readEnd - std::min(m_readEnd, kMaxPiece)) return skipped;
  }
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
