#include "xml/EncodingTable.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdint>
#include <set>
#include <string>

namespace {

std::string Narrow(std::u16string_view text) { return std::string(text.begin(), text.end()); }

struct TableEntry {
  std::u16string name;
  int codePage;
};

// Walks the raw buckets, failing the test on any entry that breaks the layout.
std::vector<TableEntry> ReadEntries() {
  std::vector<TableEntry> entries;
  const auto buckets = CEncodingTable::Buckets();
  for (std::size_t b = 0; b < buckets.size(); ++b) {
    std::u16string_view bucket = buckets[b];
    while (!bucket.empty()) {
      EXPECT_GE(bucket.size(), 8u) << "bucket " << b;
      if (bucket.size() < 8)
        break;
      for (std::size_t i = 0; i < 7; ++i)
        EXPECT_TRUE(bucket[i] >= u'0' && bucket[i] <= u'9') << "bucket " << b;
      const std::size_t length = (bucket[0] - u'0') * 10 + (bucket[1] - u'0');
      int codePage = 0;
      for (std::size_t i = 2; i < 7; ++i)
        codePage = codePage * 10 + (bucket[i] - u'0');
      const std::u16string name(bucket.substr(7, length));
      EXPECT_EQ(name.size(), length) << "bucket " << b;
      EXPECT_EQ(CEncodingTable::BucketOf(name), static_cast<int>(b)) << Narrow(name);
      for (char16_t c : name)
        EXPECT_FALSE(c >= u'A' && c <= u'Z') << Narrow(name);
      entries.push_back({name, codePage});
      bucket.remove_prefix(std::min(bucket.size(), 7 + length));
    }
  }
  return entries;
}

TEST(EncodingTableTest, LayoutHoldsEveryNameOnceInItsBucket) {
  ASSERT_EQ(CEncodingTable::Buckets().size(), 155u);
  const std::vector<TableEntry> entries = ReadEntries();
  std::set<std::u16string> names;
  std::set<int> codePages;
  for (const TableEntry& entry : entries) {
    EXPECT_TRUE(names.insert(entry.name).second) << "twice: " << Narrow(entry.name);
    EXPECT_GE(entry.name.size(), 1u);
    EXPECT_LE(entry.name.size(), 45u);
    codePages.insert(entry.codePage);
    // Every name finds itself, whatever its case.
    std::u16string upper = entry.name;
    for (char16_t& c : upper)
      if (c >= u'a' && c <= u'z')
        c = static_cast<char16_t>(c - 32);
    if (upper.substr(0, 6) != u"UTF-32") {
      EXPECT_EQ(CEncodingTable::CodePageFromName(upper), entry.codePage) << Narrow(upper);
    }
  }
  EXPECT_EQ(names.size(), 365u);
  EXPECT_EQ(codePages.size(), 110u);
}

// A misspelt iconv name would only show when a file of that code page turns up.
TEST(EncodingTableTest, EveryCodePageConvertsThroughIconvOrOurOwnCode) {
  for (const TableEntry& entry : ReadEntries()) {
    const char* iconvName = CEncodingTable::IconvNameOf(entry.codePage);
    const bool ownCode = entry.codePage == kCodePageUtf8 || entry.codePage == kCodePageUtf16LE ||
                         entry.codePage == kCodePageUtf16BE || entry.codePage == kCodePageUtf32LE ||
                         entry.codePage == kCodePageUtf32BE;
    if (ownCode) {
      EXPECT_EQ(iconvName, nullptr) << entry.codePage;
      continue;
    }
    ASSERT_NE(iconvName, nullptr) << entry.codePage;
    iconv_t descriptor = iconv_open("UTF-16LE", iconvName);
    EXPECT_NE(descriptor, reinterpret_cast<iconv_t>(-1)) << iconvName;
    if (descriptor != reinterpret_cast<iconv_t>(-1))
      iconv_close(descriptor);
  }
}

TEST(EncodingTableTest, NamesMapToTheirCodePages) {
  struct Case {
    std::u16string_view name;
    int codePage;
  } const cases[] = {
      {u"utf-8", 65001}, {u"UTF-8", 65001}, {u"utf8", 65001}, {u"utf-16", 1200},
      {u"UTF-16LE", 1200}, {u"unicode", 1200}, {u"ucs-2", 1200}, {u"ucs-2le", 1200},
      {u"utf-16be", 1201}, {u"unicodeFFFE", 1201}, {u"utf-32", 12000}, {u"utf-32le", 12000},
      {u"utf-32be", 12001}, {u"utf-7", 65000}, {u"us-ascii", 20127}, {u"ascii", 20127},
      {u"ISO-8859-1", 28591}, {u"latin1", 28591}, {u"windows-1252", 1252}, {u"x-ansi", 1252},
      {u"Shift_JIS", 932}, {u"gb2312", 936}, {u"GB18030", 54936}, {u"big5", 950},
      {u"euc-kr", 51949}, {u"EUC-JP", 20932}, {u"iso-2022-jp", 50220}, {u"koi8-r", 20866},
      {u"Extended_UNIX_Code_Packed_Format_for_Japanese", 20932},
      // "UTF-32" in exactly that case names UTF-32 code points, whatever follows.
      {u"UTF-32", 65005}, {u"UTF-32BE", 65005}, {u"UTF-32-anything", 65005}, {u"Utf-32", 12000},
      // The ANSI code page: not in the table, empty, unknown, too long to look up.
      {u"ansi", 0}, {u"", 0}, {u"x-no-such-charset", 0}, {std::u16string_view(u"utf-8\0", 6), 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(CEncodingTable::CodePageFromName(c.name), c.codePage) << Narrow(c.name);
  EXPECT_EQ(CEncodingTable::CodePageFromName(std::u16string(100, u'a')), 0);
}

}  // namespace
