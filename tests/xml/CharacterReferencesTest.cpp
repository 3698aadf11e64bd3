#include "xml/CharacterReferences.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(CharacterReferencesTest, BucketsHoldEveryNameOnce) {
  int entries = 0;
  int pairs = 0;
  for (int b = 0; b < CCharacterReferences::kBucketCount; ++b) {
    const std::u16string_view bucket = CCharacterReferences::Bucket(b);
    for (std::size_t pos = 0; pos < bucket.size();) {
      const std::size_t length = bucket[pos] - u'0';
      ASSERT_GE(length, 2u);
      const std::u16string_view name = bucket.substr(pos + 5, length);
      unsigned sum = 0;
      for (char16_t c : name) sum += (c >= u'A' && c <= u'Z') ? c + 0x20 : c;
      EXPECT_EQ(static_cast<int>(sum % 130), b);
      ++entries;
      // Every name with a capital has a twin in lower case.
      if (name.find_first_of(u"ABCDEFGHIJKLMNOPQRSTUVWXYZ") != std::u16string_view::npos) ++pairs;
      pos += 5 + length;
    }
  }
  EXPECT_EQ(entries, 253);
  EXPECT_EQ(pairs, 64);
}

TEST(CharacterReferencesTest, CodePoints) {
  struct Case {
    std::u16string_view name;
    std::uint32_t code;
  } const cases[] = {
      {u"nbsp", 160}, {u"yuml", 255}, {u"Yuml", 376}, {u"YUML", 376}, {u"fnof", 402}, {u"Sigma", 931},
      {u"sigmaf", 962}, {u"thetasym", 977}, {u"alefsym", 8501}, {u"rArr", 8658}, {u"rarr", 8594},
      {u"Rarr", 8658}, {u"diams", 9830}, {u"DIAMS", 9830}, {u"euro", 8364}, {u"apos", 39}, {u"lang", 9001},
      {u"OElig", 338}, {u"oelig", 339}, {u"there4", 8756}, {u"foo", 0}, {u"", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name.begin(), c.name.end()));
    EXPECT_EQ(CCharacterReferences::Lookup(c.name), c.code);
  }
}

}  // namespace
