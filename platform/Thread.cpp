#include "platform/Thread.h"

#include "platform/Event.h"
#include "platform/KernelObjects.h"

#include <atomic>
#include <new>
#include <system_error>
#include <utility>

// What the thread and its owner share. The thread holds its own reference, so an owner that was
// closed or abandoned may go while the thread still runs.
struct CThread::SharedState {
  CEvent m_hEnded = CEvent::CreateUnnamed(EventReset::Manual, false);
  // STILL_ACTIVE until the first of "entry returned" and "abandoned" writes it.
  std::atomic<DWORD> m_dwExitCode{STILL_ACTIVE};
  std::atomic<bool> m_bAbandoned{false};

  // True when this call recorded the exit code, false when another end came first.
  bool RecordEnd(DWORD dwExitCode) {
    DWORD expected = STILL_ACTIVE;
    return m_dwExitCode.compare_exchange_strong(expected, dwExitCode, std::memory_order_acq_rel);
  }
};

CThread::CThread(CThread&& other) noexcept
    : m_pState(std::move(other.m_pState)), m_thread(std::move(other.m_thread)) {}

CThread& CThread::operator=(CThread&& other) noexcept {
  if (this != &other) {
    Close();
    m_pState = std::move(other.m_pState);
    m_thread = std::move(other.m_thread);
  }
  return *this;
}

CThread::~CThread() { Close(); }

CThread CThread::Create(EntryFunction entry, void* pArgument) {
  if (entry == nullptr)
    return {};
  CThread thread;
  try {
    thread.m_pState = std::make_shared<SharedState>();
    if (!thread.m_pState->m_hEnded)
      return {};
    thread.m_thread = std::thread([pState = thread.m_pState, entry, pArgument] {
      pState->RecordEnd(entry(pArgument));
      pState->m_hEnded.Set();
    });
  } catch (const std::bad_alloc&) {
    return {};
  } catch (const std::system_error&) {
    return {};
  }
  return thread;
}

DWORD CThread::Wait(DWORD dwMilliseconds) const {
  if (!m_pState)
    return WAIT_FAILED;
  return WaitForSingleObject(m_pState->m_hEnded, dwMilliseconds);
}

bool CThread::GetExitCode(DWORD& dwExitCode) const {
  if (!m_pState)
    return false;
  dwExitCode = m_pState->m_dwExitCode.load(std::memory_order_acquire);
  return true;
}

bool CThread::SetPriority(int nPriority) const {
  return m_pState && nPriority == THREAD_PRIORITY_NORMAL;
}

bool CThread::Abandon(DWORD dwExitCode) {
  if (!m_pState || !m_pState->RecordEnd(dwExitCode))
    return false;
  m_pState->m_bAbandoned.store(true, std::memory_order_release);
  if (m_thread.joinable())
    m_thread.detach();
  // As on Win32, the handle of a terminated thread is signalled.
  m_pState->m_hEnded.Set();
  return true;
}

bool CThread::IsAbandoned() const {
  return m_pState && m_pState->m_bAbandoned.load(std::memory_order_acquire);
}

void CThread::Close() {
  if (m_thread.joinable()) {
    // The ended event is set as the thread's last act, so joining then waits only for its exit.
    if (m_pState && WaitForSingleObject(m_pState->m_hEnded, 0) == WAIT_OBJECT_0)
      m_thread.join();
    else
      m_thread.detach();
  }
  m_pState.reset();
}
