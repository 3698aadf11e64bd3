#include "platform/KernelObjectHeader.h"

#include <atomic>

namespace {

KernelObjectHeader& HeaderOf(std::span<std::byte> image) {
  return *reinterpret_cast<KernelObjectHeader*>(image.data());
}

}  // namespace

bool ReadKernelObjectHeader(std::span<std::byte> image, std::uint32_t nMagic,
                            std::size_t nBodySize, std::uint32_t* pFlags) {
  if (image.size() < kKernelObjectBodyOffset + nBodySize)
    return false;
  KernelObjectHeader& header = HeaderOf(image);
  // Acquire pairs with the creator's release store of the magic: the body is ready behind it.
  if (std::atomic_ref<std::uint32_t>(header.m_nMagic).load(std::memory_order_acquire) != nMagic)
    return false;
  if (header.m_nVersion != kKernelObjectVersion)
    return false;
  if (pFlags != nullptr)
    *pFlags = header.m_nFlags;
  return true;
}

void PublishKernelObjectHeader(std::span<std::byte> image, std::uint32_t nMagic,
                               std::uint32_t nFlags) {
  KernelObjectHeader& header = HeaderOf(image);
  header.m_nVersion = kKernelObjectVersion;
  header.m_nFlags = nFlags;
  header.m_nReserved = 0;
  std::atomic_ref<std::uint32_t>(header.m_nMagic).store(nMagic, std::memory_order_release);
}
