#pragma once
// CFileMapping: a named shared-memory object (POSIX shm), the stand-in for a Win32 named file
// mapping. It owns only the descriptor; MapViewOfFile (MapView.h) maps the whole object.
//
// Names: the POSIX name is "/" + $VITREL_LINK_NAMESPACE + name (MakeLinkObjectName), so several
// IDE/display pairs can share one machine. The IDE's side (and tests) Create and later Remove an
// object; the display's side only Opens.
//
// Ownership and threads: move-only; a null (default-constructed, moved-from or closed) mapping
// owns nothing and every operation on it fails. One owner thread at a time; views made from it
// live on after the mapping is closed, as on Win32.

#include <cstddef>
#include <string>
#include <string_view>

// "/" + value of VITREL_LINK_NAMESPACE (empty when unset) + name. The variable is read at
// every call so that tests may set it per case.
std::string MakeLinkObjectName(std::string_view name);

// shm_unlink of the prefixed name: the object disappears once its last mapping goes. False
// when no such object existed.
bool RemoveLinkObject(std::string_view name);

class CFileMapping {
 public:
  CFileMapping() = default;
  CFileMapping(CFileMapping&& other) noexcept;
  CFileMapping& operator=(CFileMapping&& other) noexcept;
  CFileMapping(const CFileMapping&) = delete;
  CFileMapping& operator=(const CFileMapping&) = delete;
  ~CFileMapping();

  // Creates a new object of size bytes, all zero, mode 0600. Fails (null) when an object of
  // that name already exists: a stale one must be removed first, so that two links never
  // share an object by accident.
  static CFileMapping Create(std::string_view name, std::size_t size);
  // Opens an existing object for reading and writing; null when there is none.
  static CFileMapping Open(std::string_view name);

  explicit operator bool() const { return m_fd >= 0; }
  // The object's current size (fstat); 0 for a null mapping or when fstat fails.
  std::size_t GetSize() const;
  int GetDescriptor() const { return m_fd; }
  // Releases the descriptor early (CloseHandle).
  void Close();

 private:
  explicit CFileMapping(int fd) : m_fd(fd) {}

  int m_fd = -1;
};
