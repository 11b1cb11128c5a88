// How the fuzz targets stop on a broken promise: a message naming it, then
// abort(), which libFuzzer treats like a crash and keeps the input for.
#ifndef VELTRANE_FUZZ_PROMISE_H_
#define VELTRANE_FUZZ_PROMISE_H_

#include <cstdio>
#include <cstdlib>

[[noreturn]] inline void Violated(const char* promise) {
  std::fprintf(stderr, "veltrane fuzz: broken promise: %s\n", promise);
  std::abort();
}

inline void Expect(bool ok, const char* promise) {
  if (!ok) Violated(promise);
}

#endif  // VELTRANE_FUZZ_PROMISE_H_
