// Kernel objects shared by real processes: each child opens the objects by name, as the display
// opens the IDE's, and reports what it saw through its exit status.
#include "platform/KernelObjects.h"

#include "tests/platform/LinkTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

namespace {

constexpr DWORD kChildWaitMs = 1500;
constexpr int kChildAdmitted = 0;
constexpr int kChildTimedOut = 1;
constexpr int kChildFailed = 2;

int ExitStatusOfWait(DWORD result) {
  if (result == WAIT_OBJECT_0)
    return kChildAdmitted;
  return result == WAIT_TIMEOUT ? kChildTimedOut : kChildFailed;
}

class CrossProcessTest : public testing::Test {
 protected:
  CTestNamespace m_namespace;
};

TEST_F(CrossProcessTest, ChildSetsAnEventAndParentsWaitForAnyReturnsItsIndex) {
  const std::string names[] = {m_namespace.Name("Stop"), m_namespace.Name("Copy"),
                               m_namespace.Name("Empty")};
  CEvent events[] = {CEvent::CreateNamed(names[0], EventReset::Manual, false),
                     CEvent::CreateNamed(names[1], EventReset::Auto, false),
                     CEvent::CreateNamed(names[2], EventReset::Auto, false)};
  const CEvent* const list[] = {&events[0], &events[1], &events[2]};

  for (int index : {2, 0}) {
    SCOPED_TRACE(index);
    const pid_t child = RunInChild([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));  // let the parent sleep first
      return SetEvent(CEvent::OpenNamed(names[index])) ? 0 : kChildFailed;
    });
    EXPECT_EQ(WAIT_OBJECT_0 + static_cast<DWORD>(index), WaitForMultipleObjects(list, 10000));
    EXPECT_EQ(0, WaitForChild(child));
    ResetEvent(events[index]);
  }

  // Both signalled by the time the parent looks: the lower index wins.
  const pid_t child = RunInChild([&] {
    bool bOk = SetEvent(CEvent::OpenNamed(names[2])) && SetEvent(CEvent::OpenNamed(names[1]));
    return bOk ? 0 : kChildFailed;
  });
  ASSERT_EQ(0, WaitForChild(child));
  EXPECT_EQ(WAIT_OBJECT_0 + 1, WaitForMultipleObjects(list, 0));
  EXPECT_EQ(WAIT_OBJECT_0 + 2, WaitForMultipleObjects(list, 0));
  EXPECT_EQ(WAIT_TIMEOUT, WaitForMultipleObjects(list, 0));
}

// Two child processes wait on one named event; the parent sets it once.
TEST_F(CrossProcessTest, OneSetWakesOneAutoResetWaiterButEveryManualResetWaiter) {
  for (EventReset reset : {EventReset::Auto, EventReset::Manual}) {
    const bool bManual = reset == EventReset::Manual;
    SCOPED_TRACE(bManual ? "manual reset" : "auto reset");
    const std::string& name = m_namespace.Name(bManual ? "Manual" : "Auto");
    CEvent event = CEvent::CreateNamed(name, reset, false);
    ASSERT_TRUE(event);
    auto waitOnce = [&] {
      return ExitStatusOfWait(WaitForSingleObject(CEvent::OpenNamed(name), kChildWaitMs));
    };
    const pid_t first = RunInChild(waitOnce);
    const pid_t second = RunInChild(waitOnce);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    SetEvent(event);

    const int statuses[] = {WaitForChild(first), WaitForChild(second)};
    int nAdmitted = 0;
    for (int status : statuses) {
      EXPECT_NE(kChildFailed, status);
      EXPECT_NE(-1, status);
      nAdmitted += status == kChildAdmitted ? 1 : 0;
    }
    EXPECT_EQ(bManual ? 2 : 1, nAdmitted);
    EXPECT_EQ(bManual ? WAIT_OBJECT_0 : WAIT_TIMEOUT, WaitForSingleObject(event, 0));
  }
}

TEST_F(CrossProcessTest, OwnerDeathGivesAbandonedAndThenOwnership) {
  const std::string& name = m_namespace.Name("Mutex");
  CMutex mutex = CMutex::CreateNamed(name);
  ASSERT_TRUE(mutex);

  const pid_t owner = RunInChild([&] {
    // Ends while owning the mutex, with the mutex still open.
    CMutex opened = CMutex::OpenNamed(name);
    _exit(ExitStatusOfWait(WaitForSingleObject(opened, 0)));
    return kChildFailed;
  });
  ASSERT_EQ(kChildAdmitted, WaitForChild(owner));

  ASSERT_EQ(WAIT_ABANDONED, WaitForSingleObject(mutex, 1000));
  const pid_t shutOut = RunInChild([&] {
    return ExitStatusOfWait(WaitForSingleObject(CMutex::OpenNamed(name), 50));
  });
  EXPECT_EQ(kChildTimedOut, WaitForChild(shutOut));

  ASSERT_TRUE(ReleaseMutex(mutex));
  const pid_t next = RunInChild([&] {
    CMutex opened = CMutex::OpenNamed(name);
    const int status = ExitStatusOfWait(WaitForSingleObject(opened, 1000));
    return ReleaseMutex(opened) ? status : kChildFailed;
  });
  EXPECT_EQ(kChildAdmitted, WaitForChild(next));
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(mutex, 0));
  EXPECT_TRUE(ReleaseMutex(mutex));
}

}  // namespace
