#include "link/AreaView.h"

std::span<std::byte> CAreaView::Get() {
  const std::size_t size = m_mapping.GetSize();
  if (m_view && m_view.GetSize() == size) return m_view.GetBytes();
  m_view.Unmap();
  if (size == 0) return {};
  m_view = MapViewOfFile(m_mapping);
  // The object may have changed size again between fstat and mmap; the view's own size holds.
  return m_view ? m_view.GetBytes() : std::span<std::byte>{};
}
