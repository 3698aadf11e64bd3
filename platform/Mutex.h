#pragma once
// CMutex: a named Win32-style mutex: a shared-memory object with the KernelObjectHeader ABI and
// a process-shared, robust pthread_mutex_t at offset 16.
//
// Ownership of the lock follows the thread, as on Win32: the thread whose Wait returned
// WAIT_OBJECT_0 or WAIT_ABANDONED owns it and must Release it. The mutexes we create are also
// recursive, as Win32's are (a second Wait by the owner succeeds and needs a second Release); an
// IDE may create plain robust ones, which this class opens just as well.
// When the owner's process or thread dies holding the lock, the next Wait returns
// WAIT_ABANDONED: the waiter then owns the mutex, already marked consistent, and must release it.
//
// The owner object is move-only and may be used from any thread; it must outlive every wait.
// A null (default-constructed, moved-from or closed) mutex fails every operation.

#include "platform/MapView.h"
#include "platform/WinTypes.h"

#include <pthread.h>
#include <sys/types.h>

#include <atomic>
#include <string_view>

class CMutex {
 public:
  CMutex() = default;
  CMutex(CMutex&& other) noexcept;
  CMutex& operator=(CMutex&& other) noexcept;
  CMutex(const CMutex&) = delete;
  CMutex& operator=(const CMutex&) = delete;

  // A new named mutex, not owned, mode 0600; null when the name is taken or setup fails.
  static CMutex CreateNamed(std::string_view name);
  // An existing named mutex; null when missing, too small, or not a mutex of version 1.
  static CMutex OpenNamed(std::string_view name);

  explicit operator bool() const { return m_pMutex != nullptr; }

  // WAIT_OBJECT_0 (now owned), WAIT_ABANDONED (now owned; the previous owner died),
  // WAIT_TIMEOUT after at least dwMilliseconds, or WAIT_FAILED.
  DWORD Wait(DWORD dwMilliseconds) const;
  // False when the calling thread does not own the mutex through this object, or for a null
  // mutex.
  bool Release() const;

  // Unmaps early (CloseHandle). Closing while a thread of this process owns the lock through
  // this object leaves the lock held, as on Win32, and the object stays mapped for the rest of
  // the process: the C library and the kernel reach a held robust mutex through its memory (the
  // list of held locks, and the owner-died marking when the owner ends), so unmapping it would
  // crash later locking or leave the other side waiting for ever.
  void Close();
  ~CMutex() { Close(); }

 private:
  void NoteTaken() const;

  CMapView m_view;
  pthread_mutex_t* m_pMutex = nullptr;
  // The thread that holds the lock through this object (0: none) and how many times it took
  // it; written only by that thread while it holds the lock.
  mutable std::atomic<pid_t> m_ownerThread{0};
  mutable std::atomic<int> m_nHeld{0};
};
