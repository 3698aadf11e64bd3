// CThreadMapViewAccess: the access thread. It writes each reply that command execution pushes
// onto m_queue into the outbound area ("VEVOMapMemory"), one reply per signal of the outbound
// empty event, and sets the outbound copy event after each.
//
// The outbound empty event is auto-reset, so waiting for it takes the IDE's signal. This thread
// takes a reply off the queue first and waits for the event only while it holds one; a signal
// is therefore never consumed without a reply being written. While the IDE does not signal
// (kEmptyWaitMs, then a pause of kRetryPauseMs and another try), the reply in hand stays first
// and the replies behind it wait in m_queue in their order; nothing is dropped.
//
// A reply that does not fit the outbound area, or an area that cannot be mapped, drops that one
// reply; the signal already taken is kept for the next reply, so the IDE is never left waiting
// for a write that cannot come.
//
// The area is written through a view kept between replies (CAreaView), and without the
// outbound mutex: the empty event alone keeps this
// thread from overwriting a reply the IDE has not read.
//
// Threads: constructed, started and stopped on the owner's thread; Run on its own; m_queue's
// one producer is the process thread. The link objects must outlive the thread. Setting
// m_hStopEvent ends Run at once when idle, after the wait and the pause (at most 2500 ms) while
// waiting for the IDE; a reply in hand at that moment is freed unwritten.

#pragma once

#include "link/AreaView.h"
#include "link/BufferList.h"
#include "link/LinkObjects.h"
#include "link/MapPacket.h"
#include "link/WorkerThread.h"
#include "platform/Event.h"

class CThreadMapViewAccess : public CWorkerThread {
 public:
  static constexpr DWORD kQueueWaitMs = INFINITE;
  static constexpr DWORD kEmptyWaitMs = 2000;
  static constexpr DWORD kRetryPauseMs = 500;

  explicit CThreadMapViewAccess(const CLinkObjects& link);
  // Frees every reply still queued.
  ~CThreadMapViewAccess() override;

  void Run() override;

  CBufferList m_queue;
  CEvent m_hStopEvent;

 private:
  enum class WriteResult : std::uint8_t { Written, Dropped };

  // Waits for the next reply (or the stop request); null on stop.
  MapPacketPtr WaitForReply(bool& bStop);
  // Waits for the IDE's signal that the outbound area may be written; true once taken.
  bool WaitForOutboundEmpty();
  WriteResult WriteReply(const MapPacket& reply);

  const CLinkObjects& m_link;
  CAreaView m_outView;  // used on the thread only
};
