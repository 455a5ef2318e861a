#include "workbook/reader.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "testutil.h"
#include "workbook/package.h"
#include "xlsxfixture.h"

namespace tabulon {
namespace {

namespace fs = std::filesystem;
using testutil::minimalWorkbook;
using testutil::partBytes;
using testutil::sheetXml;
using testutil::WorkbookSpec;
using testutil::XlsxFixture;
using testutil::XlsxPart;


std::string cellsOf(const SheetTable& t) {
  std::string out;
  for (size_t i = 0; i < t.data.size(); ++i) {
    out += std::string(t.data[i]);
    out += (t.shape.second > 0 && (i + 1) % static_cast<size_t>(t.shape.second) == 0) ? "|" : ",";
  }
  return out;
}

class ReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setExtractionFolder((dir_ / "xlsx_varno_tmp").string());
    setenv("TZ", "UTC", 1);
    tzset();
  }

  std::string write(const std::vector<XlsxPart>& parts) {
    fs::path path = dir_ / "books" / ("book" + std::to_string(++books_) + ".xlsx");
    XlsxFixture::write(path, parts);
    return path.string();
  }
  bool folderExists() const { return fs::exists(extractionFolder()); }

  testutil::ScopedTempDir dir_;
  int books_ = 0;
};

WorkbookSpec twoSheets() {
  WorkbookSpec spec;
  spec.sheets = {
      {"Zeta", sheetXml("A1:C2",
                        "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>1</v></c>"
                        "<c r=\"C1\" t=\"s\"><v>2</v></c></row>"
                        "<row r=\"2\"><c r=\"A2\"><v>3.5</v></c><c r=\"B2\" s=\"1\"><v>45123</v></c>"
                        "<c r=\"C2\" t=\"b\"><v>1</v></c></row>")},
      {"Alpha", sheetXml("A1", "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>only</t></is></c></row>")},
  };
  spec.sharedStrings = {"Name", "When", "Ok"};
  return spec;
}

TEST_F(ReaderTest, ReadsEverySheetAndRemovesTheFolder) {
  const std::string file = write(minimalWorkbook(twoSheets()));
  auto tables = parseExcel(file, "", true, false, false, false);
  EXPECT_FALSE(folderExists());
  ASSERT_EQ(2u, tables.size());
  const SheetTable& zeta = tables.at("Zeta");
  EXPECT_EQ(std::make_pair(2, 3), zeta.shape);
  EXPECT_EQ("Name,When,Ok|3.5,2023-07-16T00:00:00+00:00,true|", cellsOf(zeta));
  EXPECT_TRUE(zeta.header);
  EXPECT_EQ((std::vector<SheetDataKind>{SheetDataKind::Num, SheetDataKind::Date,
                                        SheetDataKind::Boolean}),
            zeta.colType);
  EXPECT_EQ("only|", cellsOf(tables.at("Alpha")));
}

TEST_F(ReaderTest, SheetNamesInWorkbookOrder) {
  WorkbookSpec spec = twoSheets();
  spec.sheets.push_back({"Mid", sheetXml("A1", "")});
  const std::string file = write(minimalWorkbook(spec));
  EXPECT_EQ((std::vector<std::string>{"Zeta", "Alpha", "Mid"}), listSheetNames(file));
  EXPECT_FALSE(folderExists());
}

TEST_F(ReaderTest, OneNamedSheetOrNotFound) {
  const std::string file = write(minimalWorkbook(twoSheets()));
  auto tables = parseExcel(file, "Alpha", false, false, true, false);
  ASSERT_EQ(1u, tables.size());
  EXPECT_EQ("only|", cellsOf(tables.at("Alpha")));  // only shared strings are quoted
  EXPECT_ERROR(parseExcel(file, "alpha", true, false, false, false), "NotFoundSheetError",
               "no such sheet name: alpha");
  EXPECT_FALSE(folderExists());
}

TEST_F(ReaderTest, OptionsReachTheirReaders) {
  const std::string file = write(minimalWorkbook(twoSheets()));
  SheetTable t = parseExcel(file, "Zeta", true, true, true, false).at("Zeta");
  EXPECT_EQ(std::make_pair(1, 3), t.shape);
  EXPECT_FALSE(t.header);
  EXPECT_EQ("3.5,2023-07-16T00:00:00+00:00,true|", cellsOf(t));
  t = parseExcel(file, "Zeta", false, false, true, false).at("Zeta");
  EXPECT_EQ("\"Name\",\"When\",\"Ok\"|3.5,2023-07-16T00:00:00+00:00,true|", cellsOf(t));
}

TEST_F(ReaderTest, EmptySheetListGivesEmptyResults) {
  const std::string file = write(minimalWorkbook(WorkbookSpec{}));
  EXPECT_TRUE(parseExcel(file, "", true, false, false, false).empty());
  EXPECT_TRUE(listSheetNames(file).empty());
  EXPECT_FALSE(folderExists());
}

// readAllSheets: the tables of parseExcel, in workbook order, from one read.
std::vector<std::string> readAll(const std::string& file, std::vector<SheetTable>* tables = nullptr) {
  std::vector<std::string> events;
  readAllSheets(
      file, true, false, false, false,
      [&](const std::vector<std::string>& names) {
        for (const std::string& n : names) events.push_back("listed " + n);
      },
      [&](int32_t index, SheetTable&& table) {
        events.push_back("sheet " + std::to_string(index));
        if (tables != nullptr) tables->push_back(std::move(table));
      });
  return events;
}

TEST_F(ReaderTest, ReadAllSheetsListsThenHandsOverEachTableInOrder) {
  const std::string file = write(minimalWorkbook(twoSheets()));
  std::vector<SheetTable> tables;
  EXPECT_EQ((std::vector<std::string>{"listed Zeta", "listed Alpha", "sheet 0", "sheet 1"}),
            readAll(file, &tables));
  EXPECT_FALSE(folderExists());
  auto expected = parseExcel(file, "", true, false, false, false);
  ASSERT_EQ(2u, tables.size());
  EXPECT_EQ(cellsOf(expected.at("Zeta")), cellsOf(tables[0]));
  EXPECT_EQ(expected.at("Zeta").colType, tables[0].colType);
  EXPECT_EQ(cellsOf(expected.at("Alpha")), cellsOf(tables[1]));
}

TEST_F(ReaderTest, ReadAllSheetsReportsErrorsInTheOrderOfASequentialRead) {
  const std::string folder = extractionFolder();
  // The shared strings (read beside the first worksheet) fail before the worksheet does.
  WorkbookSpec spec;
  spec.sheets = {{"S", sheetXml("A1", "<row r=\"1\"><c r=\"A1\" t=\"x\"><v>1</v></c></row>")}};
  spec.sharedStrings = {"a"};
  std::vector<XlsxPart> parts = minimalWorkbook(spec);
  parts.erase(std::remove_if(parts.begin(), parts.end(),
                             [](const XlsxPart& p) { return p.name == "xl/sharedStrings.xml"; }),
              parts.end());
  std::string file = write(parts);
  EXPECT_ERROR(readAll(file), "IOError", "Unable to read file: " + folder + "/xl/sharedStrings.xml");
  EXPECT_FALSE(folderExists());
  // Without that, the worksheet's own error; a sheet read before it was handed over.
  spec.sheets.insert(spec.sheets.begin(), twoSheets().sheets[1]);
  file = write(minimalWorkbook(spec));
  std::vector<std::string> events;
  EXPECT_ERROR(readAllSheets(
                   file, true, false, false, false, [](const std::vector<std::string>&) {},
                   [&](int32_t index, SheetTable&&) { events.push_back(std::to_string(index)); }),
               "UnKnownSheetDataKindError", "unsupport sheet data kind");
  EXPECT_EQ(std::vector<std::string>{"0"}, events);
  EXPECT_FALSE(folderExists());
  // Two failing sheets (parsed side by side): the earlier one's error, be it
  // from its worksheet part or from building its table.
  const auto badKind = spec.sheets.back();
  const auto badIndex =
      std::make_pair(std::string("T"), sheetXml("A1", "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>7</v></c></row>"));
  spec.sheets = {badKind, badIndex};
  EXPECT_ERROR(readAll(write(minimalWorkbook(spec))), "UnKnownSheetDataKindError", "unsupport sheet data kind");
  spec.sheets = {badIndex, badKind};
  EXPECT_ERROR(readAll(write(minimalWorkbook(spec))), "IndexError", "index out of bounds: 7 notin 0 .. 0");
  EXPECT_FALSE(folderExists());
  // No sheets: neither styles nor shared strings are read (both are missing here).
  spec.sheets.clear();
  parts = minimalWorkbook(spec);
  parts.erase(std::remove_if(parts.begin(), parts.end(),
                             [](const XlsxPart& p) {
                               return p.name == "xl/sharedStrings.xml" || p.name == "xl/styles.xml";
                             }),
              parts.end());
  file = write(parts);
  EXPECT_TRUE(readAll(file).empty());
  EXPECT_FALSE(folderExists());
}

TEST_F(ReaderTest, Date1904ReachesTheWorksheetReader) {
  WorkbookSpec spec;
  spec.date1904 = true;
  spec.sheets = {{"S", sheetXml("A1:A1", "<row r=\"1\"><c r=\"A1\" s=\"1\"><v>45123</v></c></row>")}};
  auto tables = parseExcel(write(minimalWorkbook(spec)), "", false, false, false, false);
  EXPECT_EQ("2027-07-17T00:00:00+00:00|", cellsOf(tables.at("S")));
}

TEST_F(ReaderTest, DatesTakeTheLocalOffsetOfTheirWallTime) {
  setenv("TZ", "Europe/Berlin", 1);
  tzset();
  WorkbookSpec spec;
  spec.sheets = {{"S", sheetXml("A1:B1", "<row r=\"1\"><c r=\"A1\" s=\"1\"><v>45000</v></c>"
                                         "<c r=\"B1\" s=\"1\"><v>45123.75</v></c></row>")}};
  auto tables = parseExcel(write(minimalWorkbook(spec)), "", false, false, false, false);
  EXPECT_EQ("2023-03-15T00:00:00+01:00,2023-07-16T18:00:00+02:00|", cellsOf(tables.at("S")));
}

// Parts as a spreadsheet program leaves them after the first of three sheets
// was deleted and the last two swapped: worksheet parts renumbered in tab
// order, sheetIds kept. Looking parts up by sheetId would swap contents or
// fail with "key not found: sheet5".
TEST_F(ReaderTest, WorksheetPartsAreFoundThroughRelationships) {
  WorkbookSpec spec;
  spec.sheets = {{"Third", sheetXml("A1", "<row r=\"1\"><c r=\"A1\"><v>3</v></c></row>")},
                 {"Second", sheetXml("A1", "<row r=\"1\"><c r=\"A1\"><v>2</v></c></row>")}};
  std::vector<XlsxPart> parts = minimalWorkbook(spec);
  std::string& workbook = partBytes(parts, "xl/workbook.xml");
  workbook.replace(workbook.find("sheetId=\"1\""), 11, "sheetId=\"5\"");
  workbook.replace(workbook.find("sheetId=\"2\""), 11, "sheetId=\"1\"");
  const std::string file = write(parts);
  auto tables = parseExcel(file, "", true, false, false, false);
  EXPECT_EQ("3|", cellsOf(tables.at("Third")));
  EXPECT_EQ("2|", cellsOf(tables.at("Second")));
  EXPECT_EQ((std::vector<std::string>{"Third", "Second"}), listSheetNames(file));
}

TEST_F(ReaderTest, FallsBackToSheetIdWhenTheRelationshipNamesNoPart) {
  WorkbookSpec spec;
  spec.sheets = {{"One", sheetXml("A1", "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>")},
                 {"Two", sheetXml("A1", "<row r=\"1\"><c r=\"A1\"><v>2</v></c></row>")}};
  std::vector<XlsxPart> parts = minimalWorkbook(spec);
  std::string& rels = partBytes(parts, "xl/_rels/workbook.xml.rels");
  rels.replace(rels.find("worksheets/sheet1.xml"), 21, "worksheets/gone.xml");
  auto tables = parseExcel(write(parts), "", true, false, false, false);
  EXPECT_EQ("1|", cellsOf(tables.at("One")));
  EXPECT_EQ("2|", cellsOf(tables.at("Two")));

  // Without any relationships part, and without a part for sheetId 4.
  parts.erase(std::remove_if(parts.begin(), parts.end(),
                             [](const XlsxPart& p) { return p.name == "xl/_rels/workbook.xml.rels"; }),
              parts.end());
  std::string& workbook = partBytes(parts, "xl/workbook.xml");
  workbook.replace(workbook.find("sheetId=\"2\""), 11, "sheetId=\"4\"");
  const std::string file = write(parts);
  EXPECT_EQ("1|", cellsOf(parseExcel(file, "One", true, false, false, false).at("One")));
  EXPECT_ERROR(parseExcel(file, "", true, false, false, false), "KeyError", "key not found: sheet4");
  EXPECT_FALSE(folderExists());
}

TEST_F(ReaderTest, WorkbookWithoutStylesReadsCellsAsGeneral) {
  WorkbookSpec spec;
  spec.styles = "";
  spec.sheets = {{"S", sheetXml("A1:B1", "<row r=\"1\"><c r=\"A1\" s=\"1\"><v>45123</v></c>"
                                         "<c r=\"B1\"><v>0.5</v></c></row>")}};
  auto tables = parseExcel(write(minimalWorkbook(spec)), "", false, false, false, false);
  EXPECT_EQ("45123,0.5|", cellsOf(tables.at("S")));
  EXPECT_FALSE(folderExists());
}

TEST_F(ReaderTest, UnreadablePartsRaiseIOErrorAndRemoveTheFolder) {
  const std::string folder = extractionFolder();
  std::vector<XlsxPart> parts = minimalWorkbook(twoSheets());
  parts.erase(parts.begin());  // no [Content_Types].xml
  std::string file = write(parts);
  EXPECT_ERROR(listSheetNames(file), "IOError", "Unable to read file: " + folder + "/[Content_Types].xml");
  EXPECT_FALSE(folderExists());

  // Listed in the content types, but absent from the archive.
  parts = minimalWorkbook(twoSheets());
  parts.erase(std::remove_if(parts.begin(), parts.end(),
                             [](const XlsxPart& p) {
                               return p.name == "xl/sharedStrings.xml" || p.name == "xl/workbook.xml";
                             }),
              parts.end());
  file = write(parts);
  EXPECT_ERROR(parseExcel(file, "", true, false, false, false), "IOError",
               "Unable to read file: " + folder + "/xl/workbook.xml");
  EXPECT_FALSE(folderExists());
  partBytes(parts, "xl/workbook.xml") = minimalWorkbook(twoSheets())[2].bytes;
  file = write(parts);
  EXPECT_ERROR(parseExcel(file, "", true, false, false, false), "IOError",
               "Unable to read file: " + folder + "/xl/sharedStrings.xml");
  EXPECT_FALSE(folderExists());
}

TEST_F(ReaderTest, PartNamesOutsideTheFolderAreNeverOpened) {
  std::vector<XlsxPart> parts = minimalWorkbook(twoSheets());
  std::string& types = partBytes(parts, "[Content_Types].xml");
  types.replace(types.find("/xl/workbook.xml"), 16, "/../../workbook.xml");
  std::string file = write(parts);
  EXPECT_ERROR(listSheetNames(file), "InvalidXlsxFileError",
               "[ZIP] unsafe part name in " + file + ": /../../workbook.xml");
  EXPECT_FALSE(folderExists());

  parts = minimalWorkbook(twoSheets());
  std::string& rels = partBytes(parts, "xl/_rels/workbook.xml.rels");
  rels.replace(rels.find("worksheets/sheet1.xml"), 21, "../../../etc/passwd");
  file = write(parts);
  EXPECT_ERROR(parseExcel(file, "", true, false, false, false), "InvalidXlsxFileError",
               "[ZIP] unsafe part name in " + file + ": /xl/../../../etc/passwd");
  EXPECT_FALSE(folderExists());
}

TEST_F(ReaderTest, ReaderErrorsPassThroughAndRemoveTheFolder) {
  WorkbookSpec spec;
  spec.sheets = {{"S", sheetXml("A1", "<row r=\"1\"><c r=\"A1\" t=\"x\"><v>1</v></c></row>")}};
  std::string file = write(minimalWorkbook(spec));
  EXPECT_ERROR(parseExcel(file, "", true, false, false, false), "UnKnownSheetDataKindError",
               "unsupport sheet data kind");
  EXPECT_FALSE(folderExists());

  spec.sheets = {{"S", sheetXml("A1", "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>7</v></c></row>")}};
  spec.sharedStrings = {"only one"};
  file = write(minimalWorkbook(spec));
  EXPECT_ERROR(parseExcel(file, "", true, false, false, false), "IndexError",
               "index out of bounds: 7 notin 0 .. 0");
  EXPECT_FALSE(folderExists());

  std::vector<XlsxPart> parts = minimalWorkbook(spec);
  std::string& workbook = partBytes(parts, "xl/workbook.xml");
  workbook.replace(workbook.find("<workbookPr/>"), 13, "<workbookPr date1904=\"maybe\"/>");
  file = write(parts);
  EXPECT_ERROR(listSheetNames(file), "ValueError", "cannot interpret as a bool: maybe");
  EXPECT_FALSE(folderExists());
}

TEST_F(ReaderTest, ExtractionErrorsReachTheCaller) {
  const std::string missing = (dir_ / "missing.xlsx").string();
  EXPECT_ERROR(parseExcel(missing, "", true, false, false, false), "NotExistsXlsxFileError",
               "No such xlsx file: " + missing);
  const std::string text = (dir_ / "text.xlsx").string();
  testutil::writeFile(text, "PK but not really");
  EXPECT_ERROR(listSheetNames(text), "InvalidXlsxFileError", "[ZIP] Can't open xlsx file: " + text);
  std::vector<XlsxPart> parts = minimalWorkbook(twoSheets());
  parts.push_back({"../escape.xml", "x"});
  const std::string file = write(parts);
  EXPECT_ERROR(parseExcel(file, "", true, false, false, false), "InvalidXlsxFileError",
               "[ZIP] unsafe entry name in " + file + ": ../escape.xml");
  EXPECT_FALSE(folderExists());
  EXPECT_FALSE(fs::exists(dir_ / "escape.xml"));
}

// Parts of more than a few MB in all are parsed on a second thread while the
// package is extracted, small ones from memory after it: both must give the
// tables and the errors of reading the extracted files.
TEST_F(ReaderTest, PartsReadWhileExtractingGiveTheTablesAndErrorsOfTheFiles) {
  for (const size_t padding : {size_t{0}, size_t{5} << 20}) {
    SCOPED_TRACE(padding);
    auto padded = [padding](std::string xml) {
      xml.insert(xml.find("<sheetData>") + 11, std::string(padding, ' '));
      return xml;
    };
    WorkbookSpec spec = twoSheets();
    for (auto& sheet : spec.sheets) sheet.second = padded(sheet.second);
    std::string file = write(minimalWorkbook(spec));
    std::vector<SheetTable> tables;
    readAll(file, &tables);
    auto expected = parseExcel(file, "", true, false, false, false);
    ASSERT_EQ(2u, tables.size());
    EXPECT_EQ(cellsOf(expected.at("Zeta")), cellsOf(tables[0]));
    EXPECT_EQ(cellsOf(expected.at("Alpha")), cellsOf(tables[1]));

    // The earlier sheet's error wins, and an extraction error after both wins over it.
    const auto badKind = std::make_pair(
        std::string("K"), padded(sheetXml("A1", "<row r=\"1\"><c r=\"A1\" t=\"x\"><v>1</v></c></row>")));
    const auto badIndex = std::make_pair(
        std::string("T"), padded(sheetXml("A1", "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>7</v></c></row>")));
    spec.sheets = {badIndex, badKind};
    EXPECT_ERROR(readAll(write(minimalWorkbook(spec))), "IndexError",
                 "index out of bounds: 7 notin 0 .. 2");
    std::vector<XlsxPart> parts = minimalWorkbook(spec);
    const std::string payload(5000, 'q');
    parts.push_back({"xl/zz.bin", payload});
    file = (dir_ / "damaged.xlsx").string();
    XlsxFixture::write(file, parts, /*stored=*/true);
    std::string zip = testutil::readFile(file);
    zip[zip.rfind(payload) + 100] = 'Z';  // the stored bytes no longer match the CRC
    testutil::writeFile(file, zip);
    EXPECT_ERROR(readAll(file), "InvalidXlsxFileError",
                 "[ZIP] unreadable entry in " + file + ": xl/zz.bin");
    EXPECT_FALSE(folderExists());
  }
}

// Workbooks written by independent writers (tests/fixtures/make_fixtures.py).
class WriterFixtureTest : public ReaderTest {
 protected:
  static std::string fixture(const std::string& name) {
    return (testutil::sourceDir() / "tests" / "fixtures" / name).string();
  }
};

TEST_F(WriterFixtureTest, OpenpyxlWorkbook) {
  const std::string file = fixture("openpyxl_dates.xlsx");
  EXPECT_EQ((std::vector<std::string>{"People", "Empty", "Numbers"}), listSheetNames(file));
  auto tables = parseExcel(file, "", true, false, false, false);
  EXPECT_EQ("Name,Born,Score|Ann,1990-05-17T00:00:00+00:00,12.5|"
            "Bob,2001-12-31T18:30:00+00:00,7|",
            cellsOf(tables.at("People")));
  EXPECT_EQ("|", cellsOf(tables.at("Empty")));  // declared A1:A1, no cells
  EXPECT_EQ("1,2|3.25,x|", cellsOf(tables.at("Numbers")));
  EXPECT_FALSE(folderExists());
}

TEST_F(WriterFixtureTest, XlsxwriterWorkbookWithSharedStrings) {
  const std::string file = fixture("xlsxwriter_strings.xlsx");
  EXPECT_EQ((std::vector<std::string>{"Summary", "Data"}), listSheetNames(file));
  auto tables = parseExcel(file, "", true, false, false, false);
  EXPECT_EQ("Item,Count,Day|apple,3,2024-02-29T00:00:00+00:00|pear & plum,10,|",
            cellsOf(tables.at("Data")));
  EXPECT_EQ("Total,13|", cellsOf(tables.at("Summary")));
}

// A sheet was deleted and the others reordered after saving: parts and
// sheetIds no longer match by number.
TEST_F(WriterFixtureTest, ReorderedWorkbookAfterDeletingASheet) {
  const std::string file = fixture("openpyxl_reordered.xlsx");
  EXPECT_EQ((std::vector<std::string>{"Last", "First"}), listSheetNames(file));
  auto tables = parseExcel(file, "", true, false, false, false);
  EXPECT_EQ("last sheet|", cellsOf(tables.at("Last")));
  EXPECT_EQ("first sheet|", cellsOf(tables.at("First")));
}

}  // namespace
}  // namespace tabulon
