#include "xml/XmlTokenizer.h"

#include <gtest/gtest.h>

#include "tests/xml/XmlTestText.h"

#include <string>
#include <vector>

namespace {

using xmltext::Literal;
using xmltext::Narrow;

struct ExpectedToken {
  std::u16string_view text;
  NodeKind kind;
  std::u16string_view errors = {};
  bool emptyElement = false;
};

struct TokenCase {
  const char* name;
  std::vector<ExpectedToken> tokens;
};

// Each case's text is its tokens' texts put together; reading it must give them back.
const std::vector<TokenCase>& TokenCases() {
  static const std::vector<TokenCase> cases = {
      {"quoted gt stays in an empty-element tag", {{u"<a title=\"x>y\"/>", NodeKind::kStartTag, {}, true}}},
      {"slash after unquoted value belongs to it", {{u"<a x=y/>", NodeKind::kStartTag}}},
      {"slash after white space ends an empty tag", {{u"<a x=y />", NodeKind::kStartTag, {}, true}}},
      {"slash after quoted value ends an empty tag", {{u"<a x='y'/>", NodeKind::kStartTag, {}, true}}},
      {"plain empty tag", {{u"<a/>", NodeKind::kStartTag, {}, true}}},
      {"quote outside a value is ordinary", {{u"<a \"x>", NodeKind::kStartTag}, {u"y\">", NodeKind::kText}}},
      {"gt in a comment", {{u"<!-- a > b -->", NodeKind::kComment}}},
      {"comment marker overlaps the opening", {{u"<!-->", NodeKind::kComment}, {u"x", NodeKind::kText}}},
      {"document type with internal subset",
       {{u"<!DOCTYPE x [<!ELEMENT x ANY>]>", NodeKind::kDocumentType}, {u"<x/>", NodeKind::kStartTag, {}, true}}},
      {"quoted gt in a nested declaration", {{u"<!DOCTYPE x [<!ENTITY y '>'>]>", NodeKind::kDocumentType}}},
      {"comment nested in a document type", {{u"<!DOCTYPE x [<!-- > -->]>", NodeKind::kDocumentType}}},
      {"gt splits character data", {{u"a >", NodeKind::kText}, {u" b", NodeKind::kText}}},
      {"leading gt does not end text", {{u" >x", NodeKind::kText}, {u"<a>", NodeKind::kStartTag}}},
      {"white space before markup", {{u" \t\r\n", NodeKind::kWhiteSpace}, {u"<a>", NodeKind::kStartTag}}},
      {"processing instruction", {{u"<?xml version=\"1.0\"?>", NodeKind::kProcessingInstruction}}},
      {"cdata section", {{u"<![CDATA[a<b]>]]>", NodeKind::kCDataSection}}},
      {"end tag", {{u"</a >", NodeKind::kEndTag}}},
      {"non-ASCII name", {{u"<\u00e9t\u00e9>", NodeKind::kStartTag}}},
      {"digit after lt", {{u"<1>", NodeKind::kMalformed, u"<first_tag_syntax offset=\"0\"/>"}}},
      {"malformed markup ends before the next lt, quoted or not",
       {{u"<1 x='", NodeKind::kMalformed, u"<first_tag_syntax offset=\"0\"/>"},
        {u"<'>", NodeKind::kMalformed, u"<first_tag_syntax offset=\"6\"/>"}}},
      {"malformed markup keeps a quoted gt",
       {{u"<1 x='>'>", NodeKind::kMalformed, u"<first_tag_syntax offset=\"0\"/>"}}},
      {"lt after lt", {{u"<", NodeKind::kMalformed, u"<first_tag_syntax offset=\"0\"/>"}, {u"<a>", NodeKind::kStartTag}}},
      {"exclamation", {{u"<!x>", NodeKind::kMalformed, u"<exclamation_tag_syntax offset=\"0\"/>"}}},
      {"broken comment opening", {{u"<!-x>", NodeKind::kMalformed, u"<comment_tag_syntax offset=\"0\"/>"}}},
      {"broken cdata opening", {{u"<![x>", NodeKind::kMalformed, u"<cdata_section_syntax offset=\"0\"/>"}}},
      {"unknown declaration in a document type",
       {{u"x", NodeKind::kText},
        {u"<!DOCTYPE x [<!Q>", NodeKind::kMalformed, u"<doctype_tag_syntax offset=\"1\"/>"},
        {u"]>", NodeKind::kText}}},
      {"lone lt at the end", {{u"<", NodeKind::kMalformed, u"<unterminated_tag_syntax type=\"tag\" offset=\"0\"/>"}}},
      {"start tag cut off",
       {{u"<a x='>", NodeKind::kMalformed, u"<unterminated_tag_syntax type=\"start_tag\" offset=\"0\"/>"}}},
      {"end tag cut off", {{u"</a", NodeKind::kMalformed, u"<unterminated_tag_syntax type=\"end_tag\" offset=\"0\"/>"}}},
      {"instruction cut off",
       {{u"<?x ?", NodeKind::kMalformed, u"<unterminated_tag_syntax type=\"processing_instruction\" offset=\"0\"/>"}}},
      {"comment cut off", {{u"<!-- -", NodeKind::kMalformed, u"<unterminated_tag_syntax type=\"comment\" offset=\"0\"/>"}}},
      {"cdata cut off",
       {{u"<![CDATA[x]]", NodeKind::kMalformed, u"<unterminated_tag_syntax type=\"cdata_section\" offset=\"0\"/>"}}},
      {"document type cut off inside a nested comment",
       {{u"<!DOCTYPE x [<!-- >", NodeKind::kMalformed, u"<unterminated_tag_syntax type=\"document_type\" offset=\"0\"/>"}}},
      {"malformed markup cut off",
       {{u"<1 x", NodeKind::kMalformed,
         u"<first_tag_syntax offset=\"0\"/><unterminated_tag_syntax type=\"tag\" offset=\"0\"/>"}}},
  };
  return cases;
}

TEST(XmlTokenizerTest, TokenKindsLengthsAndErrors) {
  for (const TokenCase& test : TokenCases()) {
    SCOPED_TRACE(test.name);
    std::u16string text;
    for (const ExpectedToken& expected : test.tokens) text += expected.text;
    TextScanner scanner(text);
    std::int32_t offset = 0;
    for (const ExpectedToken& expected : test.tokens) {
      NodeToken token;
      const NodeKind kind = NextToken(scanner, token);
      EXPECT_EQ(kind, expected.kind) << Narrow(expected.text);
      EXPECT_EQ(token.kind, kind);
      EXPECT_EQ(token.start, offset);
      EXPECT_EQ(Narrow(std::u16string_view(text).substr(token.start, token.length)), Narrow(expected.text));
      EXPECT_EQ(Narrow(token.errors), Narrow(expected.errors));
      EXPECT_EQ((token.flags & kTokenEmptyElement) != 0, expected.emptyElement) << Narrow(expected.text);
      EXPECT_EQ(scanner.pos, token.start + token.length);
      offset += static_cast<std::int32_t>(expected.text.size());
    }
    NodeToken last;
    EXPECT_EQ(NextToken(scanner, last), NodeKind::kEndOfText);
    EXPECT_EQ(last.length, 0);
  }
}

TEST(XmlTokenizerTest, ScannerHoldsTheNameOfTheLastTag) {
  const std::u16string text = u"<abc def='1'>text</abc ><?pi x?>";
  TextScanner scanner(text);
  NodeToken token;
  NextToken(scanner, token);
  EXPECT_EQ(scanner.Token(), u"abc");
  NextToken(scanner, token);  // text leaves the name alone
  EXPECT_EQ(scanner.Token(), u"abc");
  NextToken(scanner, token);
  EXPECT_EQ(scanner.Token(), u"abc");
  EXPECT_EQ(token.start, 17);
  NextToken(scanner, token);
  EXPECT_EQ(scanner.Token(), u"pi");
}

TEST(XmlTokenizerTest, AnyCodeUnitsAreRead) {
  // Unpaired surrogates, zero units and markup characters in every order: the tokenizer ends,
  // and its tokens cover the text without gaps.
  const std::u16string text = Literal(u"<\xD800 a='\0'>\xDC00<<<!\0<?</\0") + u"<";
  TextScanner scanner(text);
  NodeToken token;
  std::int32_t covered = 0;
  while (NextToken(scanner, token) != NodeKind::kEndOfText) {
    ASSERT_EQ(token.start, covered);
    ASSERT_GT(token.length, 0);
    covered += token.length;
  }
  EXPECT_EQ(covered, static_cast<std::int32_t>(text.size()));
}

TEST(XmlTokenizerTest, ReadNameAndSkipWhiteSpace) {
  TextScanner scanner(u"  abc=\"x\" ");
  ASSERT_TRUE(ReadName(scanner));
  EXPECT_EQ(scanner.Token(), u"abc");
  ASSERT_TRUE(ReadName(scanner));
  EXPECT_EQ(scanner.Token(), u"=");  // a name-end character alone is a token
  scanner.pos = 9;
  EXPECT_FALSE(SkipWhiteSpace(scanner));
  EXPECT_EQ(scanner.pos, 10);
  EXPECT_EQ(scanner.tokenEnd, scanner.tokenStart - 1);
  EXPECT_FALSE(ReadName(scanner));
}

TEST(XmlTokenizerTest, CompareNamesAndMatchesName) {
  struct Case {
    std::u16string_view a, b;
    bool ignoreCase;
    bool equal;
  } const compares[] = {
      {u"abc", u"abc", false, true},
      {u"abc", u"ABC", false, false},
      {u"abc", u"ABC", true, true},
      {u"a\u00e9b", u"A\u00e9b", true, true},
      // Past an equal pair above 0x7F the comparison is exact.
      {u"\u00e9a", u"\u00e9A", true, false},
      {u"\u00e9", u"\u00c9", true, false},
  };
  for (const Case& c : compares) {
    SCOPED_TRACE(Narrow(c.a) + " / " + Narrow(c.b));
    EXPECT_EQ(CompareNames(c.a, c.b, c.a.size(), c.ignoreCase) == 0, c.equal);
  }
  EXPECT_LT(CompareNames(u"abc", u"abd", 3, false), 0);
  EXPECT_EQ(CompareNames(u"abc", u"abd", 2, false), 0);

  struct Match {
    std::u16string_view found, wanted;
    bool matches;
  } const matches[] = {
      {u"Auto", u"Auto", true},       {u"Au", u"Auto", false},         {u"Autos", u"Auto", false},
      {u"Option", u"Option[2]", true}, {u"a", u"a/b", true},           {u"a", u"a b", true},
      {u"a", u"a=1", true},           {u"a", u"a]", true},             {u"a", u"ab", false},
  };
  for (const Match& m : matches) {
    SCOPED_TRACE(Narrow(m.found) + " / " + Narrow(m.wanted));
    EXPECT_EQ(MatchesName(m.found, m.wanted, false), m.matches);
  }
  EXPECT_TRUE(MatchesName(u"AUTO", u"auto", true));
  EXPECT_FALSE(MatchesName(u"AUTO", u"auto", false));
}

TEST(XmlTokenizerTest, FindAttribute) {
  struct Case {
    const char* name;
    std::u16string_view tag;
    const char16_t* attribute;
    std::uint32_t flags;
    bool found;
    std::u16string_view token;  // the value found, or where the search stopped (the rest of the tag)
    bool quoted;
  } const cases[] = {
      {"quoted in apostrophes", u"<a x=\"1\" y='2'/>", u"y", 0, true, u"2", true},
      {"unquoted runs to white space or gt", u"<a x=1/2>", u"x", 0, true, u"1/2", false},
      {"spaces around the equals sign", u"<a x = \"1\">", u"x", 0, true, u"1", true},
      {"attribute without value gives its name", u"<a checked x=\"1\">", u"checked", 0, true, u"checked", false},
      {"prefix of a longer name does not match", u"<a xy=\"1\">", u"x", 0, false, u">", false},
      {"the tag name is not an attribute", u"<x y=\"1\">", u"x", 0, false, u">", false},
      {"missing: stops before white space ahead of />", u"<a x=\"1\" />", u"z", 0, false, u" />", false},
      {"missing: stops before ?>", u"<?xml version=\"1.0\"?>", u"encoding", 0, false, u"?>", false},
      {"case ignored with the mode flag", u"<A X=\"1\">", u"x", kScanIgnoreCase, true, u"1", true},
      {"case kept without it", u"<A X=\"1\">", u"x", 0, false, u">", false},
      {"any attribute: none", u"<a >", nullptr, 0, false, u" >", false},
      {"any attribute: one", u"<a b>", nullptr, 0, true, u"b", false},
      {"declaration encoding", u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>", u"encoding", 0, true, u"UTF-8", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::u16string tag(c.tag);
    // Instructions are searched from their name, tags from after the '<'.
    TextScanner scanner(tag, c.flags, tag[1] == u'?' ? 2 : 1);
    const bool found = FindAttribute(scanner, c.attribute);
    ASSERT_EQ(found, c.found);
    if (found) {
      EXPECT_EQ(Narrow(scanner.Token()), Narrow(c.token));
      EXPECT_EQ((scanner.flags & kScanQuotedValue) != 0, c.quoted);
    } else {
      EXPECT_EQ(Narrow(std::u16string_view(tag).substr(scanner.pos)), Narrow(c.token));
    }
  }
}

}  // namespace
