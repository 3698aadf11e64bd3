#include "platform/MapView.h"

#include "platform/FileMapping.h"

#include <utility>

#include <sys/mman.h>

CMapView::CMapView(CMapView&& other) noexcept
    : m_pBase(std::exchange(other.m_pBase, nullptr)), m_nSize(std::exchange(other.m_nSize, 0)) {}

CMapView& CMapView::operator=(CMapView&& other) noexcept {
  if (this != &other) {
    Unmap();
    m_pBase = std::exchange(other.m_pBase, nullptr);
    m_nSize = std::exchange(other.m_nSize, 0);
  }
  return *this;
}

CMapView::~CMapView() { Unmap(); }

CMapView CMapView::Map(const CFileMapping& mapping) {
  // The object's own size bounds the view, so nothing is ever read beyond it.
  const std::size_t size = mapping.GetSize();
  if (size == 0)
    return {};
  void* pBase = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, mapping.GetDescriptor(), 0);
  if (pBase == MAP_FAILED)
    return {};
  return CMapView(pBase, size);
}

void CMapView::Unmap() {
  if (m_pBase != nullptr)
    munmap(m_pBase, m_nSize);
  m_pBase = nullptr;
  m_nSize = 0;
}

void CMapView::Leak() {
  m_pBase = nullptr;
  m_nSize = 0;
}
