#include "panel/MultiDigitalNumber.h"

#include "panel/DrawSurface.h"

#include <QtGui/qrgb.h>

namespace {

constexpr QRgb kLitSegment = qRgb(0, 0, 0);
// The ghost of an unpowered segment.
constexpr QRgb kDisabledSegment = qRgb(236, 236, 236);

struct SegmentBox {
  int x, y, cx, cy;
};

// Segments a to g, relative to the rectangle's top-left corner; together they span x 2..67
// and y 2..125 of the 72 x 129 digit.
constexpr std::array<SegmentBox, CMultiDigitalNumber::kSegmentCount> kSegmentBoxes{{
    {10, 2, 50, 8},   // a, top
    {60, 10, 8, 50},  // b, upper right
    {60, 68, 8, 50},  // c, lower right
    {10, 118, 50, 8}, // d, bottom
    {2, 68, 8, 50},   // e, lower left
    {2, 10, 8, 50},   // f, upper left
    {10, 60, 50, 8},  // g, middle
}};

} // namespace

CMultiDigitalNumber::CMultiDigitalNumber(std::u16string_view name, const CRect& rect)
    : CDigitalObject(name, rect) {
  m_wAddress.store(0, std::memory_order_relaxed);
  for (std::size_t segment = 0; segment < kSegmentCount; ++segment) {
    m_wSegBitIndex[segment].store(0, std::memory_order_relaxed);
    m_bSegLit[segment].store(true, std::memory_order_relaxed);
  }
}

CMultiDigitalNumber::~CMultiDigitalNumber() = default;

void CMultiDigitalNumber::Draw(CDrawSurface* pDC) const {
  if (pDC == nullptr)
    return;
  const bool enabled = m_bEnabled.load(std::memory_order_relaxed);
  for (std::size_t segment = 0; segment < kSegmentCount; ++segment) {
    // Enabled, an unlit segment is not drawn at all: the white glass shows through.
    if (enabled && !m_bSegLit[segment].load(std::memory_order_relaxed))
      continue;
    const SegmentBox& box = kSegmentBoxes[segment];
    pDC->FillSolidRect(m_rect.left + box.x, m_rect.top + box.y, box.cx, box.cy,
                       enabled ? kLitSegment : kDisabledSegment);
  }
}

std::u16string CMultiDigitalNumber::GetTypeName() const { return std::u16string(kTypeName); }

void CMultiDigitalNumber::EditProperties() {
  // The property dialog attaches here with the window's dialogs; until then there is nothing
  // to edit through, and the object stays as it is, as after a cancelled dialog.
}

void CMultiDigitalNumber::UpdateFromMemory(const RamValueMap& values) {
  const auto value = FindValue(values, m_wAddress.load(std::memory_order_relaxed));
  if (!value)
    return;
  for (std::size_t segment = 0; segment < kSegmentCount; ++segment) {
    const bool lit = IsBitSet(*value, m_wSegBitIndex[segment].load(std::memory_order_relaxed));
    m_bSegLit[segment].store(lit, std::memory_order_relaxed);
  }
}
