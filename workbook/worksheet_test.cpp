#include "workbook/worksheet.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "testutil.h"

namespace tabulon {
namespace {

using Kind = SheetDataKind;
using Texts = std::vector<std::string>;

const std::string kDecl = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
const std::string kNs = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";

// Style 0 General, 1 mm-dd-yy, 2 h:mm, 3 0%, 4 custom 0.000.
const std::vector<std::string> kStyles = {"general", "mm-dd-yy", "h:mm", "0%", "0.000"};
const std::vector<std::string> kShared = {"Name", "Age"};

// Sets the local time zone for the life of the object.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* tz) {
    if (const char* old = std::getenv("TZ")) saved_ = old, hadTz_ = true;
    setenv("TZ", tz, 1);
    tzset();
  }
  ~ScopedTimeZone() {
    if (hadTz_) setenv("TZ", saved_.c_str(), 1);
    else unsetenv("TZ");
    tzset();
  }

 private:
  std::string saved_;
  bool hadTz_ = false;
};

std::string worksheet(const std::string& dimension, const std::string& rows) {
  std::string xml = kDecl + "<worksheet xmlns=\"" + kNs + "\">\n";
  if (!dimension.empty()) xml += "<dimension ref=\"" + dimension + "\"/>";
  return xml + "<sheetData>" + rows + "</sheetData></worksheet>";
}

struct Sheet {
  SheetCells cells;
  SheetTable table;
};

Sheet read(const std::string& xml, const std::vector<std::string>& styles = kStyles,
           bool date1904 = false, bool trimTrailing = false) {
  testutil::ScopedTempDir dir;
  testutil::writeFile(dir / "sheet1.xml", xml);
  Sheet s;
  s.cells = parseSheet((dir / "sheet1.xml").string(), styles, date1904, trimTrailing);
  s.table = initSheetTable(s.cells.rows, s.cells.cols, s.cells.cells, kShared, false, false);
  return s;
}

Texts texts(const SheetTable& t) {
  Texts out;
  for (size_t i = 0; i < t.data.size(); ++i) out.emplace_back(t.data[i]);
  return out;
}

// The text of the single cell A1 of a sheet whose only row holds cellXml.
std::string cellText(const std::string& cellXml, bool date1904 = false,
                     const std::vector<std::string>& styles = kStyles) {
  Sheet s = read(worksheet("A1", "<row r=\"1\">" + cellXml + "</row>"), styles, date1904);
  EXPECT_EQ(1u, s.table.data.size()) << cellXml;
  return s.table.data.empty() ? "<none>" : std::string(s.table.data[0]);
}

Texts concat(Texts a, const Texts& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Kind cellKind(const std::string& cellXml, const std::vector<std::string>& styles = kStyles) {
  Sheet s = read(worksheet("A1", "<row r=\"1\">" + cellXml + "</row>"), styles);
  return s.cells.cells.empty() ? Kind::Initial : s.cells.cells[0].kind;
}

TEST(CellRefs, Columns) {
  struct Case {
    const char* letters;
    int32_t col;
  } cases[] = {{"", 0},     {"A", 1},      {"Z", 26},   {"AA", 27},     {"AB", 28},
               {"AZ", 52},  {"BA", 53},    {"ZZ", 702}, {"AAA", 703},   {"XFD", 16384},
               {"FXSHRXW", 2147483647}};
  for (const Case& c : cases) {
    EXPECT_EQ(c.col, columnNumber(c.letters)) << c.letters;
    EXPECT_EQ(c.letters, columnLetters(c.col)) << c.col;
  }
  EXPECT_ERROR(columnNumber("FXSHRXX"), "OverflowError", "over- or underflow");
}

TEST(CellRefs, References) {
  CellRef b3 = parseCellRef("B3");
  EXPECT_EQ(3, b3.row);
  EXPECT_EQ(2, b3.col);
  CellRef last = parseCellRef("XFD1048576");
  EXPECT_EQ(1048576, last.row);
  EXPECT_EQ(16384, last.col);
  for (const char* bad : {"", "A", "1", "a1", "A0", "A1B", "$A$1", "A-1", "A99999999999"}) {
    EXPECT_ERROR(parseCellRef(bad), "ValueError", std::string("invalid cell reference: ") + bad);
  }
}

TEST(Worksheet, DataKinds) {
  struct Case {
    const char* t;
    Kind kind;
  } cases[] = {{"b", Kind::Boolean},        {"d", Kind::Date}, {"e", Kind::Error},
               {"inlineStr", Kind::InlineStr}, {"n", Kind::Num},  {"s", Kind::SharedString},
               {"str", Kind::Formula}};
  for (const Case& c : cases) EXPECT_EQ(c.kind, parseDataKind(c.t)) << c.t;
  for (const char* bad : {"x", "", "S", "inlinestr"}) {
    EXPECT_ERROR(parseDataKind(bad), "UnKnownSheetDataKindError", "unsupport sheet data kind");
  }
  EXPECT_ERROR(read(worksheet("A1", "<row r=\"1\"><c r=\"A1\" t=\"x\"><v>1</v></c></row>")),
               "UnKnownSheetDataKindError", "unsupport sheet data kind");
}

TEST(Worksheet, Extent) {
  struct Case {
    const char* what;
    std::string dimension, rows;
    int32_t nRows, nCols;
    std::string start;
    Texts data;
  } cases[] = {
      {"declared extent", "A1:C2",
       "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row><row r=\"2\"><c r=\"C2\"><v>6</v></c></row>", 2,
       3, "A1", {"1", "", "", "", "", "6"}},
      {"columns past Z", "A1:AB1", "<row r=\"1\"><c r=\"AA1\"><v>27</v></c></row>", 1, 28, "A1",
       concat(Texts(26, ""), {"27", ""})},
      {"extent not at A1", "B2:C3",
       "<row r=\"2\"><c r=\"B2\"><v>1</v></c></row><row r=\"3\"><c r=\"C3\"><v>4</v></c></row>",
       2, 2, "B2", {"1", "", "", "4"}},
      {"single reference, no cell", "A1", "", 0, 0, "", {}},
      {"single reference with its cell", "A1", "<row r=\"1\"><c r=\"A1\"><v>7</v></c></row>", 1,
       1, "A1", {"7"}},
      {"single reference elsewhere", "C3", "<row r=\"3\"><c r=\"C3\"><v>7</v></c></row>", 1, 1,
       "C3", {"7"}},
      {"cells outside the extent grow it", "B2:B2",
       "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row><row r=\"3\"><c r=\"C3\"><v>9</v></c></row>",
       3, 3, "A1", {"1", "", "", "", "", "", "", "", "9"}},
      {"no dimension: bounding box", "",
       "<row r=\"2\"><c r=\"B2\"><v>1</v></c><c r=\"D2\"><v>2</v></c></row>", 1, 3, "B2",
       {"1", "", "2"}},
      {"no dimension, no cells", "", "", 0, 0, "", {}},
      {"declared extent without cells", "A1:B2", "", 2, 2, "A1", {"", "", "", ""}},
      {"unreadable dimension is left out", "a1:zz", "<row r=\"1\"><c r=\"B1\"><v>1</v></c></row>",
       1, 1, "B1", {"1"}},
      {"rows and cells without r", "",
       "<row><c><v>1</v></c><c><v>2</v></c></row><row><c><v>3</v></c><c r=\"C2\"><v>4</v></c>"
       "<c><v>5</v></c></row><row r=\"4\"><c><v>6</v></c></row><row><c><v>7</v></c></row>",
       5, 4, "A1",
       {"1", "2", "", "", "3", "", "4", "5", "", "", "", "", "6", "", "", "", "7", "", "", ""}},
      {"rows with other attributes", "A1:A2",
       "<row r=\"1\" spans=\"1:1\"><c r=\"A1\"><v>1</v></c></row><row spans=\"1:1\" ht=\"15\">"
       "<c><v>2</v></c></row>",
       2, 1, "A1", {"1", "2"}},
      {"cells out of order, last one wins", "A1:B1",
       "<row r=\"1\"><c r=\"B1\"><v>2</v></c><c r=\"A1\"><v>1</v></c><c r=\"B1\"><v>3</v></c>"
       "</row>",
       1, 2, "A1", {"1", "3"}},
  };
  for (const Case& c : cases) {
    Sheet s = read(worksheet(c.dimension, c.rows));
    EXPECT_EQ(c.nRows, s.cells.rows) << c.what;
    EXPECT_EQ(c.nCols, s.cells.cols) << c.what;
    EXPECT_EQ(c.start, s.cells.startRef) << c.what;
    EXPECT_EQ(c.data, texts(s.table)) << c.what;
  }
}

// The cells that arrive right after the dimension are read (nothing between).
TEST(Worksheet, SheetDataRightAfterDimension) {
  std::string xml = "<worksheet><dimension ref=\"A1:B1\"/><sheetData><row><c><v>1</v></c><c>"
                    "<v>2</v></c></row></sheetData></worksheet>";
  EXPECT_EQ((Texts{"1", "2"}), texts(read(xml).table));
}

TEST(Worksheet, PrefixedPart) {
  std::string xml = kDecl + "<x:worksheet xmlns:x=\"" + kNs +
                    "\"><x:dimension ref=\"A1:C1\"/><x:sheetData><x:row r=\"1\">"
                    "<x:c r=\"A1\" t=\"s\"><x:v>1</x:v></x:c><x:c r=\"B1\" t=\"inlineStr\"><x:is>"
                    "<x:t>hi</x:t></x:is></x:c><x:c r=\"C1\" s=\"2\"><x:v>0.5</x:v></x:c>"
                    "</x:row></x:sheetData></x:worksheet>";
  EXPECT_EQ((Texts{"Age", "hi", "12:00:00"}), texts(read(xml).table));
}

TEST(Worksheet, Values) {
  struct Case {
    const char* what;
    std::string cell;
    std::string text;
  } cases[] = {
      {"number as written", "<c r=\"A1\"><v>3.1415926535897931</v></c>", "3.1415926535897931"},
      {"exponent as written", "<c r=\"A1\" s=\"0\"><v>1E-3</v></c>", "1E-3"},
      {"percentage style is a number", "<c r=\"A1\" s=\"3\"><v>0.25</v></c>", "0.25"},
      {"custom 0.000 style is a number", "<c r=\"A1\" s=\"4\"><v>2.5</v></c>", "2.5"},
      {"boolean", "<c r=\"A1\" t=\"b\"><v>1</v></c>", "true"},
      {"boolean false", "<c r=\"A1\" t=\"b\"><v>0</v></c>", "false"},
      {"shared string", "<c r=\"A1\" t=\"s\"><v>0</v></c>", "Name"},
      {"error", "<c r=\"A1\" t=\"e\"><v>#DIV/0!</v></c>", ""},
      {"numeric formula", "<c r=\"A1\"><f>1+1</f><v>2</v></c>", "2"},
      {"string formula", "<c r=\"A1\" t=\"str\"><f>A1&amp;B1</f><v>xy</v></c>", "xy"},
      {"string formula, shared", "<c r=\"A1\" t=\"str\"><f t=\"shared\" si=\"0\"/><v>zz</v></c>",
       "zz"},
      {"string formula, array",
       "<c r=\"A1\" t=\"str\"><f t=\"array\" ref=\"A1\">B1</f><v>arr</v></c>", "arr"},
      {"string formula, no f", "<c r=\"A1\" t=\"str\"><v>cached</v></c>", "cached"},
      {"whole text with references", "<c r=\"A1\" t=\"str\"><f>x</f><v>Tom &amp; Jerry</v></c>",
       "Tom & Jerry"},
      {"v with attributes", "<c r=\"A1\" t=\"str\"><v xml:space=\"preserve\"> a\nb </v></c>",
       " a\nb "},
      {"inline string", "<c r=\"A1\" t=\"inlineStr\"><is><t>Hello</t></is></c>", "Hello"},
      {"inline string, t with attributes",
       "<c r=\"A1\" t=\"inlineStr\"><is><t xml:space=\"preserve\"> Hi </t></is></c>", " Hi "},
      {"inline string, runs",
       "<c r=\"A1\" t=\"inlineStr\"><is><r><rPr><b/></rPr><t>Bold</t></r><r><t>normal</t></r>"
       "<rPh sb=\"0\" eb=\"1\"><t>x</t></rPh></is></c>",
       "Boldnormal"},
      {"inline string without is", "<c r=\"A1\" t=\"inlineStr\"/>", ""},
      {"t=d as written", "<c r=\"A1\" t=\"d\"><v>2023-07-16T10:30:00</v></c>",
       "2023-07-16T10:30:00"},
      {"t=d with a date style", "<c r=\"A1\" s=\"1\" t=\"d\"><v>2023-07-16</v></c>", "2023-07-16"},
      {"time style", "<c r=\"A1\" s=\"2\"><v>0.75</v></c>", "18:00:00"},
      {"empty cell", "<c r=\"A1\" s=\"1\"/>", ""},
      {"empty s is style 0", "<c r=\"A1\" s=\"\"><v>5</v></c>", "5"},
      {"t before s", "<c r=\"A1\" t=\"s\" s=\"1\"><v>1</v></c>", "Age"},
      {"explicit t=n keeps the date style", "<c r=\"A1\" s=\"1\" t=\"n\"><v>45123</v></c>",
       "2023-07-16T00:00:00+00:00"},
      {"t=n before the date style", "<c t=\"n\" r=\"A1\" s=\"1\"><v>45123</v></c>",
       "2023-07-16T00:00:00+00:00"},
  };
  ScopedTimeZone utc("UTC");
  for (const Case& c : cases) EXPECT_EQ(c.text, cellText(c.cell)) << c.what;
}

TEST(Worksheet, Kinds) {
  EXPECT_EQ(Kind::Num, cellKind("<c r=\"A1\"><v>1</v></c>"));
  EXPECT_EQ(Kind::Num, cellKind("<c r=\"A1\" s=\"3\"><v>1</v></c>"));
  EXPECT_EQ(Kind::Date, cellKind("<c r=\"A1\" s=\"1\" t=\"n\"><v>1</v></c>"));
  EXPECT_EQ(Kind::SharedString, cellKind("<c r=\"A1\" t=\"s\" s=\"1\"><v>1</v></c>"));
  EXPECT_EQ(Kind::Error, cellKind("<c r=\"A1\" t=\"e\"><v>#N/A</v></c>"));
  EXPECT_EQ(Kind::Formula, cellKind("<c r=\"A1\" t=\"str\"><f t=\"shared\" si=\"0\"/><v>1</v></c>"));
}

TEST(Worksheet, Styles) {
  // Without a styles part every cell has the General format.
  EXPECT_EQ("45123", cellText("<c r=\"A1\" s=\"7\"><v>45123</v></c>", false, {}));
  EXPECT_ERROR(cellText("<c r=\"A1\" s=\"5\"><v>1</v></c>"), "IndexError",
               "index out of bounds: 5 notin 0 .. 4");
  EXPECT_ERROR(cellText("<c r=\"A1\" s=\"-1\"><v>1</v></c>"), "IndexError",
               "index out of bounds: -1 notin 0 .. 4");
  EXPECT_ERROR(cellText("<c r=\"A1\" s=\"x\"><v>1</v></c>"), "ValueError", "invalid integer: x");
  // A bad style index fails even when t decides the kind.
  EXPECT_ERROR(cellText("<c r=\"A1\" s=\"9\" t=\"s\"><v>1</v></c>"), "IndexError",
               "index out of bounds: 9 notin 0 .. 4");
}

TEST(Worksheet, BadValues) {
  ScopedTimeZone utc("UTC");
  EXPECT_ERROR(cellText("<c r=\"A1\" s=\"1\"><v>2023-07-16</v></c>"), "ValueError",
               "invalid integer: 2023-07-16");
  EXPECT_ERROR(cellText("<c r=\"A1\" s=\"1\"><v></v></c>"), "ValueError", "invalid integer: ");
  EXPECT_ERROR(cellText("<c r=\"A1\" s=\"2\"><v>noon</v></c>"), "ValueError",
               "invalid float: noon");
  EXPECT_ERROR(cellText("<c r=\"A1\" s=\"2\"><v>-0.5</v></c>"), "RangeError",
               "value out of range: -0.5");
  EXPECT_ERROR(cellText("<c r=\"A1\" s=\"2\"><v>inf</v></c>"), "RangeError",
               "value out of range: inf");
  EXPECT_ERROR(cellText("<c r=\"a1\"><v>1</v></c>"), "ValueError", "invalid cell reference: a1");
  EXPECT_ERROR(read(worksheet("", "<row r=\"x\"><c><v>1</v></c></row>")), "ValueError",
               "invalid integer: x");
  EXPECT_ERROR(read(worksheet("C3:A1", "")), "RangeError", "invalid sheet extent: C3:A1");
}

TEST(SerialDates, Utc) {
  ScopedTimeZone utc("UTC");
  struct Case {
    const char* serial;
    bool date1904;
    const char* text;
  } cases[] = {
      {"45123", false, "2023-07-16T00:00:00+00:00"},
      {"45123", true, "2027-07-17T00:00:00+00:00"},
      {"45123.75", false, "2023-07-16T18:00:00+00:00"},
      {"45123.33333333333", false, "2023-07-16T08:00:00+00:00"},
      {"45123.999999999", false, "2023-07-17T00:00:00+00:00"},
      {"0.33333333333333331", false, "1899-12-30T08:00:00+00:00"},
      {"4.5123E4", false, "2023-07-16T00:00:00+00:00"},
      {"61", false, "1900-03-01T00:00:00+00:00"},
      {"60", false, "1900-02-28T00:00:00+00:00"},
      {"1", false, "1899-12-31T00:00:00+00:00"},
      {"0", true, "1904-01-01T00:00:00+00:00"},
      {"25569", false, "1970-01-01T00:00:00+00:00"},
      {"2958465", false, "9999-12-31T00:00:00+00:00"},
      {" 45123 ", false, "2023-07-16T00:00:00+00:00"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.text, serialDateText(c.serial, c.date1904)) << c.serial;
  }
  EXPECT_EQ("2023-07-16T00:00:00+00:00", cellText("<c r=\"A1\" s=\"1\"><v>45123</v></c>"));
  EXPECT_EQ("2027-07-17T00:00:00+00:00", cellText("<c r=\"A1\" s=\"1\"><v>45123</v></c>", true));
}

// Daylight-saving time never moves the wall clock: the offset is the one in
// force at that wall time.
TEST(SerialDates, ZoneWithDaylightSaving) {
  for (const char* zone : {"Europe/Berlin", "CET-1CEST,M3.5.0,M10.5.0/3"}) {
    ScopedTimeZone berlin(zone);
    EXPECT_EQ("2023-03-15T00:00:00+01:00", serialDateText("45000", false)) << zone;
    EXPECT_EQ("2023-07-16T00:00:00+02:00", serialDateText("45123", false)) << zone;
    EXPECT_EQ("2023-07-16T18:00:00+02:00", serialDateText("45123.75", false)) << zone;
    EXPECT_EQ("2027-07-17T00:00:00+02:00", serialDateText("45123", true)) << zone;
    // 2023-03-26, the last hour of winter time and the first of summer time.
    EXPECT_EQ("2023-03-26T01:59:59+01:00", serialDateText("45011.08332175926", false)) << zone;
    EXPECT_EQ("2023-03-26T03:00:00+02:00", serialDateText("45011.125", false)) << zone;
    EXPECT_EQ("2023-07-16T00:00:00+02:00", cellText("<c r=\"A1\" s=\"1\"><v>45123</v></c>"))
        << zone;
    // Times of day do not depend on the zone.
    EXPECT_EQ("12:00:00", cellText("<c r=\"A1\" s=\"2\"><v>0.5</v></c>")) << zone;
  }
}

TEST(SerialTimes, Texts) {
  struct Case {
    const char* value;
    const char* text;
  } cases[] = {{"0", "00:00:00"},          {"0.5", "12:00:00"},
               {"0.75", "18:00:00"},       {"1.25", "06:00:00"},
               {"0.33333333333333331", "08:00:00"}, {"0.999999999", "00:00:00"},
               {"0.0000115740740", "00:00:01"},     {"1E-3", "00:01:26"},
               {"100000.5", "12:00:00"}};
  for (const Case& c : cases) EXPECT_EQ(c.text, serialTimeText(c.value)) << c.value;
}

// A sheet that declares a huge extent and holds three cells keeps only the
// three cells while it is read; the table is refused with a clear error.
TEST(Worksheet, HugeDeclaredExtent) {
  const std::string rows =
      "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row><row r=\"500\"><c r=\"Z500\"><v>2</v></c>"
      "</row><row r=\"100000\"><c r=\"XFD100000\"><v>3</v></c></row>";
  testutil::ScopedTempDir dir;
  testutil::writeFile(dir / "sheet.xml", worksheet("A1:XFD100000", rows));
  SheetCells cells = parseSheet((dir / "sheet.xml").string(), kStyles, false, false);
  EXPECT_EQ(100000, cells.rows);
  EXPECT_EQ(16384, cells.cols);
  EXPECT_EQ(3, cells.cells.size());
  EXPECT_ERROR(initSheetTable(cells.rows, cells.cols, cells.cells, kShared, true, false),
               "RangeError", "sheet too large: 100000 rows x 16384 columns exceed 16777216 cells");

  testutil::writeFile(dir / "whole.xml", worksheet("A1:XFD1048576", rows));
  EXPECT_ERROR(parseSheet((dir / "whole.xml").string(), kStyles, false, false), "OverflowError",
               "over- or underflow");
}

TEST(Worksheet, TrimTrailing) {
  const std::string rows =
      "<row r=\"1\"><c r=\"A1\"><v>1</v></c><c r=\"B1\"><v>2</v></c></row>"
      "<row r=\"2\"><c r=\"A2\"><v>3</v></c></row><row r=\"3\"/>";
  Sheet s = read(worksheet("A1:B9", rows), kStyles, false, true);
  EXPECT_EQ(1, s.cells.rows);  // the last cell read, A2, is in a partial row
  EXPECT_EQ((Texts{"1", "2"}), texts(s.table));
  // An empty sheet has no columns to divide by: it stays 0 x 0.
  Sheet empty = read(worksheet("", ""), kStyles, false, true);
  EXPECT_EQ(0, empty.cells.rows);
  EXPECT_EQ(0, empty.cells.cols);
}

TEST(Worksheet, EndsAtEndOfInput) {
  const char* truncated[] = {
      "<worksheet><dimension ref=\"A1:B2\"",
      "<worksheet><dimension ref=\"A1:B2\"/><sheetData><row r=\"1\"><c r=\"A1\"><v>1",
      "<worksheet><sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><r><t>x",
      "<worksheet><sheetData><row r=\"1\"><c r=\"A1\" t=\"str\"><f>A",
      "<worksheet><sheetData><row r=\"1\"><c r=\"A1\"",
      "",
  };
  for (const char* xml : truncated) {
    EXPECT_NO_THROW(read(xml)) << xml;
  }
  EXPECT_EQ((Texts{"1", "", "", ""}), texts(read(truncated[1]).table));
}

TEST(Worksheet, UnreadablePart) {
  testutil::ScopedTempDir dir;
  const std::string path = (dir / "sheet9.xml").string();
  EXPECT_ERROR(parseSheet(path, kStyles, false, false), "IOError", "Unable to read file: " + path);
  EXPECT_ERROR(parseSheet(dir.str(), kStyles, false, false), "IOError",
               "Unable to read file: " + dir.str());
}

}  // namespace
}  // namespace tabulon
