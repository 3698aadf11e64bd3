#include "xml/ResultReport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Narrow(std::u16string_view text) { return std::string(text.begin(), text.end()); }

TEST(ResultReportTest, EntryShapes) {
  struct Case {
    const char* name;
    ReportEntry entry;
    std::u16string_view expected;
  } const cases[] = {
      {"no attributes", {u"no_root_element", ReportText::kNone, {}, ReportNumber::kOffset, -1, -1},
       u"<no_root_element/>"},
      {"text and offset", {u"lone_end_tag", ReportText::kTagName, u"b", ReportNumber::kOffset, 12, -1},
       u"<lone_end_tag tagname=\"b\" offset=\"12\"/>"},
      {"offset2 last", {u"unended_start_tag", ReportText::kTagName, u"b", ReportNumber::kOffset, 3, 7},
       u"<unended_start_tag tagname=\"b\" offset=\"3\" offset2=\"7\"/>"},
      {"empty text is still written", {u"read", ReportText::kEncoding, u"", ReportNumber::kLength, 0, -1},
       u"<read encoding=\"\" length=\"0\"/>"},
      {"named numbers", {u"file_error", ReportText::kMsg, u"No such file", ReportNumber::kN, 2, -1},
       u"<file_error msg=\"No such file\" n=\"2\"/>"},
      {"count", {u"nulls_removed", ReportText::kNone, {}, ReportNumber::kCount, 3, -1}, u"<nulls_removed count=\"3\"/>"},
      {"type", {u"unterminated_tag_syntax", ReportText::kType, u"tag", ReportNumber::kOffset, 0, -1},
       u"<unterminated_tag_syntax type=\"tag\" offset=\"0\"/>"},
      {"markup characters escaped", {u"x", ReportText::kMsg, u"<&>\"'", ReportNumber::kOffset, -1, -1},
       u"<x msg=\"&lt;&amp;&gt;&quot;&apos;\"/>"},
      {"offset2 without number", {u"x", ReportText::kNone, {}, ReportNumber::kOffset, -1, 5}, u"<x offset2=\"5\"/>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::u16string report = u"<a/>";
    AddReportEntry(report, c.entry);
    EXPECT_EQ(Narrow(report), "<a/>" + Narrow(c.expected));
  }
}

TEST(ResultReportTest, UpdateChangesTheFirstEntryOfItsWord) {
  std::u16string report = u"<bom/><read encoding=\"\" length=\"5\"/><read encoding=\"\" length=\"9\"/>";
  AddReportEntry(report, u"read", ReportText::kEncoding, u"UTF-8", ReportNumber::kOffset, -1, -1, ReportMode::kUpdate);
  EXPECT_EQ(Narrow(report), "<bom/><read encoding=\"UTF-8\" length=\"5\"/><read encoding=\"\" length=\"9\"/>");
  // A new attribute goes after the entry's last one.
  AddReportEntry(report, u"bom", ReportNumber::kCount, 2, -1, ReportMode::kUpdate);
  EXPECT_EQ(Narrow(report), "<bom count=\"2\"/><read encoding=\"UTF-8\" length=\"5\"/><read encoding=\"\" length=\"9\"/>");
  // No entry of that word: nothing happens.
  const std::u16string before = report;
  AddReportEntry(report, u"write", ReportNumber::kLength, 1, -1, ReportMode::kUpdate);
  EXPECT_EQ(report, before);
}

TEST(ResultReportTest, CeilingDropsWholeEntries) {
  std::u16string report(999, u'x');
  AddReportEntry(report, u"lone_end_tag", ReportText::kTagName, u"b", ReportNumber::kOffset, 12);
  EXPECT_EQ(report.size(), 999u + 39u);
  EXPECT_EQ(Narrow(report.substr(999)), "<lone_end_tag tagname=\"b\" offset=\"12\"/>");

  std::u16string full(1000, u'x');
  AddReportEntry(full, u"no_root_element");
  AddReportEntry(full, u"x", ReportText::kType, u"y", ReportNumber::kOffset, -1, -1, ReportMode::kUpdate);
  EXPECT_EQ(full, std::u16string(1000, u'x'));
}

}  // namespace
