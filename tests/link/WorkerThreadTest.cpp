#include "link/WorkerThread.h"

#include "platform/KernelObjects.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr DWORD kGenerousMs = 10000;
constexpr rlim_t kAddressSpaceHeadroom = 1 << 20;  // far below a thread stack's 8 MiB

rlim_t CurrentAddressSpaceBytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmSize:", 0) == 0)
      return static_cast<rlim_t>(std::stoull(line.substr(7))) * 1024;
  }
  return 0;
}

// A worker whose Run reports that it began and then waits for m_hRelease, as a link thread
// waits for its stop event.
class CBlockingWorker : public CWorkerThread {
 public:
  void Run() override {
    SetEvent(m_hRunning);
    WaitForSingleObject(m_hRelease, INFINITE);
  }

  CEvent m_hRunning = CEvent::CreateUnnamed(EventReset::Manual, false);
  CEvent m_hRelease = CEvent::CreateUnnamed(EventReset::Manual, false);
};

TEST(WorkerThreadTest, RunReturnsToStoppedStateWithExitCodeZero) {
  CBlockingWorker worker;
  EXPECT_TRUE(worker.IsStopped());
  ASSERT_TRUE(worker.Start(THREAD_PRIORITY_NORMAL, 0));
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(worker.m_hRunning, kGenerousMs));
  EXPECT_FALSE(worker.IsStopped());

  // Without waiting, Stop changes nothing: not the flag, not the thread.
  worker.Stop(false, 0);
  EXPECT_FALSE(worker.IsStopped());
  DWORD exitCode = 0;
  ASSERT_TRUE(worker.GetExitCode(exitCode));
  EXPECT_EQ(STILL_ACTIVE, exitCode);

  SetEvent(worker.m_hRelease);
  ASSERT_EQ(WAIT_OBJECT_0, worker.WaitForThread(kGenerousMs));
  EXPECT_TRUE(worker.IsStopped());
  ASSERT_TRUE(worker.GetExitCode(exitCode));
  EXPECT_EQ(0u, exitCode);

  // Waiting for a thread whose Run has returned ends nothing.
  worker.Stop(true, 0);
  EXPECT_FALSE(worker.IsAbandoned());
  ASSERT_TRUE(worker.GetExitCode(exitCode));
  EXPECT_EQ(0u, exitCode);
}

TEST(WorkerThreadTest, StopThatRunsOutOfTimeAbandonsTheThreadWithExitCodeOne) {
  // The abandoned thread may run inside its object until the process ends, so the object is
  // kept, reachable, for the rest of the process (as shut-down keeps it).
  static auto* s_pKept = new std::vector<std::unique_ptr<CBlockingWorker>>;
  CBlockingWorker& worker = *s_pKept->emplace_back(std::make_unique<CBlockingWorker>());
  ASSERT_TRUE(worker.Start(THREAD_PRIORITY_NORMAL, 0));
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(worker.m_hRunning, kGenerousMs));

  worker.Stop(true, 20);
  EXPECT_TRUE(worker.IsStopped());
  EXPECT_TRUE(worker.IsAbandoned());
  DWORD exitCode = 0;
  ASSERT_TRUE(worker.GetExitCode(exitCode));
  EXPECT_EQ(1u, exitCode);
  EXPECT_EQ(WAIT_OBJECT_0, worker.WaitForThread(0));

  // Let it go: it ends on its own, and its late return does not change the exit code.
  SetEvent(worker.m_hRelease);
}

TEST(WorkerThreadTest, FailedStartLeavesNoThreadAndTheStoppedState) {
  CBlockingWorker worker;
  // A suspended start (CREATE_SUSPENDED) cannot be honoured here, so thread creation fails.
  constexpr unsigned kCreateSuspended = 0x4;
  EXPECT_FALSE(worker.Start(THREAD_PRIORITY_NORMAL, kCreateSuspended));
  EXPECT_TRUE(worker.IsStopped());
  EXPECT_FALSE(worker.HasThread());
  EXPECT_EQ(WAIT_FAILED, worker.WaitForThread(0));
  worker.Stop(true, 0);  // nothing to wait for, nothing to end
  EXPECT_FALSE(worker.IsAbandoned());
}

// In a child process whose address space is capped just above its current size, no thread
// stack can be mapped, so thread creation itself fails.
TEST(WorkerThreadTest, ThreadCreationFailureLeavesNoThreadAndTheStoppedState) {
  const pid_t child = fork();
  if (child == 0) {
    CBlockingWorker worker;
    rlimit limit{};
    getrlimit(RLIMIT_AS, &limit);
    limit.rlim_cur = CurrentAddressSpaceBytes() + kAddressSpaceHeadroom;
    setrlimit(RLIMIT_AS, &limit);
    const bool bStarted = worker.Start(THREAD_PRIORITY_NORMAL, 0);
    const bool bCleanFailure = !bStarted && worker.IsStopped() && !worker.HasThread();
    if (bStarted)
      SetEvent(worker.m_hRelease);
    _exit(bCleanFailure ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(child, waitpid(child, &status, 0));
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(0, WEXITSTATUS(status));
}

TEST(WorkerThreadTest, NeverStartedWorkerHasNoThreadToCloseOrWaitFor) {
  CBlockingWorker worker;
  EXPECT_FALSE(worker.HasThread());
  DWORD exitCode = 0;
  EXPECT_FALSE(worker.GetExitCode(exitCode));
}

}  // namespace
