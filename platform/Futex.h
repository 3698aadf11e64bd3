#pragma once
// The futex system calls behind events, and the deadline arithmetic of every timed wait.
// Internal to platform/: link code waits through KernelObjects.h.

#include "platform/WinTypes.h"

#include <cstdint>
#include <optional>
#include <span>

#include <time.h>

// An absolute point on CLOCK_MONOTONIC, or none for INFINITE.
using Deadline = std::optional<timespec>;
Deadline MakeDeadline(DWORD dwMilliseconds);
// True once the monotonic clock has reached the deadline (never for none).
bool HasPassed(const Deadline& deadline);

// One word to sleep on; bShared for words in memory shared with other processes.
struct FutexWord {
  std::uint32_t* pWord;
  bool bShared;
};

enum class FutexSleep : std::uint8_t {
  Woken,     // woken, interrupted, or a word was not 0 any more: look again
  TimedOut,  // the deadline has passed
  Failed,    // the system call refused the request
};

// Sleeps while every word holds 0, until a wake-up, a signal or the deadline. Any return may be
// spurious: the caller looks at the words again.
FutexSleep FutexSleepWhileZero(std::span<const FutexWord> words, const Deadline& deadline);
// Wakes every thread sleeping on the word.
void FutexWakeAll(std::uint32_t* pWord, bool bShared);
