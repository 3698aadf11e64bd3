// CXmlDocument's file input and output: reading a file of any declared encoding into the
// document's UTF-16 text and writing the text back in the encoding it declares.

#include <memory>
#include <optional>
#include <string>

#include "xml/EncodingTable.h"
#include "xml/ResultReport.h"
#include "xml/TextConverter.h"
#include "xml/XmlDocument.h"
#include "xml/XmlFileStream.h"
#include "xml/XmlTokenizer.h"

namespace {

// The UTF-8 test on the bytes of a file without mark or declaration. It is deliberately
// loose (it looks at the length bits of each lead byte only) so that it tells UTF-8 from the
// ANSI code page the same way the files' other readers do.
bool PassesUtf8Test(const unsigned char* bytes, std::size_t count) {
  std::size_t i = 0;
  while (i < count) {
    const unsigned char lead = bytes[i++];
    if (lead == 0)
      return true;
    if (lead < 0x80)
      continue;
    std::size_t further;
    if ((lead & 0x20) == 0)
      further = 1;
    else if ((lead & 0x10) == 0)
      further = 2;
    else if ((lead & 0x08) == 0)
      further = 3;
    else
      return false;
    for (; further > 0; --further, ++i) {
      if (i >= count || (bytes[i] & 0x80) == 0)
        return false;
    }
  }
  return true;
}

std::uint32_t GivenFlags(const std::uint32_t* flags) {
  return flags != nullptr ? *flags : 0;
}

// Closing and handing back, shared by both directions. A failure to close is recorded but does
// not change the result, except that a replacing write has saved nothing until its temporary
// file has taken the target's place.
bool FinishStream(CXmlFileStream& stream, bool succeeded, std::uint32_t* flags,
                  std::u16string* report) {
  const bool replacing = stream.IsReplacing();
  const bool closed = stream.Close(succeeded);
  stream.ClearFlags(kStreamOpenBits);
  if (report != nullptr)
    *report += stream.Report();
  if (flags != nullptr)
    *flags = stream.GetFlags();
  return succeeded && (closed || !replacing);
}

// A text that declares UTF-16 is written with the matching byte-order mark when no mark was
// asked for: without one no reader, ours included, can tell the file is UTF-16 before
// reading its declaration.
std::uint32_t MarkForDeclaredUtf16(std::uint32_t flags, std::u16string_view text) {
  constexpr std::uint32_t kMarkBits = kModeBomUtf8 | kModeBomUtf16LE | kModeBomUtf16BE;
  if ((flags & kMarkBits) != 0 || text.empty())
    return flags;
  switch (CEncodingTable::CodePageFromName(CXmlDocument::EncodingFromText(text))) {
    case kCodePageUtf16LE: return flags | kModeBomUtf16LE;
    case kCodePageUtf16BE: return flags | kModeBomUtf16BE;
    default: return flags;
  }
}

bool ReadUtf16Units(CXmlFileStream& stream, std::u16string& text) {
  const auto bytes = static_cast<std::size_t>(stream.GetTransferBytes());
  text.resize((bytes + 1) / 2);
  if (!stream.ReadUnits(text.data())) {
    text.clear();
    return false;
  }
  text.resize(static_cast<std::size_t>(stream.GetUnits()));
  return true;
}

// The code page the stream's bytes are converted from. A file whose declaration names UTF-16
// but could be read byte by byte is not UTF-16 (a UTF-16 file has a mark, or its declaration
// would be hidden behind zero bytes), so it is read as an undeclared file would be rather than
// paired into nonsense.
int SourceCodePage(const CXmlFileStream& stream, const unsigned char* bytes, std::size_t units) {
  const int codePage = CEncodingTable::CodePageFromName(stream.GetEncoding());
  if (!CTextConverter::IsUtf16(codePage) || stream.GetUnitSize() != 1)
    return codePage;
  return PassesUtf8Test(bytes, units) ? kCodePageUtf8 : kCodePageAnsi;
}

bool ReadConvertedUnits(CXmlFileStream& stream, std::u16string& text) {
  const auto bytes = static_cast<std::size_t>(stream.GetTransferBytes());
  auto buffer = std::make_unique_for_overwrite<unsigned char[]>(bytes);
  if (!stream.ReadUnits(buffer.get()))
    return false;
  const auto units = static_cast<std::size_t>(stream.GetUnits());
  if (stream.GetEncoding().empty()) {
    if (PassesUtf8Test(buffer.get(), units)) {
      stream.SetEncoding(u"UTF-8");
      AddReportEntry(stream.Report(), u"read", ReportText::kEncoding, u"UTF-8",
                     ReportNumber::kOffset, -1, -1, ReportMode::kUpdate);
    }
    AddReportEntry(stream.Report(), u"utf8_detection");
  }
  CTextConverter converter(SourceCodePage(stream, buffer.get(), units), kCodePageUtf16LE);
  // The stream's units are bytes, or 32-bit units for a UTF-32 file; the converter counts in
  // units of the encoding.
  const std::size_t sourceUnits = units * static_cast<std::size_t>(stream.GetUnitSize()) /
                                  static_cast<std::size_t>(CTextConverter::UnitSizeOf(converter.GetFromCodePage()));
  const std::size_t length = converter.Convert(buffer.get(), sourceUnits, nullptr, 0);
  text.resize(length);
  text.resize(converter.Convert(buffer.get(), sourceUnits, text.data(), text.size()));
  AddReportEntry(stream.Report(), u"converted_to", ReportText::kEncoding, u"UTF-16",
                 ReportNumber::kLength, static_cast<std::int64_t>(text.size()));
  return true;
}

bool WriteConvertedText(CXmlFileStream& stream, std::u16string_view text) {
  CTextConverter converter(u"UTF-16", stream.GetEncoding());
  const std::size_t length = converter.Convert(text.data(), text.size(), nullptr, 0);
  const int unitSize = CTextConverter::UnitSizeOf(converter.GetToCodePage());
  auto buffer = std::make_unique_for_overwrite<unsigned char[]>(length * static_cast<std::size_t>(unitSize));
  const std::size_t converted = converter.Convert(text.data(), text.size(), buffer.get(), length);
  AddReportEntry(stream.Report(), u"converted_from", ReportText::kEncoding, u"UTF-16",
                 ReportNumber::kLength, static_cast<std::int64_t>(text.size()));
  if (converter.GetLossFlag() != 0)
    AddReportEntry(stream.Report(), u"conversion_loss");
  return stream.WriteUnits(buffer.get(), converted);
}

}  // namespace

bool CXmlDocument::LoadFile(const char16_t* path) {
  const bool read = ReadTextFile(m_strText, &m_nModeFlags, &m_strResultReport, path);
  Parse();  // a failed read left the text empty, and the document is parsed as empty
  return read;
}

bool CXmlDocument::SaveFile(const char16_t* path) {
  return WriteTextFile(&m_strResultReport, &m_nModeFlags, path, m_strText);
}

bool CXmlDocument::ReadTextFile(std::u16string& text, std::uint32_t* flags, std::u16string* report,
                                const char16_t* path) {
  // Stale write or append bits in the caller's flags must not turn a read into a truncation.
  CXmlFileStream stream((GivenFlags(flags) & ~kStreamOpenBits) | kStreamRead);
  const bool opened = stream.Open(path);
  if (report != nullptr)
    *report = stream.Report();
  text.clear();
  if (!opened)
    return false;

  stream.Report().clear();
  stream.SetTransferBytes(stream.GetFileSize() - stream.GetFilePos());
  bool read = true;
  if (stream.GetTransferBytes() == 0)
    AddReportEntry(stream.Report(), u"read", ReportText::kEncoding, stream.GetEncoding(),
                   ReportNumber::kLength, 0);
  else if (stream.HasUtf16Mark())
    read = ReadUtf16Units(stream, text);
  else
    read = ReadConvertedUnits(stream, text);
  return FinishStream(stream, read, flags, report);
}

bool CXmlDocument::WriteTextFile(std::u16string* report, std::uint32_t* flags, const char16_t* path,
                                 std::u16string_view text) {
  CXmlFileStream stream(MarkForDeclaredUtf16(GivenFlags(flags), text) | kStreamWrite);
  const bool opened = stream.Open(path);
  if (report != nullptr)
    *report = stream.Report();
  if (!opened)
    return false;

  if (stream.GetEncoding().empty() && !text.empty()) {
    const std::u16string declared = EncodingFromText(text);
    stream.UseEncoding(declared.empty() ? std::u16string(u"UTF-8") : declared);
  }
  stream.Report().clear();
  bool written = true;
  if (text.empty())
    AddReportEntry(stream.Report(), u"write", ReportText::kEncoding, stream.GetEncoding(),
                   ReportNumber::kLength, 0);
  else if (stream.HasUtf16Mark())
    written = stream.WriteUnits(text.data(), text.size());
  else
    written = WriteConvertedText(stream, text);
  return FinishStream(stream, written, flags, report);
}

namespace {

bool IsNamed(const TextScanner& scanner, std::u16string_view name) {
  return MatchesName(scanner.Token(), name, true);
}

bool EqualsIgnoringCase(std::u16string_view found, std::u16string_view wanted) {
  return found.size() == wanted.size() && CompareNames(found, wanted, found.size(), true) == 0;
}

// The value of attribute `name` of the tag whose '<' stands at tagStart; the tag's name starts
// `nameOffset` code units after it.
std::optional<std::u16string_view> AttributeValue(std::u16string_view text, std::int32_t tagStart,
                                                  std::int32_t nameOffset, const char16_t* name) {
  TextScanner scanner(text, kScanIgnoreCase, tagStart + nameOffset);
  if (!FindAttribute(scanner, name))
    return std::nullopt;
  return scanner.Token();
}

// The charset named in a Content-Type value such as "text/html; charset=iso-8859-1".
std::u16string CharsetOfContentType(std::u16string_view value) {
  TextScanner scanner(value, kScanIgnoreCase);
  bool afterCharset = false;
  bool afterEquals = false;
  while (ReadName(scanner)) {
    const std::u16string_view token = scanner.Token();
    if (afterEquals)
      return std::u16string(token);
    afterEquals = afterCharset && token == u"=";
    afterCharset = EqualsIgnoringCase(token, u"charset");
  }
  return {};
}

}  // namespace

std::u16string CXmlDocument::EncodingFromText(std::u16string_view text) {
  // The text ends at its first zero, as it would for any C string reader of the file's head.
  text = text.substr(0, text.find(u'\0'));
  TextScanner scanner(text, kScanIgnoreCase);
  NodeToken token;
  bool inHtml = false;
  for (;;) {
    token.errors.clear();
    const NodeKind kind = NextToken(scanner, token);
    if (kind == NodeKind::kEndOfText || kind == NodeKind::kMalformed)
      return {};
    if (kind == NodeKind::kProcessingInstruction && token.start == 0 && IsNamed(scanner, u"xml"))
      return std::u16string(AttributeValue(text, token.start, 2, u"encoding").value_or(u""));
    if (kind == NodeKind::kEndTag && IsNamed(scanner, u"head"))
      return {};
    if (kind != NodeKind::kStartTag)
      continue;
    if (!inHtml) {
      if (!IsNamed(scanner, u"html"))
        return {};
      inHtml = true;
      continue;
    }
    if (!IsNamed(scanner, u"meta"))
      continue;
    const std::optional<std::u16string_view> httpEquiv =
        AttributeValue(text, token.start, 1, u"http-equiv");
    if (!httpEquiv || !EqualsIgnoringCase(*httpEquiv, u"Content-Type"))
      continue;
    const std::optional<std::u16string_view> content = AttributeValue(text, token.start, 1, u"content");
    return content ? CharsetOfContentType(*content) : std::u16string();
  }
}
