#pragma once
// The element index of a CXmlDocument: ElementRecord, one per element, held in CElementTable.
//
// Records live in segments of 65,536 so that growing the table copies at most the last segment
// and the pointer array, never the whole index; index position p names record p & 0xFFFF of
// segment p >> 16. Records are not cleared when allocated: whoever takes a record into use
// writes every field. Growth is all-or-nothing: when an allocation fails the exception leaves
// the table as it was.

#include <cstdint>
#include <memory>

struct ElementRecord {
  std::int32_t start;        // offset of the '<' of the start tag; record 0: 0
  std::int32_t length;       // '<' through the last '>' (end tag, or start tag alone)
  std::uint32_t tagLengths;  // bits 0-21 start tag length, bits 22-31 end tag length
  std::uint32_t flags;       // bits 0-15 level, plus the kElement* bits below
  std::int32_t parent;       // 0 for a top-level element
  std::int32_t firstChild;   // 0 when childless
  std::int32_t next;         // next sibling, 0 for the last
  std::int32_t prev;         // previous sibling; the first child holds the last child instead

  std::uint32_t StartTagLength() const { return tagLengths & kStartTagMask; }
  std::uint32_t EndTagLength() const { return tagLengths >> kEndTagShift; }
  std::uint32_t Level() const { return flags & kLevelMask; }
  void SetTagLengths(std::uint32_t startTag, std::uint32_t endTag) {
    tagLengths = (startTag & kStartTagMask) | (endTag << kEndTagShift);
  }
  void SetLevel(std::uint32_t level) { flags = (flags & ~kLevelMask) | (level & kLevelMask); }

  static constexpr std::uint32_t kStartTagMask = 0x3FFFFF;
  static constexpr std::uint32_t kMaxStartTagLength = kStartTagMask;  // 4,194,303
  static constexpr std::uint32_t kEndTagShift = 22;
  static constexpr std::uint32_t kMaxEndTagLength = 0x3FF;  // 1,023
  static constexpr std::uint32_t kLevelMask = 0xFFFF;
};

// ElementRecord::flags bits.
constexpr std::uint32_t kElementFirstChild = 0x80000;
constexpr std::uint32_t kElementUnended = 0x100000;
constexpr std::uint32_t kElementHasError = 0x200000;
constexpr std::uint32_t kDocumentNotWellFormed = 0x800000;  // record 0 only

constexpr std::int32_t kSegmentShift = 16;
constexpr std::int32_t kSegmentRecords = 1 << kSegmentShift;  // 65,536

class CElementTable {
public:
  CElementTable() = default;
  CElementTable(const CElementTable&) = delete;
  CElementTable& operator=(const CElementTable&) = delete;

  // Grows to n records (n > capacity), at most one new segment per call (the request is cut
  // to fill the next segment completely). Throws std::bad_alloc and then changes nothing.
  void Grow(std::int32_t n);
  // Releases every segment and the pointer array.
  void Release();

  std::int32_t Capacity() const { return m_nCapacity; }
  std::int32_t SegmentSlots() const { return m_nSegmentSlots; }
  // Records allocated in segment `segment` (65,536 for all but the last).
  std::int32_t SegmentSize(std::int32_t segment) const;

  // position must be below Capacity().
  ElementRecord& operator[](std::int32_t position) {
    return m_segments[position >> kSegmentShift][position & (kSegmentRecords - 1)];
  }
  const ElementRecord& operator[](std::int32_t position) const {
    return m_segments[position >> kSegmentShift][position & (kSegmentRecords - 1)];
  }

private:
  std::unique_ptr<std::unique_ptr<ElementRecord[]>[]> m_segments;
  std::int32_t m_nCapacity = 0;
  std::int32_t m_nSegmentSlots = 0;
};
