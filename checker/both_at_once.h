// Two pieces of work on two cores: the engine's large stages (scanning,
// sorting, resolving) split their work in halves this way.
#ifndef VELTRANE_CHECKER_BOTH_AT_ONCE_H_
#define VELTRANE_CHECKER_BOTH_AT_ONCE_H_

#include <atomic>
#include <cstddef>
#include <exception>
#include <optional>
#include <system_error>
#include <thread>

// Runs `first` on this thread and `second` on a thread that `start` makes
// (`start(fn)` returns a std::thread running fn, or throws
// std::system_error when there is none to be had), and returns when both
// are done. Without a thread, it runs them one after the other. Either way,
// an exception of `first` is rethrown rather than one of `second`, as a
// single thread doing `first` and then `second` would have met it first.
template <typename First, typename Second, typename Start>
void RunBothAtOnce(First&& first, Second&& second, Start&& start) {
  std::exception_ptr secondError;
  auto runSecond = [&]() noexcept {
    try {
      second();
    } catch (...) {
      secondError = std::current_exception();
    }
  };
  std::optional<std::thread> worker;
  try {
    worker.emplace(start(runSecond));
  } catch (const std::system_error&) {
  }
  std::exception_ptr firstError;
  try {
    first();
  } catch (...) {
    firstError = std::current_exception();
  }
  if (worker)
    worker->join();
  else if (!firstError)
    runSecond();
  if (firstError) std::rethrow_exception(firstError);
  if (secondError) std::rethrow_exception(secondError);
}

// Whether the work meant for two threads runs on this one, `first` and then
// `second`, with the same result. A build without threads (the engine in a
// web page, built with VELTRANE_ONE_THREAD) always does so; other builds do
// so while a test asks for it through SetRunInTurn, to compare both ways.
#ifdef VELTRANE_ONE_THREAD
inline constexpr bool kOneThreadBuild = true;
#else
inline constexpr bool kOneThreadBuild = false;
#endif

inline std::atomic<bool>& RunInTurnFlag() {
  static std::atomic<bool> inTurn{kOneThreadBuild};
  return inTurn;
}

inline bool RunsInTurn() { return kOneThreadBuild || RunInTurnFlag().load(std::memory_order_relaxed); }

// Makes the checks that start from now on run in turn (or not, unless the
// build has no threads); returns what was set before.
inline bool SetRunInTurn(bool inTurn) { return RunInTurnFlag().exchange(inTurn || kOneThreadBuild); }

// The above on a thread of the standard library, or in turn: as a single
// thread doing `first` and then `second`, an exception of `first` leaves
// `second` undone.
template <typename First, typename Second>
void RunBothAtOnce(First&& first, Second&& second) {
  if (RunsInTurn()) {
    first();
    second();
    return;
  }
#ifndef VELTRANE_ONE_THREAD
  RunBothAtOnce(first, second, [](auto& run) { return std::thread(run); });
#endif
}

// The above with `atOnce`; one after the other without, where a second
// thread would cost more than it saves.
template <typename First, typename Second>
void RunBothAtOnceIf(bool atOnce, First&& first, Second&& second) {
  if (atOnce) {
    RunBothAtOnce(first, second);
  } else {
    first();
    second();
  }
}

// Calls `run(begin, end)` for the items [0, count): as two halves at once
// from `from` items on, in one go below. True when in halves, split at
// count / 2.
template <typename Run>
bool RunInHalves(std::size_t count, std::size_t from, Run&& run) {
  if (count < from) {
    run(std::size_t{0}, count);
    return false;
  }
  RunBothAtOnce([&] { run(std::size_t{0}, count / 2); }, [&] { run(count / 2, count); });
  return true;
}

#endif  // VELTRANE_CHECKER_BOTH_AT_ONCE_H_
