#include "wire/xml_tree.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

namespace {

using namespace tc;

// A login snapshot of the XML form: instrument rows with some thirty columns each, about 10 MB.
std::string snapshotDocument(std::size_t targetBytes) {
    std::string doc = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<NewDataSet>\n";
    for (int row = 0; doc.size() < targetBytes; ++row) {
        doc += "  <Table6>\n";
        doc += "    <Code>SYM" + std::to_string(row) + "</Code>\n";
        doc += "    <Name>Instrument &amp; " + std::to_string(row) + "</Name>\n";
        for (int c = 0; c < 28; ++c)
            doc += "    <Col" + std::to_string(c) + ">" + std::to_string(row * 31 + c) + ".125</Col" +
                   std::to_string(c) + ">\n";
        doc += "    <UpdateTime>2024-03-01T10:00:00+00:00</UpdateTime>\n  </Table6>\n";
    }
    doc += "</NewDataSet>\n";
    return doc;
}

void BM_ParseSnapshot(benchmark::State& state) {
    const std::string doc = snapshotDocument(std::size_t{10} << 20);
    std::size_t elements = 0;
    for (auto _ : state) {
        auto tree = XMLTree::treeWithXMLString(doc);
        elements = tree->elementCount();
        benchmark::DoNotOptimize(tree->rootXMLElement());
    }
    state.counters["elements"] = static_cast<double>(elements);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * doc.size()));
}
BENCHMARK(BM_ParseSnapshot)->Unit(benchmark::kMillisecond);

// Parse and read every row's columns as the snapshot reader does.
void BM_ParseAndWalkSnapshot(benchmark::State& state) {
    const std::string doc = snapshotDocument(std::size_t{10} << 20);
    for (auto _ : state) {
        auto tree = XMLTree::treeWithXMLString(doc);
        std::size_t bytes = 0;
        for (const XMLTreeElement* row = tree->rootXMLElement()->firstChild; row; row = row->nextSibling)
            for (const XMLTreeElement* col = row->firstChild; col; col = col->nextSibling)
                bytes += XMLTree::elementName(col)->size() + XMLTree::textForElement(col)->size();
        benchmark::DoNotOptimize(bytes);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * doc.size()));
}
BENCHMARK(BM_ParseAndWalkSnapshot)->Unit(benchmark::kMillisecond);

} // namespace
