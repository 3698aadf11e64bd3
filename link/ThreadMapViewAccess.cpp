#include "link/ThreadMapViewAccess.h"

#include <cstring>

#include "platform/KernelObjects.h"

CThreadMapViewAccess::CThreadMapViewAccess(const CLinkObjects& link)
    : m_hStopEvent(CEvent::CreateUnnamed(EventReset::Manual, false)), m_link(link), m_outView(link.m_hOutMapping) {}

CThreadMapViewAccess::~CThreadMapViewAccess() {
  CloseHandle(m_hStopEvent);
  while (m_queue.Pop()) {
  }
}

void CThreadMapViewAccess::Run() {
  MapPacketPtr pReply;
  // True while this thread holds one signal of the outbound empty event that no reply used yet.
  bool bOutboundFree = false;
  for (;;) {
    if (!pReply) {
      bool bStop = false;
      pReply = WaitForReply(bStop);
      if (bStop) return;
      if (!pReply) continue;
    } else if (WaitForSingleObject(m_hStopEvent, 0) == WAIT_OBJECT_0) {
      return;
    }
    if (!bOutboundFree && !WaitForOutboundEmpty()) {
      Sleep(kRetryPauseMs);
      continue;
    }
    bOutboundFree = true;
    const WriteResult written = WriteReply(*pReply);
    pReply.reset();
    if (written == WriteResult::Written) {
      bOutboundFree = false;
      SetEvent(m_link.m_hOutCopyEvent);
    }
  }
}

MapPacketPtr CThreadMapViewAccess::WaitForReply(bool& bStop) {
  const DWORD woken = WaitForMultipleObjects({&m_hStopEvent, &m_queue.GetNotEmptyEvent()}, kQueueWaitMs);
  if (woken == WAIT_OBJECT_0) {
    bStop = true;
    return nullptr;
  }
  if (woken == WAIT_OBJECT_0 + 1) return m_queue.Pop();
  if (woken == WAIT_FAILED) Sleep(kRetryPauseMs);  // no busy spin on a failing wait
  return nullptr;
}

bool CThreadMapViewAccess::WaitForOutboundEmpty() {
  return WaitForSingleObject(m_link.m_hOutEmptyEvent, kEmptyWaitMs) == WAIT_OBJECT_0;
}

CThreadMapViewAccess::WriteResult CThreadMapViewAccess::WriteReply(const MapPacket& reply) {
  const std::span<const std::byte> image = reply.GetBytes();
  const std::span<std::byte> area = m_outView.Get();
  if (area.size() < image.size()) return WriteResult::Dropped;
  std::memcpy(area.data(), image.data(), image.size());
  return WriteResult::Written;
}
