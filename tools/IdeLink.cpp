#include "tools/IdeLink.h"

#include <cstring>
#include <utility>

#include "link/LinkObjects.h"
#include "platform/KernelObjects.h"
#include "tools/IdePacket.h"

namespace {

std::string DescribeCreateFailure(std::string_view name) {
  const std::string fullName = MakeLinkObjectName(name);
  if (CFileMapping::Open(name))
    return "link object \"" + fullName +
           "\" already exists: another IDE link uses this VITREL_LINK_NAMESPACE, or one that crashed "
           "left it behind (remove it from /dev/shm)";
  return "cannot create link object \"" + fullName + "\"";
}

}  // namespace

CIdeLink::CIdeLink(CIdeLink&& other) noexcept
    : m_bOwnsNames(std::exchange(other.m_bOwnsNames, false)),
      m_hInMapping(std::move(other.m_hInMapping)),
      m_inView(std::move(other.m_inView)),
      m_hInMutex(std::move(other.m_hInMutex)),
      m_hInCopyEvent(std::move(other.m_hInCopyEvent)),
      m_hInEmptyEvent(std::move(other.m_hInEmptyEvent)),
      m_hOutMapping(std::move(other.m_hOutMapping)),
      m_outView(std::move(other.m_outView)),
      m_hOutMutex(std::move(other.m_hOutMutex)),
      m_hOutCopyEvent(std::move(other.m_hOutCopyEvent)),
      m_hOutEmptyEvent(std::move(other.m_hOutEmptyEvent)) {}

CIdeLink::~CIdeLink() { RemoveNames(); }

void CIdeLink::RemoveNames() {
  if (!std::exchange(m_bOwnsNames, false)) return;
  for (const std::string_view name : CLinkObjects::kNames) RemoveLinkObject(name);
}

std::optional<CIdeLink> CIdeLink::Create(std::string& error, std::size_t nInAreaSize, std::size_t nOutAreaSize) {
  CIdeLink link;
  // From here on a failure removes whatever was created, which is only ours: creation fails on
  // a name that already exists.
  std::size_t created = 0;
  auto fail = [&](std::string_view name) -> std::optional<CIdeLink> {
    error = DescribeCreateFailure(name);
    for (std::size_t i = 0; i < created; ++i) RemoveLinkObject(CLinkObjects::kNames[i]);
    return std::nullopt;
  };
  if (!(link.m_hInMapping = CFileMapping::Create(CLinkObjects::kInMappingName, nInAreaSize)))
    return fail(CLinkObjects::kInMappingName);
  ++created;
  if (!(link.m_hInMutex = CMutex::CreateNamed(CLinkObjects::kInMutexName))) return fail(CLinkObjects::kInMutexName);
  ++created;
  if (!(link.m_hInCopyEvent = CEvent::CreateNamed(CLinkObjects::kInCopyEventName, EventReset::Manual, false)))
    return fail(CLinkObjects::kInCopyEventName);
  ++created;
  if (!(link.m_hInEmptyEvent = CEvent::CreateNamed(CLinkObjects::kInEmptyEventName, EventReset::Auto, false)))
    return fail(CLinkObjects::kInEmptyEventName);
  ++created;
  if (!(link.m_hOutMapping = CFileMapping::Create(CLinkObjects::kOutMappingName, nOutAreaSize)))
    return fail(CLinkObjects::kOutMappingName);
  ++created;
  if (!(link.m_hOutMutex = CMutex::CreateNamed(CLinkObjects::kOutMutexName)))
    return fail(CLinkObjects::kOutMutexName);
  ++created;
  if (!(link.m_hOutCopyEvent = CEvent::CreateNamed(CLinkObjects::kOutCopyEventName, EventReset::Auto, false)))
    return fail(CLinkObjects::kOutCopyEventName);
  ++created;
  if (!(link.m_hOutEmptyEvent = CEvent::CreateNamed(CLinkObjects::kOutEmptyEventName, EventReset::Auto, true)))
    return fail(CLinkObjects::kOutEmptyEventName);
  link.m_bOwnsNames = true;
  // An area of size 0 cannot be mapped; it stays unmapped and every access to it fails.
  link.m_inView = MapViewOfFile(link.m_hInMapping);
  link.m_outView = MapViewOfFile(link.m_hOutMapping);
  return link;
}

DWORD CIdeLink::LockInbound(DWORD dwMilliseconds) const { return WaitForSingleObject(m_hInMutex, dwMilliseconds); }

bool CIdeLink::UnlockInbound() const { return ReleaseMutex(m_hInMutex); }

bool CIdeLink::WriteInboundArea(std::span<const std::byte> bytes) const {
  if (!m_inView || m_inView.GetSize() < bytes.size()) return false;
  std::memcpy(m_inView.GetBytes().data(), bytes.data(), bytes.size());
  return true;
}

bool CIdeLink::SignalInboundCopy() const { return SetEvent(m_hInCopyEvent); }

bool CIdeLink::SendPacket(std::span<const std::byte> image) const {
  const DWORD owned = LockInbound(kMutexWaitMs);
  if (owned != WAIT_OBJECT_0 && owned != WAIT_ABANDONED) return false;
  const bool bWritten = WriteInboundArea(image);
  UnlockInbound();
  return bWritten && SignalInboundCopy();
}

DWORD CIdeLink::WaitInboundEmpty(DWORD dwMilliseconds) const {
  return WaitForSingleObject(m_hInEmptyEvent, dwMilliseconds);
}

DWORD CIdeLink::WaitReply(DWORD dwMilliseconds) const { return WaitForSingleObject(m_hOutCopyEvent, dwMilliseconds); }

std::optional<std::vector<std::byte>> CIdeLink::ReadReply() const {
  if (!m_outView || m_outView.GetSize() < CIdePacket::kHeaderSize) return std::nullopt;
  const std::span<const std::byte> area = m_outView.GetBytes();
  const std::size_t length = CIdePacket::kHeaderSize + ReadPayloadLength(area);
  if (length > area.size()) return std::nullopt;
  return std::vector<std::byte>(area.begin(), area.begin() + static_cast<std::ptrdiff_t>(length));
}

bool CIdeLink::SignalOutboundEmpty() const { return SetEvent(m_hOutEmptyEvent); }
