#include "panel/MultiDigitalNumber.h"
#include "panel/SingleDigital.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <initializer_list>

namespace {

constexpr CRect kRect{34, 34, 112, 65};

TEST(SingleDigitalUpdate, LightsFromItsBitOfItsByte) {
  struct {
    const char* what;
    std::uint16_t bitIndex;
    std::uint8_t value;
    bool lit;
  } const cases[] = {
      {"bit 3 set", 3, 0x08, true},
      {"bit 3 clear, all others set", 3, 0xF7, false},
      {"bit 0 set", 0, 0x01, true},
      {"bit 7 set", 7, 0x80, true},
      {"bit 7 clear", 7, 0x7F, false},
      // Past the byte nothing lights, however the byte reads.
      {"bit 8", 8, 0xFF, false},
      {"bit 31", 31, 0xFF, false},
      {"bit 32", 32, 0xFF, false},
      {"bit 65535", 65535, 0xFF, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CSingleDigital single(u"Auto", kRect, 131, 143);
    single.m_wAddress = 0x20;
    single.m_wBitIndex = c.bitIndex;
    single.m_bLit = !c.lit;
    single.UpdateFromMemory({{0x1F, 0xFF}, {0x20, c.value}, {0x21, 0xFF}});
    EXPECT_EQ(single.m_bLit, c.lit);
  }
}

TEST(SingleDigitalUpdate, AnAbsentAddressKeepsTheLitState) {
  CSingleDigital single(u"Auto", kRect, 131, 143);
  single.m_wAddress = 0x20;
  single.m_wBitIndex = 0;
  for (const bool before : {true, false}) {
    single.m_bLit = before;
    single.UpdateFromMemory({});
    EXPECT_EQ(single.m_bLit, before);
    single.UpdateFromMemory({{0x21, 0xFF}, {0x1F, 0x00}});
    EXPECT_EQ(single.m_bLit, before);
  }
}

TEST(SingleDigitalUpdate, NeverWiredStaysLitUntilAddressZeroArrives) {
  CSingleDigital single(u"Auto", kRect, 131, 143);
  single.UpdateFromMemory({{1, 0x00}});
  EXPECT_TRUE(single.m_bLit);
  single.UpdateFromMemory({{0, 0x00}});
  EXPECT_FALSE(single.m_bLit);
}

// Disabling hides the state on screen only; the object keeps following memory.
TEST(SingleDigitalUpdate, DisabledObjectKeepsFollowingMemory) {
  CSingleDigital single(u"Auto", kRect, 131, 143);
  single.m_bEnabled = false;
  single.UpdateFromMemory({{0, 0x00}});
  EXPECT_FALSE(single.m_bLit);
  single.UpdateFromMemory({{0, 0x01}});
  EXPECT_TRUE(single.m_bLit);
}

TEST(UpdateFromMemory, EachObjectReadsOnlyItsOwnAddress) {
  CSingleDigital autoWord(u"Auto", kRect, 131, 143);
  autoWord.m_wAddress = 0x10;
  CSingleDigital round(u"Round", {19, 117, 127, 152}, 135, 138);
  round.m_wAddress = 0x11;
  CMultiDigitalNumber digit(u"Number1", {128, 21, 200, 150});
  digit.m_wAddress = 0x12;
  CMultiDigitalNumber untouched(u"Number2", {225, 21, 297, 150});
  untouched.m_wAddress = 0x13;

  const RamValueMap report{{0x10, 0x00}, {0x11, 0x01}, {0x12, 0x00}};
  for (CDigitalObject* object : std::initializer_list<CDigitalObject*>{&autoWord, &round, &digit,
                                                                       &untouched})
    object->UpdateFromMemory(report);

  EXPECT_FALSE(autoWord.m_bLit);
  EXPECT_TRUE(round.m_bLit);
  for (std::size_t segment = 0; segment < 7; ++segment) {
    EXPECT_FALSE(digit.m_bSegLit[segment]) << segment;
    EXPECT_TRUE(untouched.m_bSegLit[segment]) << segment;
  }
}

class MultiDigitalNumberUpdate : public ::testing::Test {
protected:
  // Segments a to g on bits 0 to 6 of address 0x40, except that g shares bit 0 with a.
  void SetUp() override {
    m_digit.m_wAddress = 0x40;
    for (std::uint16_t segment = 0; segment < 6; ++segment)
      m_digit.m_wSegBitIndex[segment] = segment;
    m_digit.m_wSegBitIndex[6] = 0;
  }

  std::array<bool, 7> Lit() const {
    std::array<bool, 7> lit;
    for (std::size_t segment = 0; segment < 7; ++segment)
      lit[segment] = m_digit.m_bSegLit[segment];
    return lit;
  }

  CMultiDigitalNumber m_digit{u"Number1", {128, 21, 200, 150}};
};

TEST_F(MultiDigitalNumberUpdate, EachSegmentFollowsItsBit) {
  m_digit.UpdateFromMemory({{0x40, 0b0010'0110}});
  EXPECT_EQ(Lit(), (std::array<bool, 7>{false, true, true, false, false, true, false}));
}

TEST_F(MultiDigitalNumberUpdate, TwoSegmentsOnOneBitLightAndDarkenTogether) {
  m_digit.UpdateFromMemory({{0x40, 0x01}});
  EXPECT_TRUE(m_digit.m_bSegLit[0]);
  EXPECT_TRUE(m_digit.m_bSegLit[6]);
  m_digit.UpdateFromMemory({{0x40, 0xFE}});
  EXPECT_FALSE(m_digit.m_bSegLit[0]);
  EXPECT_FALSE(m_digit.m_bSegLit[6]);
}

TEST_F(MultiDigitalNumberUpdate, BitIndexEightAndAboveNeverLight) {
  m_digit.m_wSegBitIndex[2] = 8;
  m_digit.m_wSegBitIndex[3] = 32;
  m_digit.m_wSegBitIndex[4] = 65535;
  m_digit.UpdateFromMemory({{0x40, 0xFF}});
  EXPECT_EQ(Lit(), (std::array<bool, 7>{true, true, false, false, false, true, true}));
}

TEST_F(MultiDigitalNumberUpdate, AnAbsentAddressKeepsEverySegment) {
  m_digit.UpdateFromMemory({{0x40, 0b0000'0101}});
  const auto before = Lit();
  m_digit.UpdateFromMemory({{0x3F, 0xFF}, {0x41, 0x00}});
  EXPECT_EQ(Lit(), before);
  m_digit.UpdateFromMemory({});
  EXPECT_EQ(Lit(), before);
}

} // namespace
