#include "workbook/workbookpart.h"

#include <filesystem>

#include "testutil.h"

namespace tabulon {
namespace {

namespace fs = std::filesystem;

class WorkbookPartTest : public ::testing::Test {
 protected:
  WorkbookInfo parse(const std::string& body, const std::string& root = "workbook",
                     const std::string& rootAttrs = " xmlns=\"main\"") {
    fs::path path = dir_ / "workbook.xml";
    testutil::writeFile(path, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<" + root + rootAttrs +
                                  ">" + body + "</" + root + ">");
    return parseWorkbook(path.string());
  }
  static std::string names(const WorkbookInfo& info) {
    std::string out;
    for (const SheetEntry& s : info.sheets) out += s.name + "=" + s.sheetId + "/" + s.relId + ";";
    return out;
  }

  testutil::ScopedTempDir dir_;
};

TEST_F(WorkbookPartTest, SheetsInWorkbookOrderWithIdsAndRelationshipIds) {
  WorkbookInfo info = parse(
      "<workbookPr defaultThemeVersion=\"124226\"/><sheets>"
      "<sheet name=\"Zeta\" sheetId=\"3\" r:id=\"rId1\"/>"
      "<sheet name=\"Alpha\" sheetId=\"1\" r:id=\"rId2\"/>"
      "<sheet name=\"M&amp;M\" sheetId=\"07\" state=\"hidden\" r:id=\"rId3\"></sheet>"
      "</sheets><definedNames/>");
  EXPECT_EQ("Zeta=3/rId1;Alpha=1/rId2;M&M=07/rId3;", names(info));
  EXPECT_FALSE(info.date1904);
  ASSERT_NE(nullptr, info.find("Alpha"));
  EXPECT_EQ("1", info.find("Alpha")->sheetId);
  EXPECT_EQ(nullptr, info.find("alpha"));
}

// One writer puts sheetId (and the relationship id) before name. Carrying the
// name over from the previous element would shift every name by one.
TEST_F(WorkbookPartTest, AttributesPairUpWithinEachSheetInAnyOrder) {
  WorkbookInfo info = parse(
      "<sheets><sheet sheetId=\"1\" r:id=\"rId1\" name=\"First\"/>"
      "<sheet r:id=\"rId2\" sheetId=\"2\" name=\"Second\"/>"
      "<sheet sheetId=\"3\"/>"
      "<sheet name=\"NoId\"/></sheets>");
  EXPECT_EQ("First=1/rId1;Second=2/rId2;=3/;", names(info));
}

TEST_F(WorkbookPartTest, LaterSheetWithTheSameNameReplacesInPlace) {
  WorkbookInfo info = parse(
      "<sheets><sheet name=\"A\" sheetId=\"1\"/><sheet name=\"B\" sheetId=\"2\"/>"
      "<sheet name=\"A\" sheetId=\"9\" ns:id=\"rId9\"/></sheets>");
  EXPECT_EQ("A=9/rId9;B=2/;", names(info));
}

TEST_F(WorkbookPartTest, Date1904Values) {
  for (const char* v : {"1", "true", "TRUE", "True", "yes", "on"}) {
    EXPECT_TRUE(parse(std::string("<workbookPr date1904=\"") + v + "\"/><sheets/>").date1904) << v;
  }
  for (const char* v : {"0", "false", "off"}) {
    EXPECT_FALSE(parse(std::string("<workbookPr date1904=\"") + v + "\"/><sheets/>").date1904) << v;
  }
  EXPECT_ERROR(parse("<workbookPr date1904=\"2\"/>"), "ValueError", "cannot interpret as a bool: 2");
  EXPECT_FALSE(parse("<workbookPr/><sheets/>").date1904);
  // Only a workbookPr before the sheet list is read.
  WorkbookInfo late = parse("<sheets><sheet name=\"S\" sheetId=\"1\"/></sheets>"
                            "<workbookPr date1904=\"1\"/>");
  EXPECT_FALSE(late.date1904);
  EXPECT_EQ(1u, late.sheets.size());
}

TEST_F(WorkbookPartTest, PrefixedRootNeedsPrefixedElements) {
  WorkbookInfo info = parse(
      "<x:workbookPr x:date1904=\"1\"/><x:sheets><x:sheet name=\"S\" sheetId=\"4\" r:id=\"rId4\"/>"
      "</x:sheets>",
      "x:workbook", " xmlns:x=\"main\"");
  EXPECT_TRUE(info.date1904);
  EXPECT_EQ("S=4/rId4;", names(info));
  EXPECT_EQ("", names(parse("<sheets><sheet name=\"S\" sheetId=\"1\"/></sheets>", "x:workbook",
                            " xmlns:x=\"main\"")));
}

TEST_F(WorkbookPartTest, MissingSheetListOrTruncatedDocument) {
  EXPECT_TRUE(parse("<bookViews/>").sheets.empty());
  // Malformed XML raises nothing: the stray "<" ends the sheet list.
  EXPECT_EQ("A=1/;", names(parse("<sheets><sheet name=\"A\" sheetId=\"1\"/>< "
                                 "<sheet name=\"B\" sheetId=\"2\"/></sheets>")));
  fs::path path = dir_ / "cut.xml";
  testutil::writeFile(path, "<workbook a=\"1\"><sheets><sheet name=\"S\" sheetId=\"2\" r:id=");
  EXPECT_EQ("S=2/;", names(parseWorkbook(path.string())));
}

TEST_F(WorkbookPartTest, UnopenablePartIsAnIOError) {
  const std::string path = (dir_ / "none.xml").string();
  EXPECT_ERROR(parseWorkbook(path), "IOError", "Unable to read file: " + path);
}

TEST(Relationships, PartNameOfTheRelationshipsPart) {
  EXPECT_EQ("xl/_rels/workbook.xml.rels", relationshipsPartName("xl/workbook.xml"));
  EXPECT_EQ("/xl/_rels/book.xml.rels", relationshipsPartName("/xl/book.xml"));
  EXPECT_EQ("_rels/book.xml.rels", relationshipsPartName("book.xml"));
}

TEST(Relationships, TargetsResolveAgainstTheSourcePartsFolder) {
  testutil::ScopedTempDir dir;
  fs::path path = dir / "workbook.xml.rels";
  testutil::writeFile(
      path,
      "<?xml version=\"1.0\"?><Relationships xmlns=\"rels\">"
      "<Relationship Id=\"rId1\" Type=\"t/worksheet\" Target=\"worksheets/sheet2.xml\"/>"
      "<Relationship Target=\"/xl/worksheets/sheet1.xml\" Id=\"rId2\" Type=\"t/worksheet\"/>"
      "<Relationship Id=\"rId3\" Target=\"../other/My%20Sheet.xml\"/>"
      "<Relationship Id=\"rId4\" Target=\"http://example.com/\" TargetMode=\"External\"/>"
      "</Relationships>");
  Relationships rels = parseRelationships(path.string(), "xl/workbook.xml");
  EXPECT_EQ(3u, rels.size());
  EXPECT_EQ("xl/worksheets/sheet2.xml", rels["rId1"]);
  EXPECT_EQ("xl/worksheets/sheet1.xml", rels["rId2"]);
  EXPECT_EQ("xl/../other/My Sheet.xml", rels["rId3"]);
  EXPECT_EQ(0u, rels.count("rId4"));

  testutil::writeFile(path, "<r:Relationships xmlns:r=\"rels\"><r:Relationship Id=\"a\" "
                            "Target=\"s.xml\"/></r:Relationships>");
  EXPECT_EQ("/xl/s.xml", parseRelationships(path.string(), "/xl/workbook.xml")["a"]);
  EXPECT_TRUE(parseRelationships((dir / "none.rels").string(), "xl/workbook.xml").empty());
}

}  // namespace
}  // namespace tabulon
