// Large, realistic instrument definition files for measuring the checker:
// sound modules with patch banks of 128 names, drum kits, controller, RPN
// and NRPN lists, and instrument definitions that refer to them, with CR LF
// line ends and a few misspelt references and repeated labels, as files
// written by hand tend to have.
#ifndef VELTRANE_BENCH_INS_GENERATOR_H_
#define VELTRANE_BENCH_INS_GENERATOR_H_

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// Receives the file in pieces, in order.
using InsSink = std::function<void(std::string_view)>;

// Writes a file of at least `targetBytes` bytes (it stops after the first
// whole sound module that reaches the size; a module is a few kilobytes).
// The same seed and size always give the same bytes. Returns the number of
// bytes written.
std::uint64_t GenerateIns(std::uint64_t seed, std::uint64_t targetBytes,
                          const InsSink& out);

// The whole file in memory, for small sizes.
std::string GenerateInsText(std::uint64_t seed, std::uint64_t targetBytes);

#endif  // VELTRANE_BENCH_INS_GENERATOR_H_
