// The shared-memory channel against a real second process playing the IDE: opening the link,
// packets and replies copied byte for byte, and the IDE's mistakes and crashes that the
// display must survive. Threads in this process: the receive and access threads under test and
// the test's own thread, which stands in for the process thread.

#include <algorithm>
#include <chrono>
#include <thread>

#include <unistd.h>

#include "tests/link/ChannelFixture.h"

namespace {

bool AllClosed(const CLinkObjects& link) {
  return !link.m_hInMapping && !link.m_hInMutex && !link.m_hInCopyEvent && !link.m_hInEmptyEvent &&
         !link.m_hOutMapping && !link.m_hOutMutex && !link.m_hOutCopyEvent && !link.m_hOutEmptyEvent;
}

using ThreadMapViewTest = ChannelTest;

TEST_F(ThreadMapViewTest, LinkIsAbsentWithoutTheInboundMutex) {
  EXPECT_FALSE(m_link.Open());
  EXPECT_FALSE(m_link.IsOpen());
  EXPECT_TRUE(AllClosed(m_link));
}

// An IDE whose set of objects is incomplete or wrong gets no link at all, never a half-open one.
TEST_F(ThreadMapViewTest, LinkIsAbsentWhenAnyObjectAfterTheInboundMutexIsMissingOrOfTheWrongKind) {
  for (std::size_t index = 0; index < 8; ++index) {
    const std::string_view name = CLinkObjects::kNames[index];
    if (name == CLinkObjects::kInMutexName) continue;
    const bool bMapping = name == CLinkObjects::kInMappingName || name == CLinkObjects::kOutMappingName;
    for (const bool bWrongKind : {false, true}) {
      // Any shared-memory object can be mapped, so an area has no wrong kind.
      if (bWrongKind && bMapping) continue;
      SCOPED_TRACE(std::string(name) + (bWrongKind ? " of the wrong kind" : " missing"));
      ASSERT_EQ("ok", m_peer.Command("create 100 100"));
      ASSERT_TRUE(RemoveLinkObject(name));
      CMutex wrongMutex;
      CEvent wrongEvent;
      if (bWrongKind && name == CLinkObjects::kOutMutexName)
        wrongEvent = CEvent::CreateNamed(name, EventReset::Manual, false);
      else if (bWrongKind)
        wrongMutex = CMutex::CreateNamed(name);

      EXPECT_FALSE(m_link.Open());
      EXPECT_FALSE(m_link.IsOpen());
      EXPECT_TRUE(AllClosed(m_link));
      if (bWrongKind) RemoveLinkObject(name);
    }
  }
  ASSERT_EQ("ok", m_peer.Command("create 100 100"));
  EXPECT_TRUE(m_link.Open());
}

TEST_F(ThreadMapViewTest, PacketsReachTheProcessQueueByteForByteAndInOrder) {
  CreateLink();
  StartThreads();
  const std::vector<std::byte> images[] = {
      MakeImage('r', 766, 0xA1),
      MakeImage('t', 0, 0x5E),
      MakeImage('p', MapPacket::kMaxPayloadLength, 0x33),  // the largest packet there is
      MakeImage('x', 5, 0xC7),                             // not a command: still carried
  };
  for (const auto& image : images) {
    ASSERT_EQ("ok", m_peer.Command("send " + Hex(image)));
    // One empty signal per packet taken: the IDE may write the next one.
    ASSERT_EQ("ok", m_peer.Command("empty 5000"));
  }
  for (const auto& image : images) {
    const MapPacketPtr pPacket = NextReceived();
    ASSERT_TRUE(pPacket);
    EXPECT_EQ(Hex(image), Hex(pPacket->GetBytes()));
  }
  EXPECT_FALSE(NextReceived(0));
}

TEST_F(ThreadMapViewTest, RepliesReachTheIdeByteForByteOnePerEmptySignal) {
  CreateLink();
  StartThreads();
  const std::vector<std::byte> replies[] = {MakeImage('u', 6, 0x11), MakeImage('t', 4, 0x22),
                                            MakeImage('r', 0, 0x44)};
  for (const auto& reply : replies) QueueReply(reply);
  for (const auto& reply : replies) {
    EXPECT_EQ("reply " + Hex(reply), m_peer.Command("reply 5000"));
    ASSERT_EQ("ok", m_peer.Command("ack"));
  }
}

// The queue's event can be seen signalled while the queue is already empty (its producer
// signals after unlocking). Such a wake-up must not use up the IDE's one signal, or the next
// reply would never be written.
TEST_F(ThreadMapViewTest, EmptyQueueWakeUpLeavesTheOutboundSignalForTheNextReply) {
  CreateLink();
  StartThreads();
  for (int i = 0; i < 3; ++i) {
    SetEvent(m_pAccess->m_queue.GetNotEmptyEvent());
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  const auto reply = MakeImage('s', 0, 0x99);
  QueueReply(reply);
  // Well below the thread's 2000 ms wait: the reply must go out on the signal given at start.
  EXPECT_EQ("reply " + Hex(reply), m_peer.Command("reply 1500"));
}

struct OversizeCase {
  const char* szName;
  std::size_t nAreaSize;
  std::size_t nDeclaredPayload;
  bool bTaken;
};

// A PayloadLength reaching past the inbound area, an area shorter than a header, or one that
// cannot be mapped: the packet is dropped, nothing beyond the area is read, the mutex is
// released and the empty event set, and the next packet goes through.
TEST_F(ThreadMapViewTest, PacketThatDoesNotFitTheInboundAreaIsDroppedAndTheAreaFreed) {
  const OversizeCase cases[] = {
      {"payload ends at the area's end", 100, 88, true},
      {"payload one byte past the area", 100, 89, false},
      {"largest payload length in a small area", 100, 65535, false},
      {"area shorter than a header", 8, 0, false},
      {"area that cannot be mapped", 0, 0, false},
  };
  for (const OversizeCase& test : cases) {
    SCOPED_TRACE(test.szName);
    StopThreads();
    m_link.Close();
    CreateLink(test.nAreaSize, CIdeLink::kAreaSize);
    StartThreads();

    auto image = MakeImage('r', test.nDeclaredPayload, 0x10);
    image.resize(std::min(image.size(), test.nAreaSize));
    ASSERT_EQ("ok", m_peer.Command("lock 1000"));
    if (!image.empty()) {
      ASSERT_EQ("ok", m_peer.Command("write " + Hex(image)));
    }
    ASSERT_EQ("ok", m_peer.Command("unlock"));
    ASSERT_EQ("ok", m_peer.Command("copy"));
    EXPECT_EQ("ok", m_peer.Command("empty 5000"));

    const MapPacketPtr pPacket = NextReceived(test.bTaken ? kArrivalMs : 0);
    EXPECT_EQ(test.bTaken, pPacket != nullptr);
    if (pPacket) {
      EXPECT_EQ(Hex(image), Hex(pPacket->GetBytes()));
    }
    // The mutex was released.
    EXPECT_EQ("ok", m_peer.Command("lock 0"));
    EXPECT_EQ("ok", m_peer.Command("unlock"));
    // The receive thread goes on with the next packet.
    if (test.nAreaSize >= MapPacket::kHeaderSize) {
      const auto next = MakeImage('t', 0, 0x20);
      ASSERT_EQ("ok", m_peer.Command("send " + Hex(next)));
      const MapPacketPtr pNext = NextReceived();
      ASSERT_TRUE(pNext);
      EXPECT_EQ(Hex(next), Hex(pNext->GetBytes()));
    }
  }
}

// The display keeps its view of an area between packets; an IDE that shrinks the area after
// a packet must still find the next packet measured against the area as it is now.
TEST_F(ThreadMapViewTest, AreaThatShrinksIsReadAtItsCurrentSize) {
  CreateLink(300, CIdeLink::kAreaSize);
  StartThreads();
  const auto first = MakeImage('r', 200, 0x31);
  ASSERT_EQ("ok", m_peer.Command("send " + Hex(first)));
  const MapPacketPtr pFirst = NextReceived();
  ASSERT_TRUE(pFirst);
  EXPECT_EQ(Hex(first), Hex(pFirst->GetBytes()));
  ASSERT_EQ("ok", m_peer.Command("empty 5000"));

  const CFileMapping area = CFileMapping::Open(CLinkObjects::kInMappingName);
  ASSERT_EQ(0, ftruncate(area.GetDescriptor(), 100));
  auto second = MakeImage('r', 150, 0x32);
  second.resize(100);
  ASSERT_EQ("ok", m_peer.Command("send " + Hex(second)));
  EXPECT_EQ("ok", m_peer.Command("empty 5000"));
  EXPECT_FALSE(NextReceived(0));

  const auto third = MakeImage('t', 0, 0x33);
  ASSERT_EQ("ok", m_peer.Command("send " + Hex(third)));
  const MapPacketPtr pThird = NextReceived();
  ASSERT_TRUE(pThird);
  EXPECT_EQ(Hex(third), Hex(pThird->GetBytes()));
}

// The IDE dies while it owns the inbound mutex, after writing and announcing a packet: the
// receive thread gets the mutex as abandoned, reads the packet as usual, and releases the
// mutex again. The threads start after the death, so the abandonment is found by the first
// look at the mutex (a lock that is already waiting when the owner dies gets the same result,
// but ThreadSanitizer cannot follow that path through pthread_mutex_timedlock).
TEST_F(ThreadMapViewTest, AbandonedInboundMutexIsOwnedReadAndReleased) {
  CreateLink();
  const auto image = MakeImage('u', 3, 0x6B);
  ASSERT_EQ("ok", m_peer.Command("lock 1000"));
  ASSERT_EQ("ok", m_peer.Command("write " + Hex(image)));
  ASSERT_EQ("ok", m_peer.Command("copy"));
  ASSERT_EQ(9, m_peer.Die());
  StartThreads();

  const MapPacketPtr pPacket = NextReceived();
  ASSERT_TRUE(pPacket);
  EXPECT_EQ(Hex(image), Hex(pPacket->GetBytes()));
  const CEvent inEmpty = CEvent::OpenNamed(CLinkObjects::kInEmptyEventName);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(inEmpty, kArrivalMs));
  // Released and consistent: the next owner is not told of an abandonment.
  const CMutex inMutex = CMutex::OpenNamed(CLinkObjects::kInMutexName);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(inMutex, 0));
  EXPECT_TRUE(ReleaseMutex(inMutex));
}

// A reply longer than the outbound area is dropped, and the signal it would have used carries
// the next reply.
TEST_F(ThreadMapViewTest, ReplyLongerThanTheOutboundAreaIsDroppedAndTheSignalKept) {
  CreateLink(CIdeLink::kAreaSize, 20);
  StartThreads();
  const auto tooLong = MakeImage('u', 9, 0x01);
  const auto fits = MakeImage('u', 8, 0x02);
  QueueReply(tooLong);
  QueueReply(fits);
  EXPECT_EQ("reply " + Hex(fits), m_peer.Command("reply 5000"));
}

}  // namespace
