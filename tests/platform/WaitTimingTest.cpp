// Time limits: a wait that times out never returns before its limit, whatever wakes it in
// between. Only the lower bound is exact; the upper bound is loose and catches a limit that is
// restarted by every wake-up.
#include "platform/Futex.h"
#include "platform/KernelObjects.h"

#include "tests/platform/LinkTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using Milliseconds = std::chrono::milliseconds;

constexpr Milliseconds kSlop{1};        // clock granularity between our deadline and the test's
constexpr Milliseconds kLooseBound{3000};

void ExpectTimedOutWithin(DWORD result, Clock::time_point start, DWORD limitMs) {
  const auto elapsed = std::chrono::duration_cast<Milliseconds>(Clock::now() - start);
  EXPECT_EQ(WAIT_TIMEOUT, result);
  EXPECT_GE(elapsed + kSlop, Milliseconds(limitMs));
  EXPECT_LT(elapsed, Milliseconds(limitMs) + kLooseBound);
}

TEST(WaitTimingTest, TimedOutWaitsLastAtLeastTheirLimit) {
  CTestNamespace space;
  CEvent named = CEvent::CreateNamed(space.Name("Event"), EventReset::Auto, false);
  CEvent unnamed = CEvent::CreateUnnamed(EventReset::Manual, false);
  CMutex mutex = CMutex::CreateNamed(space.Name("Mutex"));
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(mutex, 0));
  CEvent go = CEvent::CreateUnnamed(EventReset::Manual, false);
  CThread busy = CThread::Create(
      [](void* pGo) -> unsigned {
        return WaitForSingleObject(*static_cast<CEvent*>(pGo), INFINITE);
      },
      &go);

  for (DWORD limit : {1u, 30u, 120u}) {
    SCOPED_TRACE(limit);
    Clock::time_point start = Clock::now();
    ExpectTimedOutWithin(WaitForSingleObject(named, limit), start, limit);
    start = Clock::now();
    ExpectTimedOutWithin(WaitForMultipleObjects({&unnamed, &named}, limit), start, limit);
    start = Clock::now();
    ExpectTimedOutWithin(WaitForSingleObject(busy, limit), start, limit);
    // A mutex owned by this thread is free to it (recursive), so another thread must wait.
    DWORD mutexResult = WAIT_FAILED;
    start = Clock::now();
    std::thread([&] { mutexResult = WaitForSingleObject(mutex, limit); }).join();
    ExpectTimedOutWithin(mutexResult, start, limit);
  }
  SetEvent(go);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(busy, INFINITE));
  ReleaseMutex(mutex);
}

// A poker thread wakes the futex words of the waited events about every millisecond without
// signalling them, as a Set quickly undone by a Reset or a signal taken by another waiter
// would. No such wake-up may end the wait before its limit, nor push the limit back.
TEST(WaitTimingTest, StrayWakeUpsNeitherEndNorStretchAWait) {
  CTestNamespace space;
  CEvent named = CEvent::CreateNamed(space.Name("Event"), EventReset::Manual, false);
  CEvent unnamed = CEvent::CreateUnnamed(EventReset::Manual, false);
  std::atomic<bool> bRunning{true};
  std::thread poker([&] {
    while (bRunning.load()) {
      FutexWakeAll(named.GetFutexWord(), true);
      FutexWakeAll(unnamed.GetFutexWord(), false);
      std::this_thread::sleep_for(Milliseconds(1));
    }
  });

  for (DWORD limit : {50u, 200u}) {
    SCOPED_TRACE(limit);
    const Clock::time_point start = Clock::now();
    ExpectTimedOutWithin(WaitForMultipleObjects({&named, &unnamed}, limit), start, limit);
    const Clock::time_point singleStart = Clock::now();
    ExpectTimedOutWithin(WaitForSingleObject(unnamed, limit), singleStart, limit);
  }
  bRunning.store(false);
  poker.join();
}

}  // namespace
