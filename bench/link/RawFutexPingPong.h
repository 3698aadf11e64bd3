#pragma once
// The floor for a cross-process round trip: two bare futex words in one shared anonymous page,
// a forked child echoing each ping with a pong. It does what a pair of auto-reset events must
// do at least (store, wake, sleep, take), with nothing else, so link round trips are compared
// against it in the same run.
//
//   BENCHMARK(BM_RawFutexRoundTrip);   // in any bench_* program, beside the round trip measured
//   RunAgainstRawFloor(state, raw, "event_ns", ...);   // both in turns, with their ratio
//
// One CRawFutexPingPong per benchmark run; the child is killed and reaped by the destructor.

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdint>
#include <optional>
#include <string>

#include <linux/futex.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

class CRawFutexPingPong {
 public:
  CRawFutexPingPong() {
    void* pPage = mmap(nullptr, sizeof(Words), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS,
                       -1, 0);
    if (pPage == MAP_FAILED)
      return;
    m_pWords = new (pPage) Words;
    m_child = fork();
    if (m_child == 0) {
      for (;;) {
        Take(m_pWords->m_ping);
        Give(m_pWords->m_pong);
      }
    }
  }
  ~CRawFutexPingPong() {
    if (m_child > 0) {
      kill(m_child, SIGKILL);
      waitpid(m_child, nullptr, 0);
    }
    if (m_pWords != nullptr)
      munmap(m_pWords, sizeof(Words));
  }
  CRawFutexPingPong(const CRawFutexPingPong&) = delete;
  CRawFutexPingPong& operator=(const CRawFutexPingPong&) = delete;

  bool IsReady() const { return m_pWords != nullptr && m_child > 0; }

  void RoundTrip() {
    Give(m_pWords->m_ping);
    Take(m_pWords->m_pong);
  }

 private:
  struct Words {
    std::atomic<std::uint32_t> m_ping{0};
    std::atomic<std::uint32_t> m_pong{0};
  };

  static long Futex(std::atomic<std::uint32_t>& word, int op, std::uint32_t value) {
    return syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&word), op, value, nullptr,
                   nullptr, 0);
  }
  static void Give(std::atomic<std::uint32_t>& word) {
    word.store(1, std::memory_order_release);
    Futex(word, FUTEX_WAKE, INT_MAX);
  }
  static void Take(std::atomic<std::uint32_t>& word) {
    for (;;) {
      std::uint32_t expected = 1;
      if (word.compare_exchange_strong(expected, 0, std::memory_order_acquire))
        return;
      Futex(word, FUTEX_WAIT, 0);
    }
  }

  Words* m_pWords = nullptr;
  pid_t m_child = -1;
};

inline void BM_RawFutexRoundTrip(benchmark::State& state) {
  CRawFutexPingPong pingPong;
  if (!pingPong.IsReady()) {
    state.SkipWithError("no shared page or no child process");
    return;
  }
  for (auto _ : state)
    pingPong.RoundTrip();
  state.SetItemsProcessed(state.iterations());
}

// Lets the raw ping-pong and another round trip take turns in blocks, so load that drifts during
// the run weighs on both alike; the ratio is the figure to compare. Sets the counters raw_ns,
// <counterName> (the other round trip's time) and ratio, and returns that time in ns. roundTrip()
// returns false to end the run early, having called state.SkipWithError; then nothing is set.
template <typename RoundTrip>
std::optional<double> RunAgainstRawFloor(benchmark::State& state, CRawFutexPingPong& raw,
                                         const std::string& counterName, RoundTrip&& roundTrip) {
  constexpr int kBlock = 32;
  using Clock = std::chrono::steady_clock;
  Clock::duration rawTime{};
  Clock::duration otherTime{};
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < kBlock; ++i)
      raw.RoundTrip();
    const Clock::time_point middle = Clock::now();
    for (int i = 0; i < kBlock; ++i) {
      if (!roundTrip())
        return std::nullopt;
    }
    rawTime += middle - start;
    otherTime += Clock::now() - middle;
  }
  const double nRoundTrips = static_cast<double>(state.iterations()) * kBlock;
  const double rawNs = std::chrono::duration<double, std::nano>(rawTime).count() / nRoundTrips;
  const double otherNs = std::chrono::duration<double, std::nano>(otherTime).count() / nRoundTrips;
  state.counters["raw_ns"] = rawNs;
  state.counters[counterName] = otherNs;
  state.counters["ratio"] = otherNs / rawNs;
  return otherNs;
}
