// Throughput of the XML reader over a worksheet-like document held in memory.
#include <benchmark/benchmark.h>

#include <string>

#include "textformats/xmlreader.h"

namespace {

// About 50 MB of worksheet rows: <row> elements holding cells with r, s and
// t attributes and a <v> value, one cell per line as many writers emit them.
const std::string& worksheet() {
  static const std::string doc = [] {
    std::string d = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
                    "<worksheet xmlns=\"http://example.org/spreadsheetml/main\"><sheetData>\n";
    const char* const kTypes[] = {"n", "s", "str", "b"};
    for (int row = 1; d.size() < 50u * 1000 * 1000; ++row) {
      d += "<row r=\"" + std::to_string(row) + "\" spans=\"1:12\">\n";
      for (int col = 0; col < 12; ++col) {
        std::string ref = std::string(1, static_cast<char>('A' + col)) + std::to_string(row);
        d += "<c r=\"" + ref + "\" s=\"" + std::to_string(col % 7) + "\" t=\"" + kTypes[col % 4] + "\"><v>" +
             std::to_string(row * 37 + col * 1013) + "." + std::to_string(col) + "</v></c>\n";
      }
      d += "</row>\n";
    }
    d += "</sheetData></worksheet>\n";
    return d;
  }();
  return doc;
}

void BM_XmlReaderWorksheet(benchmark::State& state) {
  const std::string& doc = worksheet();
  int64_t events = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto stream = tabulon::openStringStream(doc);
    state.ResumeTiming();
    tabulon::XmlReader r;
    tabulon::openXmlReader(r, std::move(stream), "sheet1.xml", tabulon::reportWhitespace);
    size_t bytes = 0;
    do {
      tabulon::nextXmlEvent(r);
      bytes += r.a.size() + r.b.size();
      ++events;
    } while (r.kind != tabulon::xmlEof);
    benchmark::DoNotOptimize(bytes);
    tabulon::closeXmlReader(r);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(doc.size()));
  state.counters["events/s"] = benchmark::Counter(static_cast<double>(events), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_XmlReaderWorksheet)->Unit(benchmark::kMillisecond)->MinTime(3.0);

}  // namespace

BENCHMARK_MAIN();
