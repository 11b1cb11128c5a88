// Files as the checker sees them: a binary file (CFile) and a buffered text
// file (CStdioFile) with the open flags, text-mode reading and the single
// exception type that the program was designed around.
#ifndef VELTRANE_PLATFORM_FILE_H_
#define VELTRANE_PLATFORM_FILE_H_

#include <array>
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

// Describes why a file operation failed. Thrown by read, write, seek, length
// and close failures; filled in (not thrown) by a failed Open.
class CFileException : public std::exception {
 public:
  enum Cause {
    none,
    generic,
    sharingViolation,  // another process holds the file open exclusively
    notRegularFile,    // a device, pipe or socket where a file was wanted
    severalNames,      // a file with hard links, which a replacement would split
  };

  CFileException() = default;
  CFileException(std::string path, int osError, Cause cause = generic);

  // "PATH: reason", the reason being the OS error text.
  const char* what() const noexcept override { return m_strMessage.c_str(); }
  // The reason alone, without the path.
  std::string GetErrorText() const;

  std::string m_strFileName;
  int m_lOsError = 0;
  Cause m_cause = none;

 private:
  std::string m_strMessage;
};

// What GetStatus reports of a path. Two paths name the same file when their
// device and inode agree.
struct CFileStatus {
  std::uint64_t m_size = 0;
  bool m_bDirectory = false;
  bool m_bRegular = false;  // a plain file, not a folder, device or pipe
  std::uint64_t m_device = 0;
  std::uint64_t m_inode = 0;

  bool IsSameFile(const CFileStatus& other) const {
    return m_device == other.m_device && m_inode == other.m_inode;
  }
};

// An unbuffered file on the system's own handle (a POSIX descriptor, or a
// Windows HANDLE). Closing in the destructor never throws; call Close() to
// learn about errors.
class CFile {
 public:
  // Open flags, with the values the stored call sites were written with.
  enum OpenFlags : unsigned {
    modeRead = 0x0000,
    modeWrite = 0x0001,
    modeReadWrite = 0x0002,
    shareExclusive = 0x0010,
    modeCreate = 0x1000,
    modeNoTruncate = 0x2000,
    typeText = 0x4000,
    typeBinary = 0x8000,
  };
  enum SeekPosition { begin = 0, current = 1, end = 2 };

  CFile() = default;
  virtual ~CFile();
  CFile(const CFile&) = delete;
  CFile& operator=(const CFile&) = delete;

  // Opens `path`. Returns false on failure and, if `error` is given, fills it
  // in. A directory never opens. shareExclusive denies the file to every
  // other open while this one lasts (POSIX: a non-blocking exclusive lock;
  // Windows: share mode 0): a file held that way fails with
  // CFileException::sharingViolation.
  virtual bool Open(const std::string& path, unsigned flags,
                    CFileException* error = nullptr);
  // Writes pending output and closes. Throws CFileException on failure; the
  // descriptor is released either way.
  virtual void Close();
  // Closes without reporting errors.
  void Abort() noexcept;

#ifdef _WIN32
  bool IsOpen() const { return m_hFile != nullptr; }
#else
  bool IsOpen() const { return m_fd >= 0; }
#endif
  const std::string& GetFilePath() const { return m_strFileName; }

  std::uint64_t GetLength() const;
  // Throws CFileException when the descriptor cannot be queried.
  CFileStatus GetStatus() const;
  // Sets the size of a regular file. Devices and pipes have no size to set,
  // so the call does nothing for them.
  virtual void SetLength(std::uint64_t length);
  virtual std::uint64_t Seek(std::int64_t offset, SeekPosition from);
  void SeekToBegin() { Seek(0, begin); }

  // Reads up to `count` bytes; returns how many were read, 0 at the end.
  std::size_t Read(void* buffer, std::size_t count);
  void Write(const void* buffer, std::size_t count);
  // Reads up to `count` bytes at `offset`, so that several threads can
  // read one open file; returns how many were read, 0 at the end. Where the
  // file's position is afterwards differs between systems (Windows moves
  // it, POSIX does not): seek before the next Read.
  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count) const;

  // Throws CFileException when the file cannot be removed.
  static void Remove(const std::string& path);
  // Returns false when nothing exists at `path`.
  static bool GetStatus(const std::string& path, CFileStatus& status);

 protected:
  [[noreturn]] void ThrowLastError() const;

#ifdef _WIN32
  void* m_hFile = nullptr;  // the file's HANDLE; nullptr while closed
#else
  int m_fd = -1;
#endif
  unsigned m_nFlags = 0;
  std::string m_strFileName;
};

// A buffered file for text. Text mode (the default) reads CR LF as "\n" and
// leaves a lone CR as it is, on every system; it writes "\n" as the
// system's line end: LF on POSIX, CR LF on Windows. It reads either a file
// or bytes in memory.
class CStdioFile : public CFile {
 public:
  // The most characters one ReadString call hands out, the buffer size the
  // scanner reads with less its terminator.
  static constexpr std::size_t kMaxPiece = 254;

  CStdioFile() = default;
  ~CStdioFile() override;

  bool Open(const std::string& path, unsigned flags,
            CFileException* error = nullptr) override;
  // Opens `bytes` for reading as the content of a file named `name`: the
  // same pieces, line ends and read-buffer edges as a file holding them,
  // without any file system call. `bytes` must outlive the reading. Seek
  // works on it; writing, SetLength and the status queries do not.
  void OpenMemory(std::string_view bytes, const std::string& name,
                  unsigned flags = modeRead | typeText);
  // Opens the part of `source` from offset `begin` up to `end` (or to the
  // file's end, if it comes first) for reading, in the same mode, with its
  // pieces' offsets counted from the start of `source`. Several parts of
  // one file can be read at once, each by a thread of its own: a part reads
  // by position (see ReadAt: seek `source` before reading it again).
  // `source` must stay open while the part is read. Seek does not work on a
  // part.
  void OpenPart(const CStdioFile& source, std::uint64_t begin, std::uint64_t end);
  // The number of bytes there are to read in a file or in memory opened
  // whole: the file's length or the memory's size.
  std::uint64_t GetSourceLength() const;
  // Reads up to `count` bytes as they stand in the file or the memory, line
  // ends untouched, from `offset`; returns how many were read, 0 at the end.
  // It does not disturb ReadPiece's reading of a file in memory; of a file
  // on disk, seek before reading pieces again (see ReadAt).
  // REQUIRES: a file or bytes in memory are open whole (not a part).
  std::size_t ReadBytesAt(std::uint64_t offset, char* buffer, std::size_t count) const;
  // True while a file, a part or bytes in memory are open.
  bool IsOpen() const { return m_bMemory || m_bPart || CFile::IsOpen(); }
  // True while the bytes come from memory: there is no file on disk.
  bool IsMemory() const { return m_bMemory; }
  // Closes without reporting errors, a file or bytes in memory.
  void Abort() noexcept;
  void Close() override;
  void SetLength(std::uint64_t length) override;
  std::uint64_t Seek(std::int64_t offset, SeekPosition from) override;

  // Reads the next piece: the characters up to and including the next line
  // end, but at most nMax - 1 of them. NUL bytes are ordinary characters.
  // Returns false, with `piece` empty, at the end of the file. Throws
  // CFileException on a read error. A copy of what ReadPiece reads.
  bool ReadString(std::string& piece, std::size_t nMax = kMaxPiece + 1);

  // Reads the next piece without copying it: the characters up to and
  // including the next line end (CR LF read as "\n"), but at most
  // `maxChars` of them. `piece` points into the file's buffer and stays
  // valid until the next read, seek or close. Returns false, with `piece`
  // empty, at the end of the file. Throws CFileException on a read error.
  bool ReadPiece(std::string_view& piece, std::size_t maxChars = kMaxPiece);

  // Passes over the pieces ahead that are whole lines of the usual kind:
  // ended by LF or CR LF, without any other CR, and starting with a byte
  // `skippable` marks. Returns how many there were; the next ReadPiece
  // reads the piece after them. Most lines of a large file are such lines
  // that a reader wants to count, not to see.
  std::uint64_t SkipPieces(const std::array<bool, 256>& skippable);

  // The offset in the file (bytes as stored, before CR LF is read as "\n")
  // of the first byte of the piece the last ReadPiece or ReadString read;
  // after a seek, the position it set.
  std::uint64_t GetPieceOffset() const { return m_pieceOffset; }
  // Whether that piece holds a CR. In text mode, each one is a lone CR, a
  // line end for editors but not for pieces.
  bool PieceHasCr() const { return m_bPieceHasCr; }

  // Buffers `text` for writing. Throws CFileException on a write error,
  // which may also surface at Seek, SetLength or Close.
  void WriteString(std::string_view text);
  void Flush();

 private:
  // Reads up to `count` bytes from the file or the bytes in memory; returns
  // how many were read, 0 at the end.
  std::size_t ReadSource(char* buffer, std::size_t count);
  // Moves the unread bytes to the front of the buffer and reads until at
  // least `wanted` are unread or the file ends.
  void TopUpReadBuffer(std::size_t wanted);
  // Forgets what was read ahead; reading goes on at `offset`.
  void DiscardReadBuffer(std::uint64_t offset = 0);
  bool IsText() const { return (m_nFlags & typeBinary) == 0; }
  // Buffers `bytes` as they are.
  void WriteBytes(std::string_view bytes);

  std::vector<char> m_readBuffer;
  // Where the LFs and CRs of m_readBuffer[0, m_readEnd) stand, a bit for
  // each byte, made anew each time the buffer is filled.
  std::vector<std::uint64_t> m_lfBits;
  std::vector<std::uint64_t> m_crBits;
  std::size_t m_readPos = 0;
  std::size_t m_readEnd = 0;
  bool m_bReadAtEnd = false;  // a read found the end since the last seek
  std::uint64_t m_bufferOffset = 0;  // the file offset of m_readBuffer[0]
  std::uint64_t m_pieceOffset = 0;
  bool m_bPieceHasCr = false;
  std::string m_writeBuffer;
  bool m_bMemory = false;
  std::string_view m_memory;
  std::uint64_t m_memoryPos = 0;  // may lie beyond the end after a seek
  bool m_bPart = false;              // a part of a file or of memory is open
  const CFile* m_pPartOf = nullptr;  // the file of which a part is open
  std::uint64_t m_partPos = 0;       // where the next read of the part starts
  std::uint64_t m_partEnd = 0;
};

#endif  // VELTRANE_PLATFORM_FILE_H_
