#include "platform/Futex.h"

#include <cerrno>
#include <climits>

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

constexpr long kNanosecondsPerSecond = 1'000'000'000;
constexpr long kNanosecondsPerMillisecond = 1'000'000;
constexpr long kSysFutexWaitv = 449;  // stable x86-64/arm64 number; older headers lack it
constexpr std::uint32_t kFutex2SizeU32 = 0x02;
constexpr std::uint32_t kFutex2Private = 128;  // FUTEX_PRIVATE_FLAG
constexpr std::size_t kFutexWaitvMax = 128;

// The kernel's struct futex_waitv, declared here because older C library headers lack it.
struct FutexWaitv {
  std::uint64_t val;
  std::uint64_t uaddr;
  std::uint32_t flags;
  std::uint32_t reserved;
};

FutexSleep ClassifyError(int error) {
  switch (error) {
    case ETIMEDOUT:
      return FutexSleep::TimedOut;
    case EAGAIN:  // a word was not 0 when the kernel looked
    case EINTR:
      return FutexSleep::Woken;
    default:
      return FutexSleep::Failed;
  }
}

FutexSleep SleepOnOneWord(const FutexWord& word, const Deadline& deadline) {
  // FUTEX_WAIT_BITSET takes an absolute CLOCK_MONOTONIC time, unlike FUTEX_WAIT's relative one.
  const int op = FUTEX_WAIT_BITSET | (word.bShared ? 0 : FUTEX_PRIVATE_FLAG);
  const timespec* pTimeout = deadline ? &*deadline : nullptr;
  if (syscall(SYS_futex, word.pWord, op, 0, pTimeout, nullptr, FUTEX_BITSET_MATCH_ANY) == 0)
    return FutexSleep::Woken;
  return ClassifyError(errno);
}

FutexSleep SleepOnWords(std::span<const FutexWord> words, const Deadline& deadline) {
  if (words.size() > kFutexWaitvMax)
    return FutexSleep::Failed;
  FutexWaitv waiters[kFutexWaitvMax] = {};
  for (std::size_t i = 0; i < words.size(); ++i) {
    waiters[i].val = 0;
    waiters[i].uaddr = reinterpret_cast<std::uintptr_t>(words[i].pWord);
    waiters[i].flags = kFutex2SizeU32 | (words[i].bShared ? 0 : kFutex2Private);
  }
  const timespec* pTimeout = deadline ? &*deadline : nullptr;
  if (syscall(kSysFutexWaitv, waiters, words.size(), 0, pTimeout, CLOCK_MONOTONIC) >= 0)
    return FutexSleep::Woken;
  return ClassifyError(errno);
}

}  // namespace

Deadline MakeDeadline(DWORD dwMilliseconds) {
  if (dwMilliseconds == INFINITE)
    return std::nullopt;
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  long nanoseconds = now.tv_nsec + static_cast<long>(dwMilliseconds % 1000) * kNanosecondsPerMillisecond;
  now.tv_sec += static_cast<time_t>(dwMilliseconds / 1000) + nanoseconds / kNanosecondsPerSecond;
  now.tv_nsec = nanoseconds % kNanosecondsPerSecond;
  return now;
}

bool HasPassed(const Deadline& deadline) {
  if (!deadline)
    return false;
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  if (now.tv_sec != deadline->tv_sec)
    return now.tv_sec > deadline->tv_sec;
  return now.tv_nsec >= deadline->tv_nsec;
}

FutexSleep FutexSleepWhileZero(std::span<const FutexWord> words, const Deadline& deadline) {
  if (words.empty())
    return FutexSleep::Failed;
  FutexSleep result = words.size() == 1 ? SleepOnOneWord(words[0], deadline)
                                        : SleepOnWords(words, deadline);
  // A timeout reported before our own clock agrees is treated as a wake-up, so the caller's
  // look-again loop, not the kernel's rounding, decides when a limit has run out.
  if (result == FutexSleep::TimedOut && !HasPassed(deadline))
    return FutexSleep::Woken;
  return result;
}

void FutexWakeAll(std::uint32_t* pWord, bool bShared) {
  const int op = FUTEX_WAKE | (bShared ? 0 : FUTEX_PRIVATE_FLAG);
  syscall(SYS_futex, pWord, op, INT_MAX, nullptr, nullptr, 0);
}
