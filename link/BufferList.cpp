#include "link/BufferList.h"

#include <new>
#include <utility>

CBufferList::CBufferList()
    : m_hNotEmptyEvent(CEvent::CreateUnnamed(EventReset::Manual, false)) {}

// The deque frees the packets still queued: a packet that was pushed is never leaked.
CBufferList::~CBufferList() = default;

bool CBufferList::Push(MapPacketPtr& pPacket) {
  if (!pPacket)
    return false;
  {
    std::lock_guard<std::mutex> guard(m_lock);
    try {
      // Strong guarantee: when the append throws, pPacket still holds the packet.
      m_list.push_back(std::move(pPacket));
    } catch (const std::bad_alloc&) {
      return false;
    }
    m_nCount.store(static_cast<int>(m_list.size()), std::memory_order_relaxed);
  }
  // Signalled outside the lock: a consumer may therefore wake to an empty queue (see header).
  m_hNotEmptyEvent.Set();
  return true;
}

MapPacketPtr CBufferList::Pop() {
  std::lock_guard<std::mutex> guard(m_lock);
  MapPacketPtr pPacket;
  if (!m_list.empty()) {
    pPacket = std::move(m_list.front());
    m_list.pop_front();
    m_nCount.store(static_cast<int>(m_list.size()), std::memory_order_relaxed);
  }
  if (m_list.empty())
    m_hNotEmptyEvent.Reset();
  else
    m_hNotEmptyEvent.Set();
  return pPacket;
}
