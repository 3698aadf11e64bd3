// Parses arbitrary bytes (read as UTF-16 code units, little-endian) and checks the element index
// after the parse: every record begins at a '<' and ends on a '>', and the parent, child and
// sibling links agree with each other and with the nesting of the text.

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The first byte chooses the mode flags that matter to parsing.
  const std::uint32_t modeFlags = (data[0] & 1) ? kModeIgnoreCase : 0;
  CXmlDocument document;
  document.SetModeFlags(modeFlags);
  document.SetDocumentText(CodeUnits(data + 1, size - 1));
  Require(xmlcheck::CheckIndex(document, true), "after parsing");
  return 0;
}
