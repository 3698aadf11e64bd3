// Loading a 20 MB UTF-8 XML file from disk: CXmlDocument::LoadFile (read, convert to UTF-16,
// parse) against pugixml's load_file (read, parse in place in UTF-8), in bytes of file per
// second. Both read the same file from the page cache and build a fresh document each time.

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <pugixml.hpp>
#include <string>

#include "xml/XmlDocument.h"

namespace {

constexpr std::size_t kFileBytes = 20u << 20;

// Panel-like records: attributes, short texts, some non-ASCII letters, comments now and then.
std::string MakeFileContent(std::size_t bytes) {
  std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Panel name=\"Wa\xC3\xA4gung\">\r\n";
  for (std::size_t n = 0; text.size() < bytes; ++n) {
    text += "  <Object type=\"SingleDigital\" name=\"Segment";
    text += std::to_string(n);
    text += "\" address=\"0x";
    text += std::to_string(0x100 + n % 0x700);
    text += "\" bit=\"";
    text += std::to_string(n % 8);
    text += "\" enabled=\"1\">\r\n    <Label>Gr\xC3\xB6\xC3\x9F" "e in g, kg &amp; OZ \xE2\x80\x94 Auto</Label>\r\n";
    if (n % 16 == 0)
      text += "    <!-- row " + std::to_string(n / 16) + " -->\r\n";
    text += "    <Position x=\"" + std::to_string(n % 640) + "\" y=\"" + std::to_string(n % 480) + "\"/>\r\n";
    text += "  </Object>\r\n";
  }
  text += "</Panel>\r\n";
  return text;
}

// The file lives in a folder of its own for the whole run and is removed at exit.
class CBenchFile {
public:
  CBenchFile() {
    std::string pattern = (std::filesystem::temp_directory_path() / "xmlload-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
      std::abort();
    m_folder = pattern;
    m_path = (m_folder / "load.xml").string();
    const std::string content = MakeFileContent(kFileBytes);
    std::ofstream(m_path, std::ios::binary).write(content.data(), static_cast<std::streamsize>(content.size()));
    m_nSize = content.size();
    m_widePath.assign(m_path.begin(), m_path.end());
  }
  ~CBenchFile() {
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
  }
  const std::string& Path() const { return m_path; }
  const std::u16string& WidePath() const { return m_widePath; }
  std::size_t Size() const { return m_nSize; }

private:
  std::filesystem::path m_folder;
  std::string m_path;
  std::u16string m_widePath;
  std::size_t m_nSize = 0;
};

const CBenchFile& BenchFile() {
  static const CBenchFile file;
  return file;
}

void BM_CXmlDocumentLoadFile(benchmark::State& state) {
  const CBenchFile& file = BenchFile();
  for (auto _ : state) {
    CXmlDocument document;
    if (!document.LoadFile(file.WidePath().c_str()))
      state.SkipWithError("LoadFile failed");
    benchmark::DoNotOptimize(document.GetRecordCount());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.Size()));
}

void BM_PugixmlLoadFile(benchmark::State& state) {
  const CBenchFile& file = BenchFile();
  for (auto _ : state) {
    pugi::xml_document document;
    const pugi::xml_parse_result result = document.load_file(file.Path().c_str());
    if (!result)
      state.SkipWithError("load_file failed");
    benchmark::DoNotOptimize(document.first_child());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.Size()));
}

// The file half of LoadFile alone (read, mark test, conversion to UTF-16), to show how the
// time splits between reading and parsing.
void BM_ReadTextFile(benchmark::State& state) {
  const CBenchFile& file = BenchFile();
  for (auto _ : state) {
    std::u16string text;
    if (!CXmlDocument::ReadTextFile(text, nullptr, nullptr, file.WidePath().c_str()))
      state.SkipWithError("ReadTextFile failed");
    benchmark::DoNotOptimize(text.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.Size()));
}

BENCHMARK(BM_CXmlDocumentLoadFile)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_PugixmlLoadFile)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ReadTextFile)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
