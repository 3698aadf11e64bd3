#include "xml/ElementTable.h"

#include <algorithm>
#include <utility>

namespace {

std::unique_ptr<ElementRecord[]> AllocateRecords(std::int32_t count) {
  // Records are written in full when taken into use, so they are left uninitialised here.
  return std::make_unique_for_overwrite<ElementRecord[]>(static_cast<std::size_t>(count));
}

}  // namespace

std::int32_t CElementTable::SegmentSize(std::int32_t segment) const {
  if (m_nCapacity == 0) return 0;
  const std::int32_t last = (m_nCapacity - 1) >> kSegmentShift;
  if (segment < last) return kSegmentRecords;
  if (segment == last) return m_nCapacity - last * kSegmentRecords;
  return 0;
}

void CElementTable::Grow(std::int32_t n) {
  if (n <= m_nCapacity) return;
  const std::int32_t last = m_nCapacity > 0 ? (m_nCapacity - 1) >> kSegmentShift : 0;
  std::int32_t want = (n - 1) >> kSegmentShift;
  if (want > last + 1) {
    // One new segment per growth, filled completely.
    want = last + 1;
    n = (last + 2) * kSegmentRecords;
  }

  // Everything that can fail is allocated before the table changes.
  std::unique_ptr<std::unique_ptr<ElementRecord[]>[]> slots;
  std::int32_t slotCount = m_nSegmentSlots;
  if (want >= m_nSegmentSlots) {
    slotCount = 2 * want + 4;
    slots = std::make_unique<std::unique_ptr<ElementRecord[]>[]>(static_cast<std::size_t>(slotCount));
  }
  std::unique_ptr<ElementRecord[]> fullLast;
  const std::int32_t lastSize = SegmentSize(last);
  if (want > last && (m_nCapacity == 0 || lastSize < kSegmentRecords)) {
    fullLast = AllocateRecords(kSegmentRecords);
    if (lastSize > 0) std::copy_n(m_segments[last].get(), lastSize, fullLast.get());
  }
  const std::int32_t wantSize = n - want * kSegmentRecords;
  std::unique_ptr<ElementRecord[]> wantSegment = AllocateRecords(wantSize);
  if (want == last && m_nCapacity > 0) std::copy_n(m_segments[last].get(), lastSize, wantSegment.get());

  if (slots) {
    const std::int32_t used = m_nCapacity > 0 ? last + 1 : 0;
    for (std::int32_t i = 0; i < used; ++i) slots[i] = std::move(m_segments[i]);
    m_segments = std::move(slots);
    m_nSegmentSlots = slotCount;
  }
  if (fullLast) m_segments[last] = std::move(fullLast);
  m_segments[want] = std::move(wantSegment);
  m_nCapacity = n;
}

void CElementTable::Release() {
  m_segments.reset();
  m_nCapacity = 0;
  m_nSegmentSlots = 0;
}
