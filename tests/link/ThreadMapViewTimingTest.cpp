// The channel's time limits against a real IDE process: an IDE that holds the inbound mutex
// too long, one that never lets a reply through, and stop requests reaching the threads. Run
// alone (SERIAL): only lower bounds are tight; upper bounds carry generous slop.

#include <chrono>
#include <thread>

#include "tests/link/ChannelFixture.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kSlop = std::chrono::milliseconds(1000);

class ThreadMapViewTimingTest : public ChannelTest {
 protected:
  // Sets both stop events and returns how long the threads took to end.
  Clock::duration StopAndMeasure() {
    const auto start = Clock::now();
    SetEvent(m_pAccess->m_hStopEvent);
    SetEvent(m_pReceive->m_hStopEvent);
    EXPECT_EQ(WAIT_OBJECT_0, m_pAccess->WaitForThread(kThreadEndMs));
    EXPECT_EQ(WAIT_OBJECT_0, m_pReceive->WaitForThread(kThreadEndMs));
    return Clock::now() - start;
  }

  // True once the receive thread has reset the inbound copy event, that is, taken the packet
  // in hand and begun to wait for the mutex.
  static bool WaitUntilCopyEventReset(const CEvent& copyEvent) {
    for (int i = 0; i < 200; ++i) {
      if (WaitForSingleObject(copyEvent, 0) == WAIT_TIMEOUT) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
};

// The IDE owns the inbound mutex for 2600 ms after announcing a packet: the display waits its
// 2000 ms, pauses and retries; the packet is taken (once) only after the IDE lets go, and the
// empty event is set only then.
TEST_F(ThreadMapViewTimingTest, PacketWaitsWhileTheIdeHoldsTheInboundMutexPastTheLimit) {
  CreateLink();
  StartThreads();
  const auto image = MakeImage('r', 4, 0x2C);
  ASSERT_EQ("ok", m_peer.Command("lock 1000"));
  ASSERT_EQ("ok", m_peer.Command("write " + Hex(image)));
  ASSERT_EQ("ok", m_peer.Command("copy"));
  std::this_thread::sleep_for(std::chrono::milliseconds(2600));
  EXPECT_FALSE(NextReceived(0));
  EXPECT_EQ("timeout", m_peer.Command("empty 0"));

  ASSERT_EQ("ok", m_peer.Command("unlock"));
  const MapPacketPtr pPacket = NextReceived();
  ASSERT_TRUE(pPacket);
  EXPECT_EQ(Hex(image), Hex(pPacket->GetBytes()));
  EXPECT_EQ("ok", m_peer.Command("empty 5000"));
  // Taken once: no retry left behind brings it again.
  EXPECT_FALSE(NextReceived(1500));
}

// The IDE reads one reply and then never signals: the others stay queued in order and none is
// written, through several of the thread's retries; then each signal lets exactly one through.
TEST_F(ThreadMapViewTimingTest, RepliesPileUpInOrderUntilTheIdeSignalsThenGoOnePerSignal) {
  CreateLink();
  StartThreads();
  const std::vector<std::byte> replies[] = {MakeImage('t', 4, 0x01), MakeImage('u', 2, 0x02),
                                            MakeImage('p', 0, 0x03), MakeImage('s', 0, 0x04)};
  for (int i = 0; i < 3; ++i) QueueReply(replies[i]);
  EXPECT_EQ("reply " + Hex(replies[0]), m_peer.Command("reply 5000"));
  EXPECT_EQ("timeout", m_peer.Command("reply 5500"));

  for (int i = 1; i < 3; ++i) {
    ASSERT_EQ("ok", m_peer.Command("ack"));
    EXPECT_EQ("reply " + Hex(replies[i]), m_peer.Command("reply 5000"));
    EXPECT_EQ("timeout", m_peer.Command("reply 300"));
  }
  // A signal given while nothing is queued waits for the next reply.
  ASSERT_EQ("ok", m_peer.Command("ack"));
  std::this_thread::sleep_for(std::chrono::milliseconds(2600));
  QueueReply(replies[3]);
  EXPECT_EQ("reply " + Hex(replies[3]), m_peer.Command("reply 1500"));
}

// Idle threads notice their stop request at once: the receive thread does not wait out its
// 1000 ms copy-event limit, and the access thread waits without limit.
TEST_F(ThreadMapViewTimingTest, StopRequestReachesIdleThreadsAtOnce) {
  CreateLink();
  StartThreads();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_LT(StopAndMeasure(), std::chrono::milliseconds(500));
}

// A stop while the receive thread waits for a mutex the IDE holds ends after that wait and the
// pause: within 2500 ms.
TEST_F(ThreadMapViewTimingTest, StopWhileTheReceiveThreadWaitsForTheMutexEndsWithinTheLimit) {
  CreateLink();
  StartThreads();
  ASSERT_EQ("ok", m_peer.Command("lock 1000"));
  ASSERT_EQ("ok", m_peer.Command("write " + Hex(MakeImage('t', 0, 0))));
  ASSERT_EQ("ok", m_peer.Command("copy"));
  ASSERT_TRUE(WaitUntilCopyEventReset(m_link.m_hInCopyEvent));
  EXPECT_LT(StopAndMeasure(), std::chrono::milliseconds(2500) + kSlop);
  ASSERT_EQ("ok", m_peer.Command("unlock"));
}

// Likewise for the access thread waiting for an outbound signal the IDE never gives.
TEST_F(ThreadMapViewTimingTest, StopWhileTheAccessThreadWaitsForTheIdeEndsWithinTheLimit) {
  CreateLink();
  StartThreads();
  QueueReply(MakeImage('r', 0, 0));
  QueueReply(MakeImage('r', 0, 0));
  ASSERT_NE("timeout", m_peer.Command("reply 5000"));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_LT(StopAndMeasure(), std::chrono::milliseconds(2500) + kSlop);
}

}  // namespace
