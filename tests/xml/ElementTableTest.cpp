#include "xml/ElementTable.h"

#include <gtest/gtest.h>

namespace {

void Fill(CElementTable& table, std::int32_t from, std::int32_t to) {
  for (std::int32_t p = from; p < to; ++p) table[p] = ElementRecord{p, -p, 0, 0, 0, 0, 0, 0};
}

void ExpectFilled(const CElementTable& table, std::int32_t to) {
  for (std::int32_t p = 0; p < to; ++p) {
    if (table[p].start != p || table[p].length != -p) {
      ADD_FAILURE() << "record " << p << " lost in growth";
      return;
    }
  }
}

TEST(ElementTableTest, GrowsOneSegmentAtATimeAndKeepsRecords) {
  CElementTable table;
  table.Grow(8);
  EXPECT_EQ(table.Capacity(), 8);
  EXPECT_EQ(table.SegmentSlots(), 4);
  EXPECT_EQ(table.SegmentSize(0), 8);
  Fill(table, 0, 8);

  // Within segment 0: the last segment is reallocated to the exact size.
  table.Grow(1000);
  EXPECT_EQ(table.SegmentSize(0), 1000);
  Fill(table, 8, 1000);

  // Into segment 1: segment 0 becomes full, segment 1 gets exactly the rest.
  table.Grow(100000);
  EXPECT_EQ(table.Capacity(), 100000);
  EXPECT_EQ(table.SegmentSize(0), kSegmentRecords);
  EXPECT_EQ(table.SegmentSize(1), 100000 - kSegmentRecords);
  Fill(table, 1000, 100000);

  // Asking for three segments more is cut to one, filled completely.
  table.Grow(5 * kSegmentRecords);
  EXPECT_EQ(table.Capacity(), 3 * kSegmentRecords);
  EXPECT_EQ(table.SegmentSize(1), kSegmentRecords);
  EXPECT_EQ(table.SegmentSlots(), 4);
  Fill(table, 100000, 3 * kSegmentRecords);

  table.Grow(4 * kSegmentRecords);
  EXPECT_EQ(table.SegmentSlots(), 4);
  // Segment 4 needs a fifth slot: the pointer array becomes 2 * 4 + 4.
  table.Grow(4 * kSegmentRecords + 1);
  EXPECT_EQ(table.SegmentSlots(), 12);
  EXPECT_EQ(table.SegmentSize(4), 1);
  ExpectFilled(table, 3 * kSegmentRecords);

  table.Release();
  EXPECT_EQ(table.Capacity(), 0);
  EXPECT_EQ(table.SegmentSlots(), 0);
}

TEST(ElementTableTest, FirstGrowthBeyondOneSegmentAllocatesSegmentZeroFull) {
  CElementTable table;
  table.Grow(kSegmentRecords + 10);
  EXPECT_EQ(table.Capacity(), kSegmentRecords + 10);
  EXPECT_EQ(table.SegmentSize(0), kSegmentRecords);
  EXPECT_EQ(table.SegmentSize(1), 10);
}

TEST(ElementRecordTest, FieldsKeepTheirBits) {
  ElementRecord record{};
  record.SetTagLengths(ElementRecord::kMaxStartTagLength, ElementRecord::kMaxEndTagLength);
  EXPECT_EQ(record.StartTagLength(), 4194303u);
  EXPECT_EQ(record.EndTagLength(), 1023u);
  record.flags = kElementFirstChild | kElementUnended;
  record.SetLevel(0xFFFF);
  EXPECT_EQ(record.Level(), 0xFFFFu);
  EXPECT_EQ(record.flags & ~ElementRecord::kLevelMask, kElementFirstChild | kElementUnended);
}

}  // namespace
