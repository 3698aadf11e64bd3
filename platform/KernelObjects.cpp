#include "platform/KernelObjects.h"

#include "platform/Futex.h"

#include <cerrno>
#include <optional>

#include <time.h>
#include <unistd.h>

namespace {

bool IsWaitableList(std::span<const CEvent* const> events) {
  if (events.empty() || events.size() > MAXIMUM_WAIT_OBJECTS)
    return false;
  for (const CEvent* pEvent : events) {
    if (pEvent == nullptr || !*pEvent)
      return false;
  }
  return true;
}

// The lowest index whose event is signalled, taking that one signal only.
std::optional<DWORD> TakeLowestSignalled(std::span<const CEvent* const> events) {
  for (std::size_t i = 0; i < events.size(); ++i) {
    if (events[i]->TryTake())
      return static_cast<DWORD>(i);
  }
  return std::nullopt;
}

// Announces this thread as a sleeper on the unnamed events for the duration of one sleep. The
// increment comes before the futex's own check of the word, so a Set either sees the sleeper
// and wakes it, or stored its 1 early enough for the check to refuse the sleep.
class CSleeperAnnouncement {
 public:
  explicit CSleeperAnnouncement(std::span<const CEvent* const> events) : m_events(events) {
    for (const CEvent* pEvent : m_events) {
      if (std::atomic<std::uint32_t>* pCount = pEvent->GetSleeperCount())
        pCount->fetch_add(1, std::memory_order_seq_cst);
    }
  }
  ~CSleeperAnnouncement() {
    for (const CEvent* pEvent : m_events) {
      if (std::atomic<std::uint32_t>* pCount = pEvent->GetSleeperCount())
        pCount->fetch_sub(1, std::memory_order_relaxed);
    }
  }
  CSleeperAnnouncement(const CSleeperAnnouncement&) = delete;
  CSleeperAnnouncement& operator=(const CSleeperAnnouncement&) = delete;

 private:
  std::span<const CEvent* const> m_events;
};

}  // namespace

DWORD WaitForSingleObject(const CEvent& event, DWORD dwMilliseconds) {
  const CEvent* events[] = {&event};
  return WaitForMultipleObjects(std::span<const CEvent* const>(events), dwMilliseconds);
}

DWORD WaitForSingleObject(const CMutex& mutex, DWORD dwMilliseconds) {
  return mutex.Wait(dwMilliseconds);
}

DWORD WaitForSingleObject(const CThread& thread, DWORD dwMilliseconds) {
  return thread.Wait(dwMilliseconds);
}

DWORD WaitForMultipleObjects(std::span<const CEvent* const> events, DWORD dwMilliseconds) {
  if (!IsWaitableList(events))
    return WAIT_FAILED;
  FutexWord words[MAXIMUM_WAIT_OBJECTS];
  for (std::size_t i = 0; i < events.size(); ++i)
    words[i] = {events[i]->GetFutexWord(), events[i]->IsProcessShared()};
  const std::span<const FutexWord> wordList(words, events.size());

  const Deadline deadline = MakeDeadline(dwMilliseconds);
  for (;;) {
    if (std::optional<DWORD> index = TakeLowestSignalled(events))
      return WAIT_OBJECT_0 + *index;
    if (dwMilliseconds == 0 || HasPassed(deadline))
      return WAIT_TIMEOUT;
    // Woken or not, look again: a wake-up may be spurious or its signal taken by another waiter.
    const CSleeperAnnouncement announcement(events);
    if (FutexSleepWhileZero(wordList, deadline) == FutexSleep::Failed)
      return WAIT_FAILED;
  }
}

DWORD WaitForMultipleObjects(std::initializer_list<const CEvent*> events, DWORD dwMilliseconds) {
  return WaitForMultipleObjects(std::span<const CEvent* const>(events.begin(), events.size()),
                                dwMilliseconds);
}

void Sleep(DWORD dwMilliseconds) {
  if (dwMilliseconds == INFINITE) {
    for (;;)
      pause();
  }
  // An absolute deadline keeps the pause whole across signal interruptions.
  const Deadline deadline = MakeDeadline(dwMilliseconds);
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &*deadline, nullptr) == EINTR) {
  }
}
