#include "platform/binary_output.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

bool WriteBytesAsIs(std::FILE* out, std::string_view bytes) {
  if (std::fflush(out) != 0) return false;
#ifdef _WIN32
  const int mode = _setmode(_fileno(out), _O_BINARY);
#endif
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size() &&
                       std::fflush(out) == 0;
#ifdef _WIN32
  if (mode != -1) _setmode(_fileno(out), mode);
#endif
  return written;
}
