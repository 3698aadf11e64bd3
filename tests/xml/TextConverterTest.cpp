#include "xml/TextConverter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "xml/EncodingTable.h"

namespace {

std::string Hex(std::string_view bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
    out += ' ';
  }
  return out;
}

std::string Hex(std::u16string_view units) {
  std::string out;
  for (char16_t u : units)
    out += std::to_string(static_cast<unsigned>(u)) + ' ';
  return out;
}

// Measures, then converts into exactly that room, as the file code does.
std::string FromUtf16(std::u16string_view text, std::u16string_view encoding, bool* loss = nullptr) {
  CTextConverter converter(u"UTF-16", encoding);
  const std::size_t length = converter.Convert(text.data(), text.size(), nullptr, 0);
  const std::size_t unitSize = static_cast<std::size_t>(CTextConverter::UnitSizeOf(converter.GetToCodePage()));
  std::string bytes(length * unitSize, '\0');
  EXPECT_EQ(converter.Convert(text.data(), text.size(), bytes.data(), length), length);
  if (loss != nullptr)
    *loss = converter.GetLossFlag() != 0;
  return bytes;
}

std::u16string ToUtf16(std::string_view bytes, std::u16string_view encoding) {
  CTextConverter converter(encoding, u"UTF-16");
  const std::size_t unitSize = static_cast<std::size_t>(CTextConverter::UnitSizeOf(converter.GetFromCodePage()));
  const std::size_t units = bytes.size() / unitSize;
  const std::size_t length = converter.Convert(bytes.data(), units, nullptr, 0);
  std::u16string text(length, u'\0');
  EXPECT_EQ(converter.Convert(bytes.data(), units, text.data(), length), length);
  return text;
}

// Code page x string: each string that the code page can hold goes there and back unchanged.
TEST(TextConverterTest, RoundTripsThroughEveryKindOfEncoding) {
  const std::u16string strings[] = {
      u"", u"<a x=\"1\">plain ASCII</a>", u"caf\u00E9 \u00FC", u"\u20AC 5",
      u"\u65E5\u672C\u8A9E", u"\u041F\u0440\u0438\u0432\u0435\u0442", u"emoji \U0001F600 end",
  };
  struct Case {
    std::u16string_view encoding;
    std::vector<int> holds;  // indexes into strings
  } const cases[] = {
      {u"UTF-8", {0, 1, 2, 3, 4, 5, 6}},     {u"UTF-16", {0, 1, 2, 3, 4, 5, 6}},
      {u"UTF-32", {0, 1, 2, 3, 4, 5, 6}},    {u"utf-32be", {0, 1, 2, 3, 4, 5, 6}},
      {u"windows-1252", {0, 1, 2, 3}},       {u"iso-8859-1", {0, 1, 2}},
      {u"shift_jis", {0, 1, 4, 5}},          {u"gb18030", {0, 1, 2, 3, 4, 5, 6}},
      {u"koi8-r", {0, 1, 5}},                {u"ibm037", {0, 1, 2}},
      {u"iso-2022-jp", {0, 1, 4}},           {u"utf-7", {0, 1, 2, 3, 4, 5, 6}},
  };
  for (const Case& c : cases) {
    for (int index : c.holds) {
      SCOPED_TRACE(std::string(c.encoding.begin(), c.encoding.end()) + " string " + std::to_string(index));
      bool loss = true;
      const std::string bytes = FromUtf16(strings[index], c.encoding, &loss);
      EXPECT_FALSE(loss);
      EXPECT_EQ(Hex(ToUtf16(bytes, c.encoding)), Hex(strings[index]));
    }
  }
}

TEST(TextConverterTest, KnownBytes) {
  EXPECT_EQ(Hex(FromUtf16(u"\u20AC\u00E9", u"UTF-8")), "E2 82 AC C3 A9 ");
  EXPECT_EQ(Hex(FromUtf16(u"\u20AC\u00E9", u"windows-1252")), "80 E9 ");
  EXPECT_EQ(Hex(FromUtf16(u"A?", u"ibm037")), "C1 6F ");
  EXPECT_EQ(Hex(FromUtf16(u"\U0001F600", u"UTF-32")), "00 F6 01 00 ");
  EXPECT_EQ(Hex(FromUtf16(u"\u65E5", u"shift_jis")), "93 FA ");
}

TEST(TextConverterTest, CharactersTheTargetLacksBecomeQuestionMarksWithLoss) {
  struct Case {
    const char* name;
    std::u16string_view text;
    std::u16string_view encoding;
    std::string_view bytes;
    bool loss;
  } const cases[] = {
      {"euro to latin-1", u"a\u20ACb", u"iso-8859-1", "a?b", true},
      {"kanji to 1252", u"\u65E5", u"windows-1252", "?", true},
      {"pair to 1252 is one mark", u"\U0001F600", u"windows-1252", "?", true},
      {"ansi is 1252", u"\u65E5\u00E9", u"ansi", "?\xE9", true},
      {"pair to shift_jis via iconv", u"x\U0001F600y", u"shift_jis", "x?y", true},
      {"ebcdic question mark", u"\u65E5", u"ibm037", "\x6F", true},
      // A missing character last: with the room exactly measured, iconv reports the room as
      // short before it reports the character, and the mark must still be written.
      {"euc-jp ends unmappable", u"\u65E5\U0001F600", u"euc-jp", "\xC6\xFC?", true},
      {"utf-8 is not asked", u"a\xD800" u"b", u"UTF-8", "a?b", false},
      {"iso-2022-jp is not asked", u"\u20AC", u"iso-2022-jp", "?", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    bool loss = !c.loss;
    EXPECT_EQ(Hex(FromUtf16(c.text, c.encoding, &loss)), Hex(c.bytes));
    EXPECT_EQ(loss, c.loss);
  }
}

TEST(TextConverterTest, MalformedUnicodeBecomesQuestionMarks) {
  struct Case {
    const char* name;
    std::string_view bytes;
    std::u16string_view encoding;
    std::u16string_view text;
  } const cases[] = {
      // UTF-8: one mark per broken sequence, the good bytes after it kept.
      {"stray continuation", "a\x80z", u"UTF-8", u"a?z"},
      {"overlong slash", "\xC0\xAF", u"UTF-8", u"??"},
      {"overlong three bytes", "\xE0\x80\xAF", u"UTF-8", u"???"},
      {"cut sequence before ASCII", "\xE2\x82z", u"UTF-8", u"?z"},
      {"cut sequence at the end", "a\xF0\x9F\x98", u"UTF-8", u"a?"},
      {"encoded surrogate", "\xED\xA0\x80", u"UTF-8", u"???"},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", u"UTF-8", u"????"},
      {"lead F5", "\xF5z", u"UTF-8", u"?z"},
      {"largest four bytes", "\xF4\x8F\xBF\xBF", u"UTF-8", u"\U0010FFFF"},
      // UTF-32 units that are no characters.
      {"utf-32 surrogate", std::string_view("\x00\xD8\x00\x00", 4), u"UTF-32", u"?"},
      {"utf-32 too large", std::string_view("\x00\x00\x11\x00", 4), u"UTF-32", u"?"},
      // Windows-1252 as the platform has it: undefined bytes stand for C1 controls.
      {"1252 high bytes", "\x80\x81\x9F\xFF", u"windows-1252", u"\u20AC\u0081\u0178\u00FF"},
      // An iconv code page's undecodable byte.
      {"shift_jis bad byte", "a\xFF" "b", u"shift_jis", u"a\uFFFDb"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Hex(ToUtf16(c.bytes, c.encoding)), Hex(c.text));
  }
  // Unpaired surrogates on their way to UTF-32.
  EXPECT_EQ(Hex(FromUtf16(u"\xDC00" u"a\xD800", u"UTF-32")), "3F 00 00 00 61 00 00 00 3F 00 00 00 ");
}

TEST(TextConverterTest, NeverWritesBeyondTheRoomGiven) {
  const std::u16string text = u"abc\u00E9\U0001F600xyz";
  for (std::u16string_view encoding : {u"UTF-8", u"UTF-32", u"shift_jis", u"windows-1252"}) {
    CTextConverter converter(u"UTF-16", encoding);
    const std::size_t unitSize = static_cast<std::size_t>(CTextConverter::UnitSizeOf(converter.GetToCodePage()));
    // Exactly sized heap buffers: AddressSanitizer catches any write past the room.
    auto room = std::make_unique<char[]>(3 * unitSize);
    EXPECT_LE(converter.Convert(text.data(), text.size(), room.get(), 3), 3u);
  }
  const std::string bytes = "plain then \xC3\xA9 and more";
  CTextConverter converter(u"UTF-8", u"UTF-16");
  auto room = std::make_unique<char16_t[]>(4);
  EXPECT_EQ(converter.Convert(bytes.data(), bytes.size(), room.get(), 4), 4u);
  EXPECT_EQ(std::u16string_view(room.get(), 4), u"plai");
}

TEST(TextConverterTest, BetweenTwoByteCodePagesGoesThroughUtf16) {
  CTextConverter converter(u"windows-1252", u"UTF-8");
  const std::string bytes = "\x80 caf\xE9";
  std::string out(converter.Convert(bytes.data(), bytes.size(), nullptr, 0), '\0');
  out.resize(converter.Convert(bytes.data(), bytes.size(), out.data(), out.size()));
  EXPECT_EQ(out, "\xE2\x82\xAC caf\xC3\xA9");
}

}  // namespace
