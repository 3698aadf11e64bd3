#include "platform/Mutex.h"

#include "platform/FileMapping.h"
#include "platform/Futex.h"
#include "platform/KernelObjectHeader.h"

#include <cerrno>
#include <ctime>
#include <utility>

#include <unistd.h>

namespace {

constexpr std::size_t kMutexBodySize = sizeof(pthread_mutex_t);

pthread_mutex_t* MutexIn(const CMapView& view) {
  return reinterpret_cast<pthread_mutex_t*>(view.GetBytes().data() + kKernelObjectBodyOffset);
}

// Process-shared so that both sides can lock it, robust so that a dead owner cannot block the
// other side for ever, recursive because Win32 mutexes are.
bool InitialiseSharedMutex(pthread_mutex_t* pMutex) {
  pthread_mutexattr_t attributes;
  if (pthread_mutexattr_init(&attributes) != 0)
    return false;
  bool bOk = pthread_mutexattr_setpshared(&attributes, PTHREAD_PROCESS_SHARED) == 0 &&
             pthread_mutexattr_setrobust(&attributes, PTHREAD_MUTEX_ROBUST) == 0 &&
             pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE) == 0 &&
             pthread_mutex_init(pMutex, &attributes) == 0;
  pthread_mutexattr_destroy(&attributes);
  return bOk;
}

// The realtime point at which the monotonic deadline falls, as seen now.
timespec RealtimeDeadline(const Deadline& deadline) {
  timespec now{};
  timespec realNow{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  clock_gettime(CLOCK_REALTIME, &realNow);
  long long remaining = (static_cast<long long>(deadline->tv_sec) - now.tv_sec) * 1'000'000'000LL +
                        (deadline->tv_nsec - now.tv_nsec);
  if (remaining < 0)
    remaining = 0;
  long long nanoseconds = realNow.tv_nsec + remaining % 1'000'000'000LL;
  realNow.tv_sec += static_cast<time_t>(remaining / 1'000'000'000LL + nanoseconds / 1'000'000'000LL);
  realNow.tv_nsec = static_cast<long>(nanoseconds % 1'000'000'000LL);
  return realNow;
}

// pthread_mutex_timedlock only knows the realtime clock (and it, unlike clocklock, is what the
// thread sanitizer understands). The monotonic deadline decides: a realtime jump forward that
// ends the lock early is followed by another try for the rest of the time.
int LockUntil(pthread_mutex_t* pMutex, DWORD dwMilliseconds) {
  // Trying first also collects an owner that has already died at once.
  const int tried = pthread_mutex_trylock(pMutex);
  if (tried != EBUSY || dwMilliseconds == 0)
    return tried;
  if (dwMilliseconds == INFINITE)
    return pthread_mutex_lock(pMutex);
  const Deadline deadline = MakeDeadline(dwMilliseconds);
  for (;;) {
    const timespec realDeadline = RealtimeDeadline(deadline);
    const int result = pthread_mutex_timedlock(pMutex, &realDeadline);
    if (result != ETIMEDOUT || HasPassed(deadline))
      return result;
  }
}

}  // namespace

CMutex::CMutex(CMutex&& other) noexcept
    : m_view(std::move(other.m_view)),
      m_pMutex(std::exchange(other.m_pMutex, nullptr)),
      m_nHeld(other.m_nHeld.exchange(0, std::memory_order_relaxed)) {}

CMutex& CMutex::operator=(CMutex&& other) noexcept {
  if (this != &other) {
    Close();
    m_view = std::move(other.m_view);
    m_pMutex = std::exchange(other.m_pMutex, nullptr);
    m_ownerThread.store(other.m_ownerThread.exchange(0, std::memory_order_relaxed),
                        std::memory_order_relaxed);
    m_nHeld.store(other.m_nHeld.exchange(0, std::memory_order_relaxed), std::memory_order_relaxed);
  }
  return *this;
}

CMutex CMutex::CreateNamed(std::string_view name) {
  CFileMapping mapping = CFileMapping::Create(name, kKernelObjectBodyOffset + kMutexBodySize);
  CMapView view = CMapView::Map(mapping);
  if (!view || !InitialiseSharedMutex(MutexIn(view))) {
    if (mapping)
      RemoveLinkObject(name);
    return {};
  }
  PublishKernelObjectHeader(view.GetBytes(), kMutexMagic, 0);
  CMutex mutex;
  mutex.m_pMutex = MutexIn(view);
  mutex.m_view = std::move(view);
  return mutex;
}

CMutex CMutex::OpenNamed(std::string_view name) {
  CMapView view = CMapView::Map(CFileMapping::Open(name));
  if (!view || !ReadKernelObjectHeader(view.GetBytes(), kMutexMagic, kMutexBodySize, nullptr))
    return {};
  CMutex mutex;
  mutex.m_pMutex = MutexIn(view);
  mutex.m_view = std::move(view);
  return mutex;
}

DWORD CMutex::Wait(DWORD dwMilliseconds) const {
  if (m_pMutex == nullptr)
    return WAIT_FAILED;
  switch (LockUntil(m_pMutex, dwMilliseconds)) {
    case 0:
      NoteTaken();
      return WAIT_OBJECT_0;
    case EOWNERDEAD:
      // We hold the lock now; marking it consistent keeps it usable after our release, as a
      // Win32 abandoned mutex stays usable.
      if (pthread_mutex_consistent(m_pMutex) != 0) {
        pthread_mutex_unlock(m_pMutex);
        return WAIT_FAILED;
      }
      NoteTaken();
      return WAIT_ABANDONED;
    case ETIMEDOUT:
    case EBUSY:
      return WAIT_TIMEOUT;
    default:
      return WAIT_FAILED;
  }
}

void CMutex::NoteTaken() const {
  m_ownerThread.store(gettid(), std::memory_order_relaxed);
  m_nHeld.fetch_add(1, std::memory_order_relaxed);
}

bool CMutex::Release() const {
  // Refused here rather than by the unlock: unlocking a mutex one does not hold is a fault the
  // C library reports but the thread sanitizer treats as fatal.
  if (m_pMutex == nullptr || m_ownerThread.load(std::memory_order_relaxed) != gettid())
    return false;
  const bool bLast = m_nHeld.fetch_sub(1, std::memory_order_relaxed) == 1;
  if (bLast)
    m_ownerThread.store(0, std::memory_order_relaxed);
  if (pthread_mutex_unlock(m_pMutex) == 0)
    return true;
  // Not ours after all (another object in this process took it): restore the bookkeeping.
  if (bLast)
    m_ownerThread.store(gettid(), std::memory_order_relaxed);
  m_nHeld.fetch_add(1, std::memory_order_relaxed);
  return false;
}

void CMutex::Close() {
  if (m_nHeld.exchange(0, std::memory_order_relaxed) > 0)
    m_view.Leak();  // see the header: a held robust mutex must stay mapped
  m_view.Unmap();
  m_pMutex = nullptr;
}
