// Parse speed of CXmlDocument against pugixml on the same generated documents, in bytes of
// UTF-8 source per second. Each parser starts from text already in memory in its own form:
// ours UTF-16 (the document's text), pugixml's UTF-8. Only the parse is timed.

#include <benchmark/benchmark.h>

#include <cstring>
#include <map>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "XmlBenchDocuments.h"
#include "xml/XmlDocument.h"

namespace {

const std::string& Document(std::size_t megabytes) {
  static std::map<std::size_t, std::string> documents;
  auto [it, inserted] = documents.try_emplace(megabytes);
  if (inserted) it->second = MakeBenchDocument(megabytes << 20);
  return it->second;
}

void BM_CXmlDocumentParse(benchmark::State& state) {
  const std::string& source = Document(static_cast<std::size_t>(state.range(0)));
  CXmlDocument document(WidenAscii(source));
  for (auto _ : state) {
    benchmark::DoNotOptimize(document.Parse());
  }
  state.counters["elements"] = document.GetRecordCount() - 1;
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * source.size()));
}

// pugixml's default: load_buffer copies the buffer, then parses the copy in place.
void BM_PugixmlLoadBuffer(benchmark::State& state) {
  const std::string& source = Document(static_cast<std::size_t>(state.range(0)));
  pugi::xml_document document;
  for (auto _ : state) {
    benchmark::DoNotOptimize(document.load_buffer(source.data(), source.size()));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * source.size()));
}

// pugixml parsing in place, the copy made outside the timed region: its parse alone.
void BM_PugixmlParseInPlace(benchmark::State& state) {
  const std::string& source = Document(static_cast<std::size_t>(state.range(0)));
  std::vector<char> buffer(source.size());
  pugi::xml_document document;
  for (auto _ : state) {
    state.PauseTiming();
    std::memcpy(buffer.data(), source.data(), source.size());
    state.ResumeTiming();
    benchmark::DoNotOptimize(document.load_buffer_inplace(buffer.data(), buffer.size()));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * source.size()));
}

}  // namespace

BENCHMARK(BM_CXmlDocumentParse)->Arg(1)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PugixmlLoadBuffer)->Arg(1)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PugixmlParseInPlace)->Arg(1)->Arg(20)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
