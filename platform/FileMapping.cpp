#include "platform/FileMapping.h"

#include <cstdlib>
#include <utility>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr mode_t kOwnerOnlyMode = 0600;  // only the IDE's own user may open the link objects

}  // namespace

std::string MakeLinkObjectName(std::string_view name) {
  const char* prefix = std::getenv("VITREL_LINK_NAMESPACE");
  std::string result = "/";
  if (prefix != nullptr)
    result += prefix;
  result += name;
  return result;
}

bool RemoveLinkObject(std::string_view name) {
  return shm_unlink(MakeLinkObjectName(name).c_str()) == 0;
}

CFileMapping::CFileMapping(CFileMapping&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)) {}

CFileMapping& CFileMapping::operator=(CFileMapping&& other) noexcept {
  if (this != &other) {
    Close();
    m_fd = std::exchange(other.m_fd, -1);
  }
  return *this;
}

CFileMapping::~CFileMapping() { Close(); }

CFileMapping CFileMapping::Create(std::string_view name, std::size_t size) {
  const std::string objectName = MakeLinkObjectName(name);
  const int fd = shm_open(objectName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, kOwnerOnlyMode);
  if (fd < 0)
    return {};
  // shm_open's mode is filtered by the umask; set it outright so the mode is exactly 0600.
  if (fchmod(fd, kOwnerOnlyMode) != 0 || ftruncate(fd, static_cast<off_t>(size)) != 0) {
    close(fd);
    shm_unlink(objectName.c_str());
    return {};
  }
  return CFileMapping(fd);
}

CFileMapping CFileMapping::Open(std::string_view name) {
  const int fd = shm_open(MakeLinkObjectName(name).c_str(), O_RDWR | O_CLOEXEC, 0);
  if (fd < 0)
    return {};
  return CFileMapping(fd);
}

std::size_t CFileMapping::GetSize() const {
  struct stat status {};
  if (m_fd < 0 || fstat(m_fd, &status) != 0 || status.st_size < 0)
    return 0;
  return static_cast<std::size_t>(status.st_size);
}

void CFileMapping::Close() {
  if (m_fd >= 0)
    close(m_fd);
  m_fd = -1;
}
