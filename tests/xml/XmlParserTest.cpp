#include "xml/XmlDocument.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/xml/XmlIndexCheck.h"
#include "tests/xml/XmlTestText.h"

namespace {

using xmltext::Literal;
using xmltext::Narrow;

// The fields of one record, levels and flags apart.
struct Fields {
  std::int32_t start, length;
  std::uint32_t startTag, endTag, level, flags;
  std::int32_t parent, firstChild, next, prev;
};

void ExpectRecord(const CXmlDocument& document, std::int32_t position, const Fields& expected) {
  SCOPED_TRACE("record " + std::to_string(position));
  const ElementRecord r = document.GetRecord(position);
  EXPECT_EQ(r.start, expected.start);
  EXPECT_EQ(r.length, expected.length);
  EXPECT_EQ(r.StartTagLength(), expected.startTag);
  EXPECT_EQ(r.EndTagLength(), expected.endTag);
  EXPECT_EQ(r.Level(), expected.level);
  EXPECT_EQ(r.flags & ~ElementRecord::kLevelMask, expected.flags);
  EXPECT_EQ(r.parent, expected.parent);
  EXPECT_EQ(r.firstChild, expected.firstChild);
  EXPECT_EQ(r.next, expected.next);
  EXPECT_EQ(r.prev, expected.prev);
}

constexpr std::uint32_t kFirst = kElementFirstChild;
constexpr std::uint32_t kUnended = kElementUnended;
constexpr std::uint32_t kError = kElementHasError;

struct ParseCase {
  const char* name;
  std::u16string_view text;
  bool wellFormed;
  std::u16string_view report;
  std::vector<Fields> records;  // records 1, 2, ...
};

const std::vector<ParseCase>& ParseCases() {
  static const std::vector<ParseCase> cases = {
      {"empty text", u"", false, u"", {}},
      {"one element", u"<a>x</a>", true, u"", {{0, 8, 3, 4, 0, kFirst, 0, 0, 0, 1}}},
      {"empty-element tag", u"<a/>", true, u"", {{0, 4, 4, 0, 0, kFirst, 0, 0, 0, 1}}},
      {"children and siblings", u"<a><b/><c></c></a>", true, u"",
       {{0, 18, 3, 4, 0, kFirst, 0, 2, 0, 1}, {3, 4, 4, 0, 1, kFirst, 1, 0, 3, 3}, {7, 7, 3, 4, 1, 0, 1, 0, 0, 2}}},
      {"unended child", u"<a><b></a>", false, u"<unended_start_tag tagname=\"b\" offset=\"3\" offset2=\"7\"/>",
       {{0, 10, 3, 4, 0, kFirst, 0, 2, 0, 1}, {3, 3, 3, 0, 1, kFirst | kUnended, 1, 0, 0, 2}}},
      {"children of an unended element are lifted", u"<a><b><c></c></a>", false,
       u"<unended_start_tag tagname=\"b\" offset=\"3\" offset2=\"14\"/>",
       {{0, 17, 3, 4, 0, kFirst, 0, 2, 0, 1},
        {3, 3, 3, 0, 1, kFirst | kUnended, 1, 0, 3, 3},
        {6, 7, 3, 4, 1, 0, 1, 0, 0, 2}}},
      {"lone end tag", u"<a></b></a>", false, u"<lone_end_tag tagname=\"b\" offset=\"3\"/>",
       {{0, 11, 3, 4, 0, kFirst | kError, 0, 0, 0, 1}}},
      {"cut off after two start tags", u"<a><b>", false,
       u"<unended_start_tag tagname=\"b\" offset=\"3\" offset2=\"6\"/>"
       u"<unended_start_tag tagname=\"a\" offset=\"0\" offset2=\"6\"/><root_has_sibling/>",
       {{0, 3, 3, 0, 0, kFirst | kUnended, 0, 0, 2, 2}, {3, 3, 3, 0, 0, kUnended, 0, 0, 0, 1}}},
      {"declaration only", u"<?xml version=\"1.0\"?>", false, u"<no_root_element/>", {}},
      {"two roots", u"<a/><b/>", false, u"<root_has_sibling/>",
       {{0, 4, 4, 0, 0, kFirst, 0, 0, 2, 2}, {4, 4, 4, 0, 0, 0, 0, 0, 0, 1}}},
      {"malformed token", u"<1>", false, u"<first_tag_syntax offset=\"0\"/><no_root_element/>", {}},
      {"two malformed tokens give two entries", u"<a><1><2></a>", false,
       u"<first_tag_syntax offset=\"3\"/><first_tag_syntax offset=\"6\"/>",
       {{0, 13, 3, 4, 0, kFirst | kError, 0, 0, 0, 1}}},
      {"names end at a delimiter", u"<a=1></a>", true, u"", {{0, 9, 5, 4, 0, kFirst, 0, 0, 0, 1}}},
      {"end tag matches the names exactly", u"<A></a>", false,
       u"<lone_end_tag tagname=\"a\" offset=\"3\"/><unended_start_tag tagname=\"A\" offset=\"0\" offset2=\"7\"/>",
       {{0, 3, 3, 0, 0, kFirst | kUnended, 0, 0, 0, 1}}},
      {"markup around the root is passed over",
       u"<?xml version=\"1.0\"?><!DOCTYPE a [<!ELEMENT a ANY>]><!--c--><a><![CDATA[<b>]]></a> ", true, u"",
       {{60, 22, 3, 4, 0, kFirst, 0, 0, 0, 1}}},
  };
  return cases;
}

TEST(XmlParserTest, RecordsAndReportsOfSmallDocuments) {
  for (const ParseCase& test : ParseCases()) {
    SCOPED_TRACE(test.name);
    CXmlDocument document(test.text);
    EXPECT_EQ(document.IsWellFormed(), test.wellFormed);
    EXPECT_EQ(Narrow(document.GetResultReport()), Narrow(test.report));
    ASSERT_EQ(document.GetRecordCount(), static_cast<std::int32_t>(test.records.size()) + 1);
    const ElementRecord root = document.GetRecord(0);
    EXPECT_EQ(root.length, static_cast<std::int32_t>(test.text.size()));
    EXPECT_EQ(root.firstChild, test.records.empty() ? 0 : 1);
    // Record 0 is marked for faults found in the text, not for a missing or doubled root.
    std::u16string_view faults = test.report;
    for (std::u16string_view structural : {u"<no_root_element/>", u"<root_has_sibling/>"}) {
      if (faults.ends_with(structural)) faults.remove_suffix(structural.size());
    }
    EXPECT_EQ((root.flags & kDocumentNotWellFormed) != 0, !faults.empty());
    for (std::size_t i = 0; i < test.records.size(); ++i) ExpectRecord(document, static_cast<std::int32_t>(i + 1), test.records[i]);
    EXPECT_EQ(xmlcheck::CheckIndex(document, true), "");
    EXPECT_EQ(document.GetParentIndex(), 0);
    EXPECT_EQ(document.GetCurrentIndex(), 0);
    EXPECT_EQ(document.GetChildIndex(), 0);
  }
}

TEST(XmlParserTest, NestedUnendedTagsAreFlattenedInOrder) {
  // HTML-like text: every <br> stays open until </p> closes them all at once.
  CXmlDocument document(u"<p><br><i/><br><br><b></b></p>");
  EXPECT_FALSE(document.IsWellFormed());
  ASSERT_EQ(document.GetRecordCount(), 7);
  std::vector<std::int32_t> order;
  ASSERT_EQ(xmlcheck::CheckIndex(document, true, &order), "");
  EXPECT_EQ(order, (std::vector<std::int32_t>{1, 2, 3, 4, 5, 6}));
  std::vector<std::int32_t> children;
  for (std::int32_t c = document.GetRecord(1).firstChild; c != 0; c = document.GetRecord(c).next) children.push_back(c);
  EXPECT_EQ(children, (std::vector<std::int32_t>{2, 3, 4, 5, 6}));
  EXPECT_EQ(document.GetRecord(2).prev, 6);
  // Reported innermost first.
  EXPECT_EQ(Narrow(document.GetResultReport()),
            "<unended_start_tag tagname=\"br\" offset=\"15\" offset2=\"27\"/>"
            "<unended_start_tag tagname=\"br\" offset=\"11\" offset2=\"27\"/>"
            "<unended_start_tag tagname=\"br\" offset=\"3\" offset2=\"27\"/>");
}

TEST(XmlParserTest, ErrorFlagMovesOutOfAnUnendedElement) {
  CXmlDocument document(u"<a><b></c></a>");
  EXPECT_EQ(document.GetRecord(2).flags & kElementHasError, 0u);
  EXPECT_NE(document.GetRecord(1).flags & kElementHasError, 0u);
}

TEST(XmlParserTest, IgnoreCaseModeMatchesEndTags) {
  CXmlDocument document;
  document.SetModeFlags(kModeIgnoreCase);
  document.SetDocumentText(u"<Auto><x></X></AUTO>");
  EXPECT_TRUE(document.IsWellFormed());
  EXPECT_EQ(document.GetResultReport(), u"");
}

TEST(XmlParserTest, TagsBeyondTheFieldWidthsAreMalformed) {
  // A start tag of exactly 4,194,303 code units fits; one more does not and is left out.
  const auto startTag = [](std::size_t length) {
    return u"<a x=\"" + std::u16string(length - 9, u'v') + u"\"/>";
  };
  CXmlDocument fits(startTag(ElementRecord::kMaxStartTagLength));
  ASSERT_EQ(fits.GetRecordCount(), 2);
  EXPECT_EQ(fits.GetRecord(1).StartTagLength(), ElementRecord::kMaxStartTagLength);
  EXPECT_TRUE(fits.IsWellFormed());

  CXmlDocument tooLong(u"<r>" + startTag(ElementRecord::kMaxStartTagLength + 1) + u"</r>");
  EXPECT_EQ(tooLong.GetRecordCount(), 2);
  EXPECT_FALSE(tooLong.IsWellFormed());
  EXPECT_EQ(Narrow(tooLong.GetResultReport()), "<tag_too_long type=\"start_tag\" offset=\"3\"/>");
  EXPECT_EQ(xmlcheck::CheckIndex(tooLong, true), "");

  // An end tag over 1,023 code units ends nothing; its element is closed as unended.
  const std::u16string name(1021, u'n');
  CXmlDocument longEnd(u"<" + name + u"></" + name + u">");
  ASSERT_EQ(longEnd.GetRecordCount(), 2);
  EXPECT_NE(longEnd.GetRecord(1).flags & kElementUnended, 0u);
  EXPECT_EQ(longEnd.GetRecord(1).EndTagLength(), 0u);
  EXPECT_EQ(Narrow(longEnd.GetResultReport().substr(0, 42)), "<tag_too_long type=\"end_tag\" offset=\"1023\"");
  const std::u16string fitting(1020, u'n');
  CXmlDocument fitEnd(u"<" + fitting + u"></" + fitting + u">");
  EXPECT_TRUE(fitEnd.IsWellFormed());
  EXPECT_EQ(fitEnd.GetRecord(1).EndTagLength(), 1023u);
}

TEST(XmlParserTest, HostileTextsParseSafely) {
  const std::vector<std::u16string> texts = {
      std::u16string(5000, u'<'),
      Literal(u"<a>\0<b x='\0'/>\0</a>"),
      u"<\xD800><\xDC00 a=\"\xDBFF\"/></\xD800>",
      std::u16string(3000, u'>'),
      u"<a x=\"" + std::u16string(100, u'<'),
  };
  for (const std::u16string& text : texts) {
    CXmlDocument document(text);
    EXPECT_EQ(xmlcheck::CheckIndex(document, true), "");
    EXPECT_LT(document.GetResultReport().size(), 1100u);
  }
  CXmlDocument surrogates(texts[2]);
  EXPECT_TRUE(surrogates.IsWellFormed());
}

TEST(XmlParserTest, DeepNestingKeepsTheLevelFieldInRange) {
  std::u16string text;
  for (int i = 0; i < 70000; ++i) text += u"<a>";
  for (int i = 0; i < 70000; ++i) text += u"</a>";
  CXmlDocument document(text);
  ASSERT_EQ(document.GetRecordCount(), 70001);
  EXPECT_TRUE(document.IsWellFormed());
  EXPECT_EQ(document.GetRecord(65535).Level(), 65534u);
  EXPECT_EQ(document.GetRecord(70000).Level(), 0xFFFFu);
  EXPECT_EQ(document.GetRecord(70000).flags & ~ElementRecord::kLevelMask, kElementFirstChild);
  EXPECT_EQ(xmlcheck::CheckIndex(document, true), "");

  // Unended tags nest just as deep while read; their children are lifted and levelled again.
  CXmlDocument unended(text.substr(0, 3 * 70000));
  EXPECT_EQ(unended.GetRecord(70000).Level(), 0u);
  EXPECT_EQ(xmlcheck::CheckIndex(unended, true), "");
}

TEST(XmlParserTest, SetDocumentTextResetsReportAndIndex) {
  CXmlDocument document(u"<a><b/></a>");
  EXPECT_EQ(document.GetRecordCount(), 3);
  EXPECT_FALSE(document.SetDocumentText(u"<1>"));
  EXPECT_EQ(Narrow(document.GetResultReport()), "<first_tag_syntax offset=\"0\"/><no_root_element/>");
  EXPECT_EQ(document.GetRecordCount(), 1);
  // A parse adds to the report rather than replacing it.
  document.Parse();
  EXPECT_EQ(Narrow(document.GetResultReport()),
            "<first_tag_syntax offset=\"0\"/><no_root_element/><first_tag_syntax offset=\"0\"/><no_root_element/>");
  EXPECT_FALSE(document.SetDocumentText(nullptr));
  EXPECT_EQ(document.GetDocumentText(), u"");
  EXPECT_EQ(document.GetResultReport(), u"");
  EXPECT_EQ(document.GetRecordCount(), 1);
  EXPECT_TRUE(document.SetDocumentText(u"<x/>"));
  EXPECT_EQ(document.GetRecord(5).start, 0);  // not handed out
}

}  // namespace
