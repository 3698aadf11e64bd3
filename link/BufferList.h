#pragma once
// CBufferList: the first-in, first-out queue of packets between two link threads, guarded by a
// lock and paired with a manual-reset not-empty event.
//
// Invariant: after every Pop the event is signalled exactly when the queue holds a packet;
// after every successful Push it is signalled. Push signals after leaving the lock, so a
// consumer may find the event signalled and the queue already empty: a null Pop is an empty
// wake-up, and the consumer waits again.
//
// Threads: one producer (Push) and one consumer (wait on GetNotEmptyEvent, then Pop) at a time;
// Push and Pop are safe against each other. GetCount may be called from any thread; it is exact
// only when no other thread touches the queue.
//
// Ownership: a packet belongs to the queue from a successful Push until Pop hands it to the
// consumer. Destroying the queue frees the packets still in it, so none is ever lost to a leak.

#include "link/MapPacket.h"
#include "platform/Event.h"

#include <atomic>
#include <deque>
#include <mutex>

class CBufferList {
 public:
  CBufferList();
  CBufferList(const CBufferList&) = delete;
  CBufferList& operator=(const CBufferList&) = delete;
  ~CBufferList();

  // Appends the packet and takes it over (pPacket becomes null). False when pPacket is null or
  // memory runs out; the packet then stays with the caller and the event is not touched.
  bool Push(MapPacketPtr& pPacket);
  // The oldest packet, or null when the queue is empty.
  MapPacketPtr Pop();
  int GetCount() const { return m_nCount.load(std::memory_order_relaxed); }

  // Consumers wait on it (with their stop events); the access thread also sets it again to
  // retry a reply it could not yet write.
  const CEvent& GetNotEmptyEvent() const { return m_hNotEmptyEvent; }

 private:
  std::deque<MapPacketPtr> m_list;
  CEvent m_hNotEmptyEvent;
  std::mutex m_lock;
  // Mirrors m_list.size() so that GetCount needs no lock and races with nothing.
  std::atomic<int> m_nCount{0};
};
