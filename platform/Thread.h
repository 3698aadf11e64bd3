#pragma once
// CThread: an operating-system thread seen through Win32 thread-handle operations: a bounded
// wait for its end, its exit code, and the stand-in for TerminateThread.
//
// Linux has no safe way to end a thread by force. Abandon (TerminateThread) detaches the thread
// and records the given exit code; the thread runs on until it returns or the process ends. The
// caller must keep everything that thread may still touch alive (the link deliberately leaks an
// abandoned worker's object for this reason).
//
// Ownership and threads: move-only owner, used from one owner thread. The thread's end is
// published through an internal manual-reset event that outlives the owner when needed, so the
// thread never touches the owner object itself. Closing (or destroying) the owner joins a thread
// that has ended and detaches one that still runs, as CloseHandle leaves a running thread alone.

#include "platform/WinTypes.h"

#include <memory>
#include <thread>

class CThread {
 public:
  using EntryFunction = unsigned (*)(void* pArgument);

  CThread() = default;
  CThread(CThread&& other) noexcept;
  CThread& operator=(CThread&& other) noexcept;
  CThread(const CThread&) = delete;
  CThread& operator=(const CThread&) = delete;
  ~CThread();

  // Starts entry(pArgument) on a new thread at once; its return value becomes the exit code.
  // Null when the thread cannot be created. Never throws.
  static CThread Create(EntryFunction entry, void* pArgument);

  explicit operator bool() const { return m_pState != nullptr; }

  // WAIT_OBJECT_0 once the entry function has returned (or the thread was abandoned),
  // WAIT_TIMEOUT after at least dwMilliseconds, WAIT_FAILED for a null thread.
  DWORD Wait(DWORD dwMilliseconds) const;
  // STILL_ACTIVE while running; false for a null thread.
  bool GetExitCode(DWORD& dwExitCode) const;
  // Win32 priorities have no meaning here; THREAD_PRIORITY_NORMAL is accepted and changes
  // nothing, any other value is refused.
  bool SetPriority(int nPriority) const;
  // The TerminateThread stand-in (see above). False for a null or already finished thread.
  bool Abandon(DWORD dwExitCode);
  bool IsAbandoned() const;

  // Joins an ended thread, detaches a running one (CloseHandle).
  void Close();

 private:
  struct SharedState;

  std::shared_ptr<SharedState> m_pState;
  std::thread m_thread;
};
