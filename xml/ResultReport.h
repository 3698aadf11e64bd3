#pragma once
// The result report: a string of entries, each an empty-element tag `<word .../>`, in which the
// XML component records what a parse, a file read or a file write found. Nothing in the program
// reads it back; it is for people and tests. The report stops taking entries once it holds
// kReportCeiling code units, and an entry is always added whole or not at all.

#include <cstdint>
#include <string>
#include <string_view>

constexpr std::size_t kReportCeiling = 1000;

// Name of an entry's text attribute.
enum class ReportText : std::uint8_t { kNone, kType, kEncoding, kMsg, kTagName };
// Name of an entry's number attribute; kOffset is the name when the caller chooses none.
enum class ReportNumber : std::uint8_t { kOffset, kN, kCount, kLength };
// kUpdate gives the attributes to the first top-level entry of that word instead of adding one.
enum class ReportMode : std::uint8_t { kAdd, kUpdate };

struct ReportEntry {
  std::u16string_view word;
  ReportText textName = ReportText::kNone;
  // Written whenever textName is not kNone, even when empty.
  std::u16string_view text;
  ReportNumber numberName = ReportNumber::kOffset;
  std::int64_t number = -1;   // -1: not written
  std::int64_t offset2 = -1;  // -1: not written
};

// Adds `entry` to `report` (or updates the first entry of its word with kUpdate). Attribute
// values are written in quotation marks with < & > " ' as entity references.
void AddReportEntry(std::u16string& report, const ReportEntry& entry, ReportMode mode = ReportMode::kAdd);

// The common shapes, for readability at the call sites.
void AddReportEntry(std::u16string& report, std::u16string_view word);
void AddReportEntry(std::u16string& report, std::u16string_view word, ReportText textName,
                    std::u16string_view text, ReportNumber numberName = ReportNumber::kOffset,
                    std::int64_t number = -1, std::int64_t offset2 = -1,
                    ReportMode mode = ReportMode::kAdd);
void AddReportEntry(std::u16string& report, std::u16string_view word, ReportNumber numberName,
                    std::int64_t number, std::int64_t offset2 = -1,
                    ReportMode mode = ReportMode::kAdd);
