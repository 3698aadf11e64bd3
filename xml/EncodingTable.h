#pragma once
// CEncodingTable: encoding names to Windows code page numbers, and code pages to the names
// iconv knows them by.
//
// The code page numbers stay the keys because the byte-order marks, the declared encodings and
// the converter all speak in them. A name is looked up with 'A'..'Z' lowered; names that begin
// with exactly "UTF-32" stand for UTF-32 code points (kCodePageUtf32). Anything unknown, empty
// or absurdly long maps to code page 0, which is Windows-1252 on every machine so that a file
// reads the same wherever it is opened.
//
// The table is 365 names for 110 code pages held in 155 buckets chosen by the sum of the lowered
// name's code units. Each bucket is one string of entries: two decimal digits for the name's
// length, five for the code page, then the name. The layout keeps the table a handful of
// constant strings and a lookup one short scan.

#include <cstdint>
#include <span>
#include <string_view>

constexpr int kCodePageAnsi = 0;
constexpr int kCodePageWindows1252 = 1252;
constexpr int kCodePageUtf16LE = 1200;
constexpr int kCodePageUtf16BE = 1201;
constexpr int kCodePageUtf32LE = 12000;
constexpr int kCodePageUtf32BE = 12001;
constexpr int kCodePageUtf7 = 65000;
constexpr int kCodePageUtf8 = 65001;
// Not a Windows code page: UTF-32 code points held in 32-bit units.
constexpr int kCodePageUtf32 = 65005;

class CEncodingTable {
public:
  static constexpr int kBucketCount = 155;
  static constexpr std::size_t kLongestLookedUpName = 99;

  // The code page for an encoding name; 0 when empty or unknown.
  static int CodePageFromName(std::u16string_view name);

  // The iconv name of a code page, or null for the Unicode code pages (our own code converts
  // them) and for numbers the table does not hold.
  static const char* IconvNameOf(int codePage);

  // The raw buckets, for checking the layout.
  static std::span<const std::u16string_view> Buckets();

  // The bucket a lowered name belongs in.
  static int BucketOf(std::u16string_view loweredName);
};
