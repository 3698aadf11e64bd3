#include "platform/KernelObjects.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <vector>

namespace {

// What a test thread works on: it waits for m_hGo, then returns m_nResult and sets m_hLeft
// after its entry function would have returned (the caller keeps this alive as long as needed).
struct BlockedWork {
  CEvent m_hGo = CEvent::CreateUnnamed(EventReset::Manual, false);
  CEvent m_hLeft = CEvent::CreateUnnamed(EventReset::Manual, false);
  unsigned m_nResult = 0;

  static unsigned Entry(void* pArgument) {
    auto* pWork = static_cast<BlockedWork*>(pArgument);
    WaitForSingleObject(pWork->m_hGo, INFINITE);
    SetEvent(pWork->m_hLeft);
    return pWork->m_nResult;
  }
};

// An abandoned thread may still touch its work after the test has ended, so such work is kept,
// reachable, for the rest of the process, as the link keeps an abandoned worker's object.
BlockedWork* MakeKeptWork() {
  static auto* s_pKept = new std::vector<std::unique_ptr<BlockedWork>>;
  return s_pKept->emplace_back(std::make_unique<BlockedWork>()).get();
}

TEST(ThreadTest, HandleIsSignalledWithTheExitCodeOnceTheEntryReturns) {
  BlockedWork work;
  work.m_nResult = 42;
  CThread thread = CThread::Create(&BlockedWork::Entry, &work);
  ASSERT_TRUE(thread);
  EXPECT_TRUE(SetThreadPriority(thread, THREAD_PRIORITY_NORMAL));
  EXPECT_FALSE(SetThreadPriority(thread, 2));

  DWORD exitCode = 0;
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(thread, 10));
  ASSERT_TRUE(GetExitCodeThread(thread, &exitCode));
  EXPECT_EQ(STILL_ACTIVE, exitCode);

  SetEvent(work.m_hGo);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, INFINITE));
  ASSERT_TRUE(GetExitCodeThread(thread, &exitCode));
  EXPECT_EQ(42u, exitCode);
  EXPECT_FALSE(TerminateThread(thread, 1));  // it has ended: nothing left to end
  EXPECT_FALSE(thread.IsAbandoned());
}

TEST(ThreadTest, AbandonedThreadRunsOnDetachedWithTheForcedExitCode) {
  BlockedWork* pWork = MakeKeptWork();
  pWork->m_nResult = 7;
  CThread thread = CThread::Create(&BlockedWork::Entry, pWork);
  ASSERT_TRUE(TerminateThread(thread, 1));
  EXPECT_TRUE(thread.IsAbandoned());
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 0));
  CloseHandle(thread);  // the owner goes; the thread does not need it

  // The thread still runs; once let go it finishes without the owner.
  SetEvent(pWork->m_hGo);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(pWork->m_hLeft, INFINITE));
}

TEST(ThreadTest, ForcedExitCodeWinsOverTheLaterReturn) {
  BlockedWork* pWork = MakeKeptWork();
  pWork->m_nResult = 0;
  CThread thread = CThread::Create(&BlockedWork::Entry, pWork);
  ASSERT_TRUE(TerminateThread(thread, 1));
  SetEvent(pWork->m_hGo);
  WaitForSingleObject(pWork->m_hLeft, INFINITE);
  DWORD exitCode = 0;
  ASSERT_TRUE(GetExitCodeThread(thread, &exitCode));
  EXPECT_EQ(1u, exitCode);
}

}  // namespace
