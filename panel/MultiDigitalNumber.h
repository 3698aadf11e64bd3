#pragma once

#include "panel/DigitalObject.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// A seven-segment digit: segments a (top), b (upper right), c (lower right), d (bottom),
// e (lower left), f (upper left) and g (middle), each lit by its own bit of one byte. It draws
// its segments itself as solid bars inside its rectangle.
class CMultiDigitalNumber : public CDigitalObject {
public:
  static constexpr std::u16string_view kTypeName = u"CMultiDigitalNumber";
  static constexpr std::size_t kSegmentCount = 7;

  // Starts at address 0 with every segment on bit 0, like a single picture, and all lit.
  CMultiDigitalNumber(std::u16string_view name, const CRect& rect);
  ~CMultiDigitalNumber() override;

  void Draw(CDrawSurface* pDC) const override;
  std::u16string GetTypeName() const override;
  void EditProperties() override;
  void UpdateFromMemory(const RamValueMap& values) override;

  std::atomic<std::uint16_t> m_wAddress;
  // Segments a to g, in that order.
  std::array<std::atomic<std::uint16_t>, kSegmentCount> m_wSegBitIndex;
  std::array<std::atomic<bool>, kSegmentCount> m_bSegLit;
};
