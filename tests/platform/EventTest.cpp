#include "platform/KernelObjects.h"

#include "tests/platform/LinkTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

namespace {

// One contract, four implementations: named (shared memory, shared futex) and unnamed (process
// memory, private futex), each with manual and auto reset.
struct EventKind {
  const char* m_szName;
  bool m_bNamed;
  EventReset m_reset;
};

class EventTest : public testing::TestWithParam<EventKind> {
 protected:
  CEvent MakeEvent(bool bInitialState, const std::string& name = "Event") {
    const EventKind& kind = GetParam();
    if (kind.m_bNamed)
      return CEvent::CreateNamed(m_namespace.Name(name), kind.m_reset, bInitialState);
    return CEvent::CreateUnnamed(kind.m_reset, bInitialState);
  }
  bool IsManual() const { return GetParam().m_reset == EventReset::Manual; }

  CTestNamespace m_namespace;
};

TEST_P(EventTest, SetAndResetFollowTheResetKind) {
  CEvent event = MakeEvent(false);
  ASSERT_TRUE(event);
  EXPECT_EQ(IsManual(), event.IsManualReset());
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(event, 0));

  ASSERT_TRUE(SetEvent(event));
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(event, 0));
  // The wait that returned an auto-reset event took its signal; a manual one stays signalled.
  EXPECT_EQ(IsManual() ? WAIT_OBJECT_0 : WAIT_TIMEOUT, WaitForSingleObject(event, 0));

  ASSERT_TRUE(SetEvent(event));
  ASSERT_TRUE(ResetEvent(event));
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(event, 0));

  CEvent initiallySet = MakeEvent(true, "InitiallySet");
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(initiallySet, 0));
}

TEST_P(EventTest, LowestSignalledIndexWinsAndOnlyItIsConsumed) {
  CEvent first = MakeEvent(false, "First");
  CEvent second = MakeEvent(false, "Second");
  CEvent third = MakeEvent(false, "Third");
  SetEvent(third);
  SetEvent(second);

  EXPECT_EQ(WAIT_OBJECT_0 + 1, WaitForMultipleObjects({&first, &second, &third}, 0));
  // The third event lost and keeps its signal whatever its kind.
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(third, 0));
  EXPECT_EQ(IsManual() ? WAIT_OBJECT_0 + 1 : WAIT_TIMEOUT,
            WaitForMultipleObjects({&first, &second}, 0));
}

// A waiter thread sleeps without limit on two events; the main thread sets the second.
TEST_P(EventTest, SetFromAnotherThreadEndsAnUnlimitedWait) {
  CEvent first = MakeEvent(false, "First");
  CEvent second = MakeEvent(false, "Second");
  DWORD result = WAIT_FAILED;
  std::thread waiter([&] { result = WaitForMultipleObjects({&first, &second}, INFINITE); });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  SetEvent(second);
  waiter.join();
  EXPECT_EQ(WAIT_OBJECT_0 + 1, result);
}

// Two threads wait on one event; the main thread sets it once. An auto-reset event admits
// exactly one of them, a manual-reset event both.
TEST_P(EventTest, OneSetAdmitsOneAutoWaiterOrEveryManualWaiter) {
  CEvent event = MakeEvent(false);
  CEvent done = CEvent::CreateUnnamed(EventReset::Manual, false);
  std::atomic<int> nAdmitted{0};
  auto waitOnce = [&] {
    if (WaitForMultipleObjects({&done, &event}, INFINITE) == WAIT_OBJECT_0 + 1)
      nAdmitted.fetch_add(1);
  };
  std::thread waiterA(waitOnce);
  std::thread waiterB(waitOnce);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  SetEvent(event);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  SetEvent(done);
  waiterA.join();
  waiterB.join();
  EXPECT_EQ(IsManual() ? 2 : 1, nAdmitted.load());
}

INSTANTIATE_TEST_SUITE_P(AllKinds, EventTest,
                         testing::Values(EventKind{"UnnamedAuto", false, EventReset::Auto},
                                         EventKind{"UnnamedManual", false, EventReset::Manual},
                                         EventKind{"NamedAuto", true, EventReset::Auto},
                                         EventKind{"NamedManual", true, EventReset::Manual}),
                         [](const testing::TestParamInfo<EventKind>& info) {
                           return std::string(info.param.m_szName);
                         });

TEST(WaitTest, NullEmptyOrClosedObjectsFailTheWait) {
  CEvent event = CEvent::CreateUnnamed(EventReset::Manual, true);
  CEvent closed = CEvent::CreateUnnamed(EventReset::Manual, true);
  CloseHandle(closed);
  const CEvent* const none[] = {&event};

  EXPECT_EQ(WAIT_FAILED, WaitForMultipleObjects(std::span<const CEvent* const>(none, 0), 0));
  EXPECT_EQ(WAIT_FAILED, WaitForMultipleObjects({&event, nullptr}, 0));
  EXPECT_EQ(WAIT_FAILED, WaitForMultipleObjects({&event, &closed}, 0));
  EXPECT_EQ(WAIT_FAILED, WaitForSingleObject(CEvent(), 0));
  EXPECT_EQ(WAIT_FAILED, WaitForSingleObject(CMutex(), 0));
  EXPECT_EQ(WAIT_FAILED, WaitForSingleObject(CThread(), 0));
  EXPECT_FALSE(SetEvent(closed));
  EXPECT_FALSE(ReleaseMutex(CMutex()));
}

TEST(WaitTest, MovedEventKeepsItsStateAndLeavesANullOwner) {
  CEvent original = CEvent::CreateUnnamed(EventReset::Manual, true);
  CEvent moved = std::move(original);
  EXPECT_FALSE(original);  // NOLINT(bugprone-use-after-move): the moved-from state is the point
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(moved, 0));
  EXPECT_EQ(WAIT_FAILED, WaitForSingleObject(original, 0));  // NOLINT(bugprone-use-after-move)
}

}  // namespace
