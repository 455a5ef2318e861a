// Times the workbook reader on a generated one-sheet workbook.
//
//   reader_bench make BOOK [ROWS]   writes BOOK: ROWS rows (default 100000) x 10
//                                   columns of numbers, shared strings and dates
//   reader_bench read BOOK          one parseExcel, as the converter calls it
//   reader_bench phases BOOK        the same read split into its stages
//
// Peak memory: /usr/bin/time -v reader_bench read BOOK ("Maximum resident set
// size"). The extraction folder is taken from TEMP/TMPDIR as in the product.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "textformats/stream.h"
#include "textformats/xmlreader.h"
#include "workbook/package.h"
#include "workbook/reader.h"
#include "workbook/sharedstrings.h"
#include "workbook/styles.h"
#include "workbook/workbookpart.h"
#include "workbook/worksheet.h"
#include "tests/xlsxfixture.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

constexpr int kCols = 10;
constexpr int kUniqueStrings = 5000;

std::string columnName(int col) { return std::string(1, static_cast<char>('A' + col)); }

// Columns: A id, B price, C name (shared), D day (date), E quantity,
// F city (shared), G stamp (date-time), H ratio, I note (shared), J due (date).
void makeBook(const std::string& path, int rows) {
  std::vector<std::string> strings;
  for (int i = 0; i < kUniqueStrings; ++i) strings.push_back("text item number " + std::to_string(i));
  std::string xml;
  xml.reserve(static_cast<size_t>(rows) * 420);
  for (int r = 1; r <= rows; ++r) {
    const std::string n = std::to_string(r);
    auto cell = [&](int col, const char* attrs, const std::string& v) {
      xml += "<c r=\"" + columnName(col) + n + "\"" + attrs + "><v>" + v + "</v></c>";
    };
    xml += "<row r=\"" + n + "\" spans=\"1:10\">";
    cell(0, "", n);
    cell(1, "", std::to_string(r % 997) + "." + std::to_string(r % 100));
    cell(2, " t=\"s\"", std::to_string(r % kUniqueStrings));
    cell(3, " s=\"1\"", std::to_string(40000 + r % 9000));
    cell(4, "", std::to_string((r * 7) % 1000));
    cell(5, " t=\"s\"", std::to_string((r * 13) % kUniqueStrings));
    cell(6, " s=\"1\"", std::to_string(40000 + r % 9000) + ".75");
    cell(7, "", "0." + std::to_string(r % 100000));
    cell(8, " t=\"s\"", std::to_string((r * 31) % kUniqueStrings));
    cell(9, " s=\"1\"", std::to_string(43000 + r % 2000));
    xml += "</row>";
  }
  testutil::WorkbookSpec spec;
  spec.sheets = {{"Data", testutil::sheetXml("A1:J" + std::to_string(rows), xml)}};
  spec.sharedStrings = strings;
  testutil::XlsxFixture::write(path, testutil::minimalWorkbook(spec));
}

int read(const std::string& path) {
  Clock::time_point start = Clock::now();
  auto tables = tabulon::parseExcel(path, "", true, false, false, false);
  const double wall = secondsSince(start);
  size_t cells = 0;
  size_t textBytes = 0;
  for (const auto& [name, table] : tables) {
    cells += table.data.size();
    textBytes += table.data.textBytes();
  }
  std::printf("parseExcel: %.3f s, %zu cells, %zu text bytes\n", wall, cells, textBytes);
  return 0;
}

// Passes over every XML event of the part, doing nothing with them: the
// tokenizer's share of reading the part.
size_t countEvents(const std::string& path) {
  tabulon::XmlReader r;
  tabulon::openXmlReader(r, tabulon::openFileStream(path), path, tabulon::reportWhitespace);
  size_t events = 0;
  for (tabulon::nextXmlEvent(r); r.kind != tabulon::xmlEof; tabulon::nextXmlEvent(r)) ++events;
  tabulon::closeXmlReader(r);
  return events;
}

int phases(const std::string& path) {
  using namespace tabulon;
  Clock::time_point start = Clock::now();
  PackageSession package(path);
  const double extraction = secondsSince(start);

  start = Clock::now();
  PartDirectory directory = parseContentTypes(package.pathOf("[Content_Types].xml"));
  WorkbookInfo info = parseWorkbook(package.pathOf(directoryEntry(directory, "workbook")));
  std::vector<std::string> styles = parseStyles(package.pathOf(directoryEntry(directory, "styles")));
  const double smallParts = secondsSince(start);

  start = Clock::now();
  std::vector<std::string> shared =
      parseSharedStrings(package.pathOf(directoryEntry(directory, "sharedStrings")), false);
  const double sharedStrings = secondsSince(start);

  const std::string sheetPath = package.pathOf(directoryEntry(directory, "sheet1"));
  start = Clock::now();
  const size_t events = countEvents(sheetPath);
  const double tokenizing = secondsSince(start);

  start = Clock::now();
  SheetCells cells = parseSheet(sheetPath, styles, info.date1904, false);
  const double sheet = secondsSince(start);

  start = Clock::now();
  SheetTable table = initSheetTable(cells.rows, cells.cols, cells.cells, shared, true, false);
  const double building = secondsSince(start);

  start = Clock::now();
  package.finish();
  const double removal = secondsSince(start);

  std::printf("extraction (unzip to disk)      %.3f s\n", extraction);
  std::printf("content types, workbook, styles %.3f s\n", smallParts);
  std::printf("shared strings (%zu)          %.3f s\n", shared.size(), sharedStrings);
  std::printf("worksheet XML events only       %.3f s (%zu events)\n", tokenizing, events);
  std::printf("worksheet parse (events+cells)  %.3f s (%d cells)\n", sheet, cells.cells.size());
  std::printf("table building                  %.3f s (%zu cells)\n", building, table.data.size());
  std::printf("folder removal                  %.3f s\n", removal);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: reader_bench make|read|phases BOOK [ROWS]\n");
    return 2;
  }
  const std::string mode = argv[1];
  const std::string path = argv[2];
  try {
    if (mode == "make") {
      makeBook(path, argc > 3 ? std::atoi(argv[3]) : 100000);
      return 0;
    }
    if (mode == "read") return read(path);
    if (mode == "phases") return phases(path);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "reader_bench: %s\n", e.what());
    return 1;
  }
  std::fprintf(stderr, "reader_bench: unknown mode %s\n", mode.c_str());
  return 2;
}
