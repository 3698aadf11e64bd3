// Parses arbitrary bytes (read as UTF-16 code units, little-endian), checks the element index,
// then edits the document and checks again after every edit.
//
// Input: byte 0 chooses the mode flags; byte 1 says how many of the last bytes drive edits (one
// byte per edit); the bytes between are the text. After parsing, every record must begin at a
// '<' and end on a '>', and the parent, child and sibling links must agree with each other and
// with the nesting of the text. After each edit the same holds, and when the starting text had no
// syntax faults, the kept index must equal what a fresh parse of the edited text gives.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/xml/XmlIndexCheck.h"
#include "xml/XmlDocument.h"

namespace {

std::u16string CodeUnits(const std::uint8_t* data, std::size_t size) {
  std::u16string text(size / 2, u'\0');
  for (std::size_t i = 0; i < text.size(); ++i)
    text[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
  return text;
}

void Require(const std::string& fault, const char* when) {
  if (fault.empty()) return;
  std::fprintf(stderr, "index fault %s: %s\n", when, fault.c_str());
  std::abort();
}

// Faults in the text itself (broken markup, stray end tags, tags beyond the field widths) can
// swallow or take text that edits put next to them, so a re-parse may read the edited text
// differently from what the edits recorded.
bool HasSyntaxFaults(const std::u16string& report) {
  for (std::u16string_view word : {u"_syntax", u"lone_end_tag", u"tag_too_long"}) {
    if (report.find(word) != std::u16string::npos) return true;
  }
  return false;
}

constexpr const char16_t* kNames[] = {u"n", u"Address", u"x:y", u"\u00e9"};
constexpr const char16_t* kTexts[] = {nullptr, u"t", u"a<b&c]]>", u"&eacute; "};
constexpr std::uint32_t kFlags[] = {0, kAddNoLineBreak, kAddSpaceBeforeSlash, kAddStartTagOnly, kAddCData,
                                    kAddBefore, kAddInside, kAddInside | kAddReplaceContent};

void Edit(CXmlDocument& document, std::uint8_t byte) {
  const unsigned argument = byte >> 3;
  switch (byte & 7) {
    case 0: document.EnterElement(); break;
    case 1: document.LeaveElement(); break;
    case 2: document.FindElement(argument & 1 ? u"n" : nullptr); break;
    case 3:
      document.SetAttribute(static_cast<std::int32_t>(argument % static_cast<unsigned>(document.GetRecordCount())),
                            argument & 1 ? u"x" : u"attr", argument & 2 ? u"v'\"<" : u"");
      break;
    default:
      document.AddElement(kNames[argument & 3], kTexts[(argument >> 2) & 3], kFlags[byte % 8 == 7 ? (argument >> 2) & 7 : argument & 7]);
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::uint32_t modeFlags = (data[0] & 1) ? kModeIgnoreCase : 0;
  const std::size_t edits = std::min<std::size_t>(data[1], size - 2);
  CXmlDocument document;
  document.SetModeFlags(modeFlags);
  document.SetDocumentText(CodeUnits(data + 2, size - 2 - edits));
  Require(xmlcheck::CheckIndex(document, true), "after parsing");
  const bool compareWithParse = !HasSyntaxFaults(document.GetResultReport());
  for (std::size_t i = size - edits; i < size; ++i) {
    Edit(document, data[i]);
    Require(compareWithParse ? xmlcheck::CompareWithReparse(document) : xmlcheck::CheckIndex(document, false), "after an edit");
  }
  return 0;
}
