#pragma once
// The Win32 scalar types and result values that the link code is written against. The values
// are Win32's own, so code and logs read the same as on the original platform.

#include <cstdint>

using DWORD = std::uint32_t;

// Results of WaitForSingleObject and WaitForMultipleObjects. A wait for any of n objects
// returns WAIT_OBJECT_0 + i for the lowest signalled index i.
constexpr DWORD WAIT_OBJECT_0 = 0x00000000;
constexpr DWORD WAIT_ABANDONED = 0x00000080;  // a robust mutex whose owner died; now owned
constexpr DWORD WAIT_TIMEOUT = 0x00000102;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;

// A time limit that never runs out.
constexpr DWORD INFINITE = 0xFFFFFFFF;

// The most objects one WaitForMultipleObjects call accepts (Win32's limit; futex_waitv's is
// larger).
constexpr DWORD MAXIMUM_WAIT_OBJECTS = 64;

// Exit code of a thread that has not ended yet.
constexpr DWORD STILL_ACTIVE = 0x00000103;

// The only thread priority this system uses; it changes nothing on Linux.
constexpr int THREAD_PRIORITY_NORMAL = 0;
