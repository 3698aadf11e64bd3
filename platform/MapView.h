#pragma once
// CMapView: one mapping of a whole shared-memory object into this process (MapViewOfFile with
// offset 0 and size 0). Its size is the object's size when it was mapped, so a reader bounded
// by GetBytes() never touches memory beyond the object.
//
// Ownership and threads: move-only; the destructor unmaps (UnmapViewOfFile). The bytes are
// shared with other processes: treat every value read from them as untrusted.

#include <cstddef>
#include <span>

class CFileMapping;

class CMapView {
 public:
  CMapView() = default;
  CMapView(CMapView&& other) noexcept;
  CMapView& operator=(CMapView&& other) noexcept;
  CMapView(const CMapView&) = delete;
  CMapView& operator=(const CMapView&) = delete;
  ~CMapView();

  // Maps the whole object read/write, shared. Null when the mapping is null, the object is
  // empty or mmap fails.
  static CMapView Map(const CFileMapping& mapping);

  explicit operator bool() const { return m_pBase != nullptr; }
  std::span<std::byte> GetBytes() const { return {static_cast<std::byte*>(m_pBase), m_nSize}; }
  std::size_t GetSize() const { return m_nSize; }
  // Unmaps early (UnmapViewOfFile).
  void Unmap();
  // Forgets the view without unmapping it: it stays mapped for the rest of the process. Only
  // for memory that must outlive its owner, such as a mutex this process still holds.
  void Leak();

 private:
  CMapView(void* pBase, std::size_t nSize) : m_pBase(pBase), m_nSize(nSize) {}

  void* m_pBase = nullptr;
  std::size_t m_nSize = 0;
};

// Win32-named forms.
inline CMapView MapViewOfFile(const CFileMapping& mapping) { return CMapView::Map(mapping); }
inline void UnmapViewOfFile(CMapView& view) { view.Unmap(); }
