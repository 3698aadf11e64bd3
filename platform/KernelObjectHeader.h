#pragma once
// The first 16 bytes of every named mutex and event object in shared memory. This layout is
// the contract with IDEs written in any language, so it never changes shape:
//
//   offset 0  uint32 m_nMagic    "VTMX" (0x584D5456) for a mutex, "VTEV" (0x56455456) for an event
//   offset 4  uint32 m_nVersion  1
//   offset 8  uint32 m_nFlags    events: bit 0 set = manual reset; mutexes: 0
//   offset 12 uint32 m_nReserved 0
//   offset 16 a mutex's pthread_mutex_t (process-shared, robust) or an event's uint32 futex word
//             (0 not signalled, 1 signalled)
//
// All fields are little-endian (the host order on every platform we build for). A creator
// fills the object first and stores the magic last, with release order, so an opener that sees
// the right magic also sees an initialised mutex or word; an object caught half-made therefore
// looks like one of the wrong kind and does not open.

#include <cstddef>
#include <cstdint>

struct KernelObjectHeader {
  std::uint32_t m_nMagic;
  std::uint32_t m_nVersion;
  std::uint32_t m_nFlags;
  std::uint32_t m_nReserved;
};
static_assert(sizeof(KernelObjectHeader) == 16);

constexpr std::uint32_t kMutexMagic = 0x584D5456;  // "VTMX" read little-endian
constexpr std::uint32_t kEventMagic = 0x56455456;  // "VTEV" read little-endian
constexpr std::uint32_t kKernelObjectVersion = 1;
constexpr std::uint32_t kEventFlagManualReset = 1u << 0;
constexpr std::size_t kKernelObjectBodyOffset = 16;

#include <span>

// True when the image is large enough for a header and a body of nBodySize bytes and carries
// this magic and version 1 (magic read with acquire order, see above). pFlags receives m_nFlags.
bool ReadKernelObjectHeader(std::span<std::byte> image, std::uint32_t nMagic,
                            std::size_t nBodySize, std::uint32_t* pFlags);
// Fills version, flags and reserved, then stores the magic with release order: call it once the
// body is initialised. The image must hold at least a header.
void PublishKernelObjectHeader(std::span<std::byte> image, std::uint32_t nMagic,
                               std::uint32_t nFlags);
