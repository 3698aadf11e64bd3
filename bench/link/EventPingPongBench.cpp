// Cross-process round trips through two named auto-reset events (the IDE creates them, a child
// process opens them by name as the display would), against the bare futex floor.
#include "bench/link/RawFutexPingPong.h"
#include "platform/KernelObjects.h"

#include <benchmark/benchmark.h>

#include <csignal>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

namespace {

enum class EchoWait { Single, AnyWithStop };

// The parent's ends of the two events and the echoing child; the destructor ends the child and
// removes the objects.
class CEventPingPong {
 public:
  explicit CEventPingPong(EchoWait wait) {
    setenv("VITREL_LINK_NAMESPACE", ("vitrel-bench-" + std::to_string(getpid()) + "-").c_str(), 1);
    RemoveLinkObject("Ping");
    RemoveLinkObject("Pong");
    m_hPing = CEvent::CreateNamed("Ping", EventReset::Auto, false);
    m_hPong = CEvent::CreateNamed("Pong", EventReset::Auto, false);
    if (!m_hPing || !m_hPong)
      return;
    m_child = fork();
    if (m_child == 0)
      _exit(Echo(wait));
  }
  ~CEventPingPong() {
    if (m_child > 0) {
      kill(m_child, SIGKILL);
      waitpid(m_child, nullptr, 0);
    }
    RemoveLinkObject("Ping");
    RemoveLinkObject("Pong");
  }

  bool IsReady() const { return m_child > 0; }
  void RoundTrip() {
    SetEvent(m_hPing);
    WaitForSingleObject(m_hPong, INFINITE);
  }

 private:
  // The display's side: opens by name and answers every ping; with a stop event among the
  // waited objects it waits as the link threads do.
  static int Echo(EchoWait wait) {
    const CEvent ping = CEvent::OpenNamed("Ping");
    const CEvent pong = CEvent::OpenNamed("Pong");
    const CEvent stop = CEvent::CreateUnnamed(EventReset::Manual, false);
    for (;;) {
      const DWORD result = wait == EchoWait::Single ? WaitForSingleObject(ping, INFINITE)
                                                    : WaitForMultipleObjects({&stop, &ping}, INFINITE);
      if (result == WAIT_FAILED)
        return 1;
      SetEvent(pong);
    }
  }

  CEvent m_hPing;
  CEvent m_hPong;
  pid_t m_child = -1;
};

void RunEventRoundTrips(benchmark::State& state, EchoWait wait) {
  CEventPingPong pingPong(wait);
  if (!pingPong.IsReady()) {
    state.SkipWithError("events or child process could not be made");
    return;
  }
  for (auto _ : state)
    pingPong.RoundTrip();
  state.SetItemsProcessed(state.iterations());
}

void BM_NamedEventRoundTrip(benchmark::State& state) { RunEventRoundTrips(state, EchoWait::Single); }

void BM_NamedEventRoundTripEchoWaitsForAny(benchmark::State& state) {
  RunEventRoundTrips(state, EchoWait::AnyWithStop);
}

void BM_NamedEventRoundTripAgainstRawFloor(benchmark::State& state) {
  CRawFutexPingPong raw;
  CEventPingPong events(EchoWait::Single);
  if (!raw.IsReady() || !events.IsReady()) {
    state.SkipWithError("ping-pong partners could not be started");
    return;
  }
  RunAgainstRawFloor(state, raw, "event_ns", [&] {
    events.RoundTrip();
    return true;
  });
}

}  // namespace

BENCHMARK(BM_RawFutexRoundTrip)->UseRealTime();
BENCHMARK(BM_NamedEventRoundTrip)->UseRealTime();
BENCHMARK(BM_NamedEventRoundTripEchoWaitsForAny)->UseRealTime();
BENCHMARK(BM_NamedEventRoundTripAgainstRawFloor)->UseRealTime();

BENCHMARK_MAIN();
