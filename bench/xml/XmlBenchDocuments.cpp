#include "XmlBenchDocuments.h"

namespace {

void AppendGroup(std::string& out, std::size_t n) {
  const std::string id = std::to_string(n);
  out += "  <!-- group " + id + ": a few items, one nested branch -->\n";
  out += "  <group id=\"" + id + "\" name=\"group number " + id + "\" enabled=\"true\">\n";
  for (int i = 0; i < 4; ++i) {
    const std::string key = std::to_string(i);
    out += "    <item key=\"k" + key + "\" value='v" + id + "'>Item text " + key + " &amp; a little more text</item>\n";
  }
  out += "    <empty flag=\"1\"/>\n";
  out += "    <nested level=\"1\"><nested level=\"2\"><leaf a=\"1\" b=\"2\">leaf text</leaf></nested></nested>\n";
  out += "  </group>\n";
}

}  // namespace

std::string MakeBenchDocument(std::size_t bytes) {
  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root>\n";
  out.reserve(bytes + 1024);
  for (std::size_t n = 0; out.size() < bytes; ++n) AppendGroup(out, n);
  out += "</root>\n";
  return out;
}

std::u16string WidenAscii(const std::string& text) { return std::u16string(text.begin(), text.end()); }
