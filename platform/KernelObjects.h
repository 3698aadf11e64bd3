#pragma once
// The Win32 operations on kernel objects, under their Win32 names, so the link code reads like
// its description. The objects are the move-only owners of Event.h, Mutex.h, Thread.h,
// FileMapping.h and MapView.h; "CloseHandle" releases an owner early.
//
// Waits:
// - A wait first looks at the objects in index order; the lowest signalled index wins, and an
//   auto-reset event is consumed only when it is the one returned.
// - Otherwise it sleeps on every event word at once (futex_waitv) and looks again. Spurious
//   wake-ups and signals taken by another waiter never end a wait early; the time limit is an
//   absolute deadline on the monotonic clock, so it holds however often signals come and go.
// - dwMilliseconds == INFINITE waits without limit; 0 only looks.
// Results: WAIT_OBJECT_0 + i, WAIT_TIMEOUT, WAIT_ABANDONED (mutex), WAIT_FAILED (null object,
// empty or oversized list, or a system call failing unexpectedly).

#include "platform/Event.h"
#include "platform/FileMapping.h"
#include "platform/MapView.h"
#include "platform/Mutex.h"
#include "platform/Thread.h"
#include "platform/WinTypes.h"

#include <initializer_list>
#include <span>

DWORD WaitForSingleObject(const CEvent& event, DWORD dwMilliseconds);
DWORD WaitForSingleObject(const CMutex& mutex, DWORD dwMilliseconds);
DWORD WaitForSingleObject(const CThread& thread, DWORD dwMilliseconds);

// Wait for any (Win32's bWaitAll == FALSE; waiting for all is not offered). Events only: the
// link never waits on a mutex together with other objects. A null pointer fails the wait.
DWORD WaitForMultipleObjects(std::span<const CEvent* const> events, DWORD dwMilliseconds);
DWORD WaitForMultipleObjects(std::initializer_list<const CEvent*> events, DWORD dwMilliseconds);

inline bool SetEvent(const CEvent& event) { return event.Set(); }
inline bool ResetEvent(const CEvent& event) { return event.Reset(); }
inline bool ReleaseMutex(const CMutex& mutex) { return mutex.Release(); }

inline bool GetExitCodeThread(const CThread& thread, DWORD* pExitCode) {
  return pExitCode != nullptr && thread.GetExitCode(*pExitCode);
}
inline bool SetThreadPriority(const CThread& thread, int nPriority) {
  return thread.SetPriority(nPriority);
}
inline bool TerminateThread(CThread& thread, DWORD dwExitCode) {
  return thread.Abandon(dwExitCode);
}

// Releases any owner early; the owner is null afterwards.
template <class TOwner>
void CloseHandle(TOwner& owner) {
  owner.Close();
}

void Sleep(DWORD dwMilliseconds);
