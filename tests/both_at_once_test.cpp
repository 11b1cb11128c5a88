#include "checker/both_at_once.h"

#include <atomic>
#include <ostream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace {

// How a run ended: the message of the exception it threw ("" for none),
// and which parts ran.
struct Outcome {
  std::string thrown;
  bool firstRan = false;
  bool secondRan = false;
  bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Outcome& o) {
  return os << "thrown \"" << o.thrown << "\" first " << o.firstRan << " second " << o.secondRan;
}

Outcome RunParts(bool threadToBeHad, bool firstThrows, bool secondThrows) {
  Outcome outcome;
  std::atomic<bool> secondRan = false;
  auto start = [threadToBeHad](auto& run) {
    if (!threadToBeHad) throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    return std::thread(run);
  };
  try {
    RunBothAtOnce(
        [&] {
          outcome.firstRan = true;
          if (firstThrows) throw std::runtime_error("first");
        },
        [&] {
          secondRan = true;
          if (secondThrows) throw std::runtime_error("second");
        },
        start);
  } catch (const std::runtime_error& error) {
    outcome.thrown = error.what();
  }
  outcome.secondRan = secondRan;
  return outcome;
}

TEST(RunBothAtOnceTest, KeepsItsPromisesWithAndWithoutAThread) {
  struct Case {
    bool thread, firstThrows, secondThrows;
    Outcome outcome;
  };
  const Case cases[] = {
      {true, false, false, {"", true, true}},
      {true, true, false, {"first", true, true}},
      {true, false, true, {"second", true, true}},
      {true, true, true, {"first", true, true}},  // the first part's wins
      // Without a thread both still run, one after the other; the second
      // not after the first failed, as one thread would have stopped.
      {false, false, false, {"", true, true}},
      {false, true, false, {"first", true, false}},
      {false, false, true, {"second", true, true}},
      {false, true, true, {"first", true, false}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RunParts(c.thread, c.firstThrows, c.secondThrows), c.outcome)
        << "thread " << c.thread << ", first throws " << c.firstThrows << ", second throws "
        << c.secondThrows;
  }
}

TEST(RunBothAtOnceTest, TheSecondPartRunsOnAnotherThread) {
  std::thread::id first;
  std::thread::id second;
  RunBothAtOnce([&] { first = std::this_thread::get_id(); },
                [&] { second = std::this_thread::get_id(); });
  EXPECT_EQ(first, std::this_thread::get_id());
  EXPECT_NE(second, first);
}

// Every item once, in two halves from the threshold on and in one go
// below it.
TEST(RunInHalvesTest, CoversEveryItemOnce) {
  for (const std::size_t count : {0, 1, 7, 8, 9, 100}) {
    std::vector<std::atomic<int>> seen(count);
    std::atomic<int> calls = 0;
    RunInHalves(count, 8, [&](std::size_t begin, std::size_t end) {
      ++calls;
      for (std::size_t i = begin; i < end; ++i) ++seen[i];
    });
    for (std::size_t i = 0; i < count; ++i) EXPECT_EQ(seen[i], 1) << count << " " << i;
    EXPECT_EQ(calls, count < 8 ? 1 : 2) << count;
  }
}

// In turn, as a build without threads runs: both parts on this thread, in
// order, the halves still two, and an exception of the first part leaves
// the second undone.
TEST(RunBothAtOnceTest, InTurnRunsBothPartsOnThisThreadInOrder) {
  const bool before = SetRunInTurn(true);
  struct Case {
    bool firstThrows;
    std::string order;
  };
  for (const Case& c : {Case{false, "12"}, Case{true, "1"}}) {
    std::string order;
    std::thread::id second;
    try {
      RunBothAtOnce(
          [&] {
            order += "1";
            if (c.firstThrows) throw std::runtime_error("first");
          },
          [&] {
            order += "2";
            second = std::this_thread::get_id();
          });
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(order, c.order);
    if (!c.firstThrows) {
      EXPECT_EQ(second, std::this_thread::get_id());
    }
  }
  std::vector<std::pair<std::size_t, std::size_t>> halves;
  EXPECT_TRUE(RunInHalves(10, 8, [&](std::size_t begin, std::size_t end) {
    halves.emplace_back(begin, end);
  }));
  EXPECT_EQ(halves, (std::vector<std::pair<std::size_t, std::size_t>>{{0, 5}, {5, 10}}));
  SetRunInTurn(before);
  EXPECT_EQ(RunsInTurn(), kOneThreadBuild || before);
}

}  // namespace
