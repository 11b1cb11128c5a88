// Writing bytes to a stream exactly as they are, where the C library would
// otherwise turn each "\n" into the system's line end (Windows text mode).
#ifndef VELTRANE_PLATFORM_BINARY_OUTPUT_H_
#define VELTRANE_PLATFORM_BINARY_OUTPUT_H_

#include <cstdio>
#include <string_view>

// Writes `bytes` to `out` unchanged, then puts the stream back in the mode
// it was in. Returns false when the write or the flush fails.
bool WriteBytesAsIs(std::FILE* out, std::string_view bytes);

#endif  // VELTRANE_PLATFORM_BINARY_OUTPUT_H_
