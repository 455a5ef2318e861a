#include "workbook/styles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testutil.h"

namespace tabulon {
namespace {

const std::string kDecl = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
const std::string kRoot =
    "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">";

std::vector<std::string> read(const std::string& xml) {
  testutil::ScopedTempDir dir;
  testutil::writeFile(dir / "styles.xml", xml);
  return parseStyles((dir / "styles.xml").string());
}

using List = std::vector<std::string>;

TEST(Styles, BuiltinTable) {
  struct Case {
    const char* id;
    const char* code;
  } cases[] = {{"0", "general"}, {"1", "0"},        {"9", "0%"},         {"11", "0.00e+00"},
               {"13", "# ?\?/?\?"}, {"14", "mm-dd-yy"}, {"18", "h:mm am/pm"}, {"22", "m/d/yy h:mm"},
               {"38", "#,##0 ;[red](#,##0)"}, {"46", "[h]:mm:ss"}, {"49", "@"},
               {"5", ""}, {"23", ""}, {"44", ""}, {"50", ""}, {"014", ""}};
  for (const Case& c : cases) EXPECT_EQ(c.code, builtinFormatCode(c.id)) << c.id;
}

TEST(Styles, FormatClass) {
  struct Case {
    const char* code;
    const char* cls;
  } cases[] = {
      // The classification table.
      {"general", "float"}, {"@", "float"}, {"0.00e+00", "float"}, {"#,##0;(#,##0)", "float"},
      {"_(* #,##0_);_(* (#,##0);_(* \"-\"??_);_(@_)", "float"}, {"mm-dd-yy", "date"},
      {"yyyy\\-mm\\-dd", "date"}, {"dd/mm/yy\\ hh:mm", "date"}, {"h:mm am/pm", "date"},
      {"h:mm:ss am/pm", "date"}, {"h:mm", "time"}, {"mm:ss", "time"}, {"[h]:mm:ss", "time"},
      {"mmss.0", "time"}, {"0%", "percentage"}, {"0.00%", "percentage"},
      // An unknown format id.
      {"none", "float"},
      // Everything else by content.
      {"", "float"}, {"0.000", "float"}, {"0.0e+0", "float"}, {"0.00e-00", "float"},
      {"# ?/?", "float"}, {"# ?\?/?\?", "float"}, {"0.0%", "float"},
      {"\"$\"#,##0.00_);[red](\"$\"#,##0.00)", "float"}, {"[$\xE2\x82\xAC-407] #,##0.00", "float"},
      {"#,##0.00 \"days\"", "float"}, {"0 \"h\"", "float"}, {"\\d\\a\\y 0", "float"},
      {"_-* #,##0.00_-;-* #,##0.00_-;_-* \"-\"??_-;_-@_-", "float"}, {"general;[red]-general", "float"},
      {"[>=100]0;[red]0.0", "float"}, {"*d0", "float"},
      {"yyyy-mm-dd", "date"}, {"yyyy/mm/dd hh:mm", "date"}, {"d", "date"}, {"mmm", "date"},
      {"m", "date"}, {"mmmm d, yyyy", "date"}, {"[$-409]dddd, mmmm dd, yyyy", "date"},
      {"ge.m.d", "date"}, {"[$-411]e", "date"}, {"dd.mm.yyyy hh:mm:ss", "date"},
      {"hh:mm:ss.000", "time"}, {"[mm]:ss", "time"}, {"[ss]", "time"}, {"[hh]", "time"},
      {"h \"h\" mm \"min\"", "time"}, {"h am/pm", "time"}, {"h a/p", "time"}, {"mm:ss.0", "time"},
      {"[h]:mm", "time"}, {"s", "time"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.cls, formatClass(c.code)) << c.code;
}

TEST(Styles, CellKindOfClass) {
  EXPECT_EQ(SheetDataKind::Num, kindOfFormatClass("float"));
  EXPECT_EQ(SheetDataKind::Date, kindOfFormatClass("date"));
  EXPECT_EQ(SheetDataKind::Time, kindOfFormatClass("time"));
  EXPECT_EQ(SheetDataKind::Initial, kindOfFormatClass("percentage"));
  EXPECT_EQ(SheetDataKind::Num, cellKindOfFormat("0.000"));
  EXPECT_EQ(SheetDataKind::Date, cellKindOfFormat("yyyy-mm-dd"));
}

TEST(Styles, Parts) {
  struct Case {
    const char* what;
    std::string xml;
    List styles;
  } cases[] = {
      {"built-in, custom and unknown ids",
       kDecl + kRoot + "<numFmts count=\"2\"><numFmt numFmtId=\"164\" formatCode=\"0.000\"/>"
       "<numFmt numFmtId=\"165\" formatCode=\"YYYY-MM-DD HH:MM:SS\"/></numFmts>"
       "<cellStyleXfs count=\"1\"><xf numFmtId=\"14\"/></cellStyleXfs>"
       "<cellXfs count=\"6\"><xf numFmtId=\"14\" fontId=\"0\"/><xf numFmtId=\"164\"/>"
       "<xf numFmtId=\"165\"/><xf numFmtId=\"165\" applyNumberFormat=\"1\"/>"
       "<xf numFmtId=\"9\"><alignment horizontal=\"left\"/></xf><xf numFmtId=\"200\"/></cellXfs>"
       "<dxfs count=\"1\"><dxf><numFmt numFmtId=\"166\" formatCode=\"0.0\"/></dxf></dxfs>"
       "</styleSheet>",
       {"mm-dd-yy", "0.000", "yyyy-mm-dd hh:mm:ss", "yyyy-mm-dd hh:mm:ss", "0%", "none"}},
      {"xf without numFmtId or attributes keeps its place",
       kDecl + kRoot + "<cellXfs count=\"3\"><xf fontId=\"1\"/><xf/><xf numFmtId=\"14\"/>"
       "</cellXfs></styleSheet>",
       {"general", "general", "mm-dd-yy"}},
      {"sections without attributes, no count",
       kDecl + kRoot + "<numFmts><numFmt numFmtId=\"164\" formatCode=\"0.0\"/></numFmts>"
       "<cellXfs><xf numFmtId=\"164\"/></cellXfs></styleSheet>",
       {"0.0"}},
      {"count that is not a number",
       kDecl + kRoot + "<cellXfs count=\"x\"><xf numFmtId=\"1\"/></cellXfs></styleSheet>", {"0"}},
      {"prefixed part",
       kDecl + "<x:styleSheet xmlns:x=\"http://schemas.openxmlformats.org/spreadsheetml/2006/"
               "main\"><x:numFmts count=\"1\"><x:numFmt numFmtId=\"164\" formatCode=\"0.0\"/>"
               "</x:numFmts><x:cellXfs count=\"2\"><x:xf numFmtId=\"164\"/><x:xf numFmtId=\"2\"/>"
               "</x:cellXfs></x:styleSheet>",
       {"0.0", "0.00"}},
      {"no cellXfs", kDecl + kRoot + "<fonts count=\"0\"/></styleSheet>", {}},
      {"document ends inside cellXfs", kDecl + kRoot + "<cellXfs count=\"2\"><xf numFmtId=\"1\"/>",
       {"0"}},
  };
  for (const Case& c : cases) EXPECT_EQ(c.styles, read(c.xml)) << c.what;
}

// Built-in ids the table lacks are read the way the id means: currency and
// accounting formats are numbers, the East-Asian ones dates and times.
TEST(Styles, BuiltinIdsMissingFromTheTable) {
  struct Case {
    int id;
    SheetDataKind kind;
  } cases[] = {{5, SheetDataKind::Num},   {8, SheetDataKind::Num},   {41, SheetDataKind::Num},
               {44, SheetDataKind::Num},  {27, SheetDataKind::Date}, {31, SheetDataKind::Date},
               {36, SheetDataKind::Date}, {50, SheetDataKind::Date}, {58, SheetDataKind::Date},
               {32, SheetDataKind::Time}, {35, SheetDataKind::Time}, {52, SheetDataKind::Time},
               {56, SheetDataKind::Time}, {23, SheetDataKind::Num},  {59, SheetDataKind::Num},
               {163, SheetDataKind::Num}};
  for (const Case& c : cases) {
    List styles = read(kDecl + kRoot + "<cellXfs count=\"1\"><xf numFmtId=\"" +
                       std::to_string(c.id) + "\"/></cellXfs></styleSheet>");
    ASSERT_EQ(1u, styles.size());
    EXPECT_EQ(c.kind, cellKindOfFormat(styles[0])) << c.id << " " << styles[0];
  }
}

TEST(Styles, UnreadablePart) {
  testutil::ScopedTempDir dir;
  const std::string path = (dir / "styles.xml").string();
  EXPECT_ERROR(parseStyles(path), "IOError", "Unable to read file: " + path);
}

}  // namespace
}  // namespace tabulon
