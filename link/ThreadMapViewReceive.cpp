#include "link/ThreadMapViewReceive.h"

#include <cstring>

#include "link/MapPacket.h"
#include "platform/KernelObjects.h"

CThreadMapViewReceive::CThreadMapViewReceive(const CLinkObjects& link, CBufferList& processQueue)
    : m_hStopEvent(CEvent::CreateUnnamed(EventReset::Manual, false)),
      m_link(link),
      m_processQueue(processQueue),
      m_inView(link.m_hInMapping) {}

CThreadMapViewReceive::~CThreadMapViewReceive() { CloseHandle(m_hStopEvent); }

void CThreadMapViewReceive::Run() {
  for (;;) {
    const DWORD woken = WaitForMultipleObjects({&m_hStopEvent, &m_link.m_hInCopyEvent}, kCopyWaitMs);
    if (woken == WAIT_OBJECT_0) return;
    if (woken == WAIT_FAILED) {
      // A wait that fails at once would otherwise turn this loop into a busy spin.
      Sleep(kRetryPauseMs);
      continue;
    }
    if (woken != WAIT_OBJECT_0 + 1) continue;

    ResetEvent(m_link.m_hInCopyEvent);
    const DWORD owned = WaitForSingleObject(m_link.m_hInMutex, kMutexWaitMs);
    // WAIT_ABANDONED: the IDE died holding the mutex, which is ours now; whatever it wrote is
    // read like any other packet, and the release below frees the mutex for the next writer.
    if (owned != WAIT_OBJECT_0 && owned != WAIT_ABANDONED) {
      SetEvent(m_link.m_hInCopyEvent);
      Sleep(kRetryPauseMs);
      continue;
    }
    TakePacket();
    ReleaseMutex(m_link.m_hInMutex);
    SetEvent(m_link.m_hInEmptyEvent);
  }
}

void CThreadMapViewReceive::TakePacket() {
  const std::span<const std::byte> area = m_inView.Get();
  const auto payloadLength = MapPacket::ReadPayloadLength(area);
  if (!payloadLength || area.size() - MapPacket::kHeaderSize < *payloadLength) return;
  MapPacketPtr pPacket = AllocPacket(*payloadLength);
  if (!pPacket) return;
  std::memcpy(pPacket->GetBytes().data(), area.data(), MapPacket::kHeaderSize + *payloadLength);
  // The copy read the length field again; an IDE that changed it meanwhile (writing without the
  // mutex) left a torn packet whose header would not match its buffer.
  if (pPacket->GetPayloadLength() != *payloadLength) return;
  // A packet the queue cannot take is freed here: dropped, as the IDE is told the area is free.
  m_processQueue.Push(pPacket);
}
