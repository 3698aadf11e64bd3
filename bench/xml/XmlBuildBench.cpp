// Building a document element by element, the way the panel file is written: add an element,
// enter it, add its children, leave it. Edits patch the index instead of re-parsing, so the time
// should grow linearly with the number of elements (10,000 against 100,000).

#include <benchmark/benchmark.h>

#include "xml/XmlDocument.h"

namespace {

// Groups of one element with four children: `elements` in all.
void BuildPanelLike(CXmlDocument& document, int elements) {
  document.SetDocumentText(u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
  for (int added = 0; added < elements; added += 5) {
    document.AddElement(u"SingleObject");
    document.EnterElement();
    document.AddElement(u"Enabled", u"TRUE");
    document.AddElement(u"Address", u"32");
    document.AddElement(u"BitIndex", u"3");
    document.AddElement(u"Note", u"a < b & c");
    document.LeaveElement();
  }
}

void BM_BuildDocument(benchmark::State& state) {
  const auto elements = static_cast<int>(state.range(0));
  for (auto _ : state) {
    CXmlDocument document;
    BuildPanelLike(document, elements);
    benchmark::DoNotOptimize(document.GetDocumentText().data());
    state.counters["elements"] = document.GetRecordCount() - 1;
  }
  state.SetItemsProcessed(state.iterations() * elements);
}

}  // namespace

BENCHMARK(BM_BuildDocument)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
