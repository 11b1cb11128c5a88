// The C library's errno value for a Windows system error, so that a failure
// reads the same on both systems.
#ifndef VELTRANE_PLATFORM_WIN32_SYSTEM_ERROR_H_
#define VELTRANE_PLATFORM_WIN32_SYSTEM_ERROR_H_

// The errno value that means what `error` (a GetLastError value) means to
// the user; EIO for an error without one.
int ErrnoOfSystemError(unsigned long error);

#endif  // VELTRANE_PLATFORM_WIN32_SYSTEM_ERROR_H_
