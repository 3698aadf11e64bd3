#pragma once
// CWorkerThread: base of the link's background threads. It owns one thread that runs the
// derived class's Run, records when Run has returned, and offers a bounded wait that ends the
// thread by force when it does not finish in time.
//
// Threads: Start, Stop, WaitForThread, EndByForce and the destructor run on the owner's thread;
// Run and the end of ThreadEntry run on the new thread. m_bStopped is written from both and is
// atomic; it only reports state: loops end on the derived class's stop event, never on it.
//
// Forced end: Linux cannot end a thread safely, so a thread that outlives its limit is detached
// and abandoned (IsAbandoned). Its object must then NOT be deleted, because the thread may still
// run inside it; the owner leaks it on purpose and goes on, and the process exit ends the thread.
//
// Lifetime: the destructor neither stops nor waits for the thread: the owner ends it first (or
// abandons it and keeps the object). Destroying an object that was never started closes nothing.

#include "platform/Thread.h"
#include "platform/WinTypes.h"

#include <atomic>

class CWorkerThread {
 public:
  CWorkerThread() = default;
  CWorkerThread(const CWorkerThread&) = delete;
  CWorkerThread& operator=(const CWorkerThread&) = delete;
  virtual ~CWorkerThread();

  // Starts Run on a new thread. nPriority is a Win32 priority (only THREAD_PRIORITY_NORMAL has a
  // meaning here), nCreateFlags the creation flags (only 0, run at once, is supported; others
  // fail the call). False when no thread was made: m_bStopped is then true again and no thread
  // handle is held.
  virtual bool Start(int nPriority, unsigned nCreateFlags);
  // bWait false: returns at once and changes nothing. bWait true: sets m_bStopped, waits for the
  // thread up to dwMilliseconds and ends it by force (exit code 1) when it is still running.
  // Does not set the derived class's stop event.
  virtual void Stop(bool bWait, DWORD dwMilliseconds);
  virtual void Run() = 0;

  // The thread-start routine: runs pObject's Run, then sets m_bStopped; returns exit code 0.
  static unsigned ThreadEntry(void* pObject);

  bool IsStopped() const { return m_bStopped.load(std::memory_order_acquire); }
  bool HasThread() const { return static_cast<bool>(m_hThread); }
  // The shut-down's bounded wait: WaitForSingleObject on the thread (WAIT_FAILED without one).
  DWORD WaitForThread(DWORD dwMilliseconds) const;
  // The TerminateThread stand-in: detach and abandon with this exit code (see above).
  void EndByForce(DWORD dwExitCode);
  bool IsAbandoned() const { return m_hThread.IsAbandoned(); }
  // GetExitCodeThread: STILL_ACTIVE while running; false without a thread.
  bool GetExitCode(DWORD& dwExitCode) const { return m_hThread.GetExitCode(dwExitCode); }

 protected:
  CThread m_hThread;
  std::atomic<bool> m_bStopped{true};
};
