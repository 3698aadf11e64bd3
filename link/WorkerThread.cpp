#include "link/WorkerThread.h"

#include "platform/KernelObjects.h"

namespace {

constexpr DWORD kForcedEndExitCode = 1;

}  // namespace

// Closing the handle neither stops nor waits for the thread: its owner has ended it already, or
// abandoned it and keeps this object alive.
CWorkerThread::~CWorkerThread() = default;

bool CWorkerThread::Start(int nPriority, unsigned nCreateFlags) {
  m_bStopped.store(false, std::memory_order_release);
  // Only "run at once" exists here; a suspended start could never be resumed.
  if (nCreateFlags == 0)
    m_hThread = CThread::Create(&CWorkerThread::ThreadEntry, this);
  if (nCreateFlags != 0 || !m_hThread) {
    m_hThread.Close();
    m_bStopped.store(true, std::memory_order_release);
    return false;
  }
  // Its result does not matter: the thread runs either way, as on Win32.
  SetThreadPriority(m_hThread, nPriority);
  return true;
}

void CWorkerThread::Stop(bool bWait, DWORD dwMilliseconds) {
  if (!bWait)
    return;
  m_bStopped.store(true, std::memory_order_release);
  if (WaitForSingleObject(m_hThread, dwMilliseconds) == WAIT_TIMEOUT)
    EndByForce(kForcedEndExitCode);
}

unsigned CWorkerThread::ThreadEntry(void* pObject) {
  auto* pThread = static_cast<CWorkerThread*>(pObject);
  pThread->Run();
  // The last touch of the object by this thread; the owner deletes it only after the thread
  // handle is signalled, which happens after this function has returned.
  pThread->m_bStopped.store(true, std::memory_order_release);
  return 0;
}

DWORD CWorkerThread::WaitForThread(DWORD dwMilliseconds) const {
  return WaitForSingleObject(m_hThread, dwMilliseconds);
}

void CWorkerThread::EndByForce(DWORD dwExitCode) { TerminateThread(m_hThread, dwExitCode); }
