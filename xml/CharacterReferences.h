#pragma once
// The character entity references that UnescapeText decodes: the 252 of HTML 4.01 with their
// code points, plus apos. They are held in 130 buckets chosen by the sum of the lowered name's
// code units modulo 130; each bucket is one string of entries, an entry being one digit for
// the name's length, four decimal digits for the code point, and the name as spelled.
//
// Names match without regard to ASCII case, except the 64 pairs that differ only in case
// (Eacute 201 and eacute 233, rArr 8658 and rarr 8594, ...): there the all-lower-case spelling
// gives the lower-case entity and any other spelling the upper-case one.
//
// The table is built on first use (thread-safe) and read-only afterwards.

#include <cstdint>
#include <string_view>

class CCharacterReferences {
public:
  static constexpr int kBucketCount = 130;

  // The code point of the reference `name` (as written, without '&' and ';'), or 0.
  static std::uint32_t Lookup(std::u16string_view name);

  // The bucket string for tests and for inspection.
  static std::u16string_view Bucket(int index);
};
