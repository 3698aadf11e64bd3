#include "platform/KernelObjectHeader.h"
#include "platform/KernelObjects.h"

#include "tests/platform/LinkTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include <sys/stat.h>

namespace {

class NamedObjectTest : public testing::Test {
 protected:
  // A raw shared-memory object of the given bytes, as a foreign or faulty creator leaves it.
  void WriteRawObject(const std::string& name, const void* pImage, std::size_t nSize) {
    CFileMapping mapping = CFileMapping::Create(m_namespace.Name(name), nSize);
    ASSERT_TRUE(mapping);
    CMapView view = MapViewOfFile(mapping);
    ASSERT_TRUE(view);
    std::memcpy(view.GetBytes().data(), pImage, nSize);
  }

  CTestNamespace m_namespace;
};

struct RawObjectImage {
  KernelObjectHeader m_header;
  std::uint32_t m_body[10];
};

TEST_F(NamedObjectTest, ObjectOfWrongKindVersionOrSizeDoesNotOpen) {
  ASSERT_TRUE(CMutex::CreateNamed(m_namespace.Name("Mutex")));
  ASSERT_TRUE(CEvent::CreateNamed(m_namespace.Name("Event"), EventReset::Auto, false));
  const RawObjectImage eventVersion2{{kEventMagic, 2, 0, 0}, {}};
  const RawObjectImage mutexVersion0{{kMutexMagic, 0, 0, 0}, {}};
  const RawObjectImage halfMade{{0, kKernelObjectVersion, 0, 0}, {}};
  const RawObjectImage goodEvent{{kEventMagic, kKernelObjectVersion, 0, 0}, {}};
  WriteRawObject("EventVersion2", &eventVersion2, sizeof eventVersion2);
  WriteRawObject("MutexVersion0", &mutexVersion0, sizeof mutexVersion0);
  WriteRawObject("HalfMade", &halfMade, sizeof halfMade);
  WriteRawObject("EventWithoutWord", &goodEvent, sizeof(KernelObjectHeader));
  WriteRawObject("GoodRawEvent", &goodEvent, sizeof goodEvent);

  struct Case {
    const char* m_szObject;
    bool m_bAsEvent;
    bool m_bOpens;
  };
  const Case cases[] = {
      {"Mutex", false, true},           {"Mutex", true, false},
      {"Event", true, true},            {"Event", false, false},
      {"EventVersion2", true, false},   {"MutexVersion0", false, false},
      {"HalfMade", true, false},        {"HalfMade", false, false},
      {"EventWithoutWord", true, false}, {"GoodRawEvent", true, true},
      {"Missing", true, false},         {"Missing", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.m_szObject) + (c.m_bAsEvent ? " as event" : " as mutex"));
    const bool bOpened = c.m_bAsEvent ? static_cast<bool>(CEvent::OpenNamed(c.m_szObject))
                                      : static_cast<bool>(CMutex::OpenNamed(c.m_szObject));
    EXPECT_EQ(c.m_bOpens, bOpened);
  }
}

TEST_F(NamedObjectTest, OpenedEventSharesStateAndResetKindWithItsCreator) {
  for (EventReset reset : {EventReset::Auto, EventReset::Manual}) {
    const std::string& name = m_namespace.Name(reset == EventReset::Auto ? "Auto" : "Manual");
    CEvent created = CEvent::CreateNamed(name, reset, false);
    CEvent opened = CEvent::OpenNamed(name);
    ASSERT_TRUE(opened);
    EXPECT_EQ(reset == EventReset::Manual, opened.IsManualReset());
    SetEvent(opened);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(created, 0));
  }
}

// A faulty peer may leave any value in an event's word. Anything but 0 counts as signalled
// (an auto-reset wait takes it back to 0), so no wait can spin on a word the futex would not
// sleep on, nor miss a signal.
TEST_F(NamedObjectTest, EventWordOtherThanZeroOrOneCountsAsSignalled) {
  const RawObjectImage autoWithTwo{{kEventMagic, kKernelObjectVersion, 0, 0}, {2}};
  const RawObjectImage manualWithTwo{
      {kEventMagic, kKernelObjectVersion, kEventFlagManualReset, 0}, {2}};
  WriteRawObject("AutoWithTwo", &autoWithTwo, sizeof autoWithTwo);
  WriteRawObject("ManualWithTwo", &manualWithTwo, sizeof manualWithTwo);

  CEvent autoEvent = CEvent::OpenNamed("AutoWithTwo");
  CEvent manualEvent = CEvent::OpenNamed("ManualWithTwo");
  ASSERT_TRUE(autoEvent);
  ASSERT_TRUE(manualEvent);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(autoEvent, 0));
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(autoEvent, 10));
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(manualEvent, 0));
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(manualEvent, 0));
}

TEST_F(NamedObjectTest, ObjectsAreCreatedOnceWithModeOwnerOnlyAndRemoved) {
  const std::string& name = m_namespace.Name("Area");
  const mode_t oldMask = umask(0);  // the mode must not depend on the creator's umask
  CFileMapping area = CFileMapping::Create(name, 4096);
  umask(oldMask);
  ASSERT_TRUE(area);
  EXPECT_FALSE(CFileMapping::Create(name, 4096));
  EXPECT_FALSE(CEvent::CreateNamed(name, EventReset::Auto, false));

  struct stat status {};
  const std::string path = "/dev/shm/" + m_namespace.GetPrefix() + name;
  ASSERT_EQ(0, stat(path.c_str(), &status)) << path;
  EXPECT_EQ(0600u, status.st_mode & 0777u);

  EXPECT_TRUE(RemoveLinkObject(name));
  EXPECT_FALSE(CFileMapping::Open(name));
  EXPECT_FALSE(RemoveLinkObject(name));
  EXPECT_TRUE(CFileMapping::Create(name, 16));
}

TEST_F(NamedObjectTest, ViewCoversTheWholeAreaAndIsSharedBetweenMappings) {
  const std::string& name = m_namespace.Name("Area");
  CFileMapping created = CFileMapping::Create(name, 70000);
  CMapView writer = MapViewOfFile(created);
  ASSERT_TRUE(writer);
  writer.GetBytes()[69999] = std::byte{0x5A};

  CFileMapping opened = CFileMapping::Open(name);
  EXPECT_EQ(70000u, opened.GetSize());
  CloseHandle(created);  // a view outlives the mapping it came from
  CMapView reader = MapViewOfFile(opened);
  ASSERT_EQ(70000u, reader.GetSize());
  EXPECT_EQ(std::byte{0x5A}, reader.GetBytes()[69999]);
  UnmapViewOfFile(reader);
  EXPECT_FALSE(reader);
  EXPECT_FALSE(MapViewOfFile(CFileMapping()));
}

TEST_F(NamedObjectTest, MutexIsRecursiveAndOnlyItsOwnerReleasesIt) {
  CMutex mutex = CMutex::CreateNamed(m_namespace.Name("Mutex"));
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(mutex, 0));
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(mutex, 0));
  bool bOtherThreadReleased = true;
  DWORD otherThreadWait = WAIT_FAILED;
  std::thread other([&] {
    bOtherThreadReleased = ReleaseMutex(mutex);
    otherThreadWait = WaitForSingleObject(mutex, 0);
  });
  other.join();
  EXPECT_FALSE(bOtherThreadReleased);
  EXPECT_EQ(WAIT_TIMEOUT, otherThreadWait);
  EXPECT_TRUE(ReleaseMutex(mutex));
  EXPECT_TRUE(ReleaseMutex(mutex));
  EXPECT_FALSE(ReleaseMutex(mutex));
}

}  // namespace
