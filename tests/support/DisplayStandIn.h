#pragma once
// The display's side of the link for programs that stand in for the display (the tests'
// fake_display, the channel benchmark's channel_bench_display): it opens the link exactly as
// the display does, runs the access and receive threads, and lets the caller, on the main
// thread in place of the process thread, answer each packet the receive thread queues. Only
// the answers differ between the stand-ins, so the link handling is written once, here.

#include "link/BufferList.h"
#include "link/LinkObjects.h"
#include "link/MapPacket.h"
#include "link/ThreadMapViewAccess.h"
#include "link/ThreadMapViewReceive.h"
#include "platform/KernelObjects.h"

namespace display_stand_in {

// What the caller does with one packet: the reply to queue (none when null) and whether the
// stand-in ends after it.
struct Answer {
  MapPacketPtr pReply;
  bool bQuit = false;
};

constexpr DWORD kProcessWaitMs = 10;  // the process thread's wait
constexpr DWORD kStopWaitMs = 5000;

// Serves the link until an answer says quit, then stops the threads in the display's order:
// access, then receive, each with its stop event. False when the link cannot be opened (the
// inbound mutex or another object is missing). answerPacket: Answer(const MapPacket&).
template <typename AnswerPacket>
bool Serve(AnswerPacket&& answerPacket) {
  CLinkObjects link;
  if (!link.Open()) return false;
  CBufferList processQueue;
  CThreadMapViewAccess access(link);
  CThreadMapViewReceive receive(link, processQueue);
  access.Start(THREAD_PRIORITY_NORMAL, 0);
  receive.Start(THREAD_PRIORITY_NORMAL, 0);
  for (bool bQuit = false; !bQuit;) {
    if (WaitForSingleObject(processQueue.GetNotEmptyEvent(), kProcessWaitMs) != WAIT_OBJECT_0) continue;
    const MapPacketPtr pPacket = processQueue.Pop();
    if (!pPacket) continue;
    Answer answer = answerPacket(*pPacket);
    if (answer.pReply) access.m_queue.Push(answer.pReply);
    bQuit = answer.bQuit;
  }
  SetEvent(access.m_hStopEvent);
  access.WaitForThread(kStopWaitMs);
  SetEvent(receive.m_hStopEvent);
  receive.WaitForThread(kStopWaitMs);
  return true;
}

}  // namespace display_stand_in
