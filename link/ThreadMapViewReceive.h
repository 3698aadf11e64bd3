// CThreadMapViewReceive: the receive thread. It copies each command packet the IDE writes into
// the inbound area ("LCDMapMemory") into a new packet and pushes it onto the process queue.
//
// Handshake, per packet: the IDE sets the inbound copy event; this thread resets it, owns the
// inbound mutex (at most kMutexWaitMs, else it sets the copy event again, pauses kRetryPauseMs
// and retries), copies the packet, pushes it, releases the mutex and sets the inbound empty
// event. The area is read through a view kept between packets (CAreaView). The packet is queued before the mutex is released, so packets reach the process queue
// in the order the IDE wrote them.
//
// The area's bytes are untrusted. A packet whose PayloadLength reaches beyond the area, an area
// that cannot be mapped or a packet that cannot be allocated or queued: the packet is dropped,
// the mutex released and the empty event set, so the IDE can go on with its next packet. A
// mutex whose previous owner died (WAIT_ABANDONED) is owned now: the packet is read as usual and
// the mutex released.
//
// Threads: constructed, started and stopped on the owner's thread; Run on its own. The link
// objects and the process queue must outlive the thread. Setting m_hStopEvent ends Run: at once
// when idle, after the mutex wait and the pause (at most kMutexWaitMs + kRetryPauseMs) when the
// mutex is held elsewhere.

#pragma once

#include "link/AreaView.h"
#include "link/BufferList.h"
#include "link/LinkObjects.h"
#include "link/WorkerThread.h"
#include "platform/Event.h"

class CThreadMapViewReceive : public CWorkerThread {
 public:
  static constexpr DWORD kCopyWaitMs = 1000;
  static constexpr DWORD kMutexWaitMs = 2000;
  static constexpr DWORD kRetryPauseMs = 500;

  CThreadMapViewReceive(const CLinkObjects& link, CBufferList& processQueue);
  ~CThreadMapViewReceive() override;

  void Run() override;

  CEvent m_hStopEvent;

 private:
  // Copies the packet in the inbound area into the process queue, or drops it.
  void TakePacket();

  const CLinkObjects& m_link;
  CBufferList& m_processQueue;
  CAreaView m_inView;  // used on the thread only
};
