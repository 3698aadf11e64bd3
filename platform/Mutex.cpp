#include "platform/Mutex.h"

#include "platform/FileMapping.h"
#include "platform/Futex.h"
#include "platform/KernelObjectHeader.h"

#include <cerrno>
#include <utility>

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

int LockUntil(pthread_mutex_t* pMutex, DWORD dwMilliseconds) {
  if (dwMilliseconds == INFINITE)
    return pthread_mutex_lock(pMutex);
  if (dwMilliseconds == 0)
    return pthread_mutex_trylock(pMutex);
  const Deadline deadline = MakeDeadline(dwMilliseconds);
  return pthread_mutex_clocklock(pMutex, CLOCK_MONOTONIC, &*deadline);
}

}  // namespace

CMutex::CMutex(CMutex&& other) noexcept
    : m_view(std::move(other.m_view)), m_pMutex(std::exchange(other.m_pMutex, nullptr)) {}

CMutex& CMutex::operator=(CMutex&& other) noexcept {
  if (this != &other) {
    m_view = std::move(other.m_view);
    m_pMutex = std::exchange(other.m_pMutex, nullptr);
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
      return WAIT_OBJECT_0;
    case EOWNERDEAD:
      // We hold the lock now; marking it consistent keeps it usable after our release, as a
      // Win32 abandoned mutex stays usable.
      if (pthread_mutex_consistent(m_pMutex) != 0) {
        pthread_mutex_unlock(m_pMutex);
        return WAIT_FAILED;
      }
      return WAIT_ABANDONED;
    case ETIMEDOUT:
    case EBUSY:
      return WAIT_TIMEOUT;
    default:
      return WAIT_FAILED;
  }
}

bool CMutex::Release() const {
  return m_pMutex != nullptr && pthread_mutex_unlock(m_pMutex) == 0;
}

void CMutex::Close() {
  m_view.Unmap();
  m_pMutex = nullptr;
}
