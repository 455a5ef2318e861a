#include "convert/batch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "convert/render.h"
#include "testutil.h"
#include "workbook/reader.h"
#include "xlsxfixture.h"

namespace fs = std::filesystem;

namespace tabulon {
namespace {

using testutil::readFile;
using testutil::ScopedTempDir;
using testutil::writeFile;

// A one-row sheet holding the given texts as inline strings.
std::string rowSheet(const std::vector<std::string>& texts) {
  std::string row = "<row r=\"1\">";
  for (size_t i = 0; i < texts.size(); ++i) {
    row += "<c r=\"" + std::string(1, static_cast<char>('A' + i)) +
           "1\" t=\"inlineStr\"><is><t>" + texts[i] + "</t></is></c>";
  }
  return testutil::sheetXml("", row + "</row>");
}

void writeBook(const fs::path& path,
               const std::vector<std::pair<std::string, std::string>>& sheets) {
  testutil::WorkbookSpec spec;
  spec.sheets = sheets;
  testutil::XlsxFixture::write(path, testutil::minimalWorkbook(spec));
}

void writeBook(const fs::path& path, const std::string& text) {
  writeBook(path, {{"S", rowSheet({text})}});
}

// Names of the entries of folder, sorted; "" marks a missing folder.
std::vector<std::string> listing(const fs::path& folder) {
  std::vector<std::string> names;
  if (!fs::is_directory(folder)) return {""};
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class BatchTest : public ::testing::Test {
 protected:
  void SetUp() override { cellWidth = 3; }
  void TearDown() override { cellWidth = 10; }
  ScopedTempDir dir_;
};

TEST(OutputNames, Table) {
  const std::pair<const char*, const char*> baseNames[] = {
      {"Book.xlsx", "Book"},       {"dir/a.b.xlsx", "a.b"},  {"d/.hidden.xlsx", "hidden"},
      {"c:\\x\\Win.XLSX", "Win"}, {"noext", "noext"},       {"dir/..xlsx", ".xlsx"},
      {"Book.", "Book"},
  };
  for (const auto& [path, base] : baseNames) EXPECT_EQ(base, outputBaseName(path)) << path;

  EXPECT_EQ("data/zz_Book", outputFolderForFile("data/Book.xlsx"));
  EXPECT_EQ("zz_Book", outputFolderForFile("Book.xlsx"));
  EXPECT_EQ("/data/zz_In", outputRootForFolder("/data/In"));
  EXPECT_EQ("/data/zz_In", outputRootForFolder("/data/In/"));
  EXPECT_EQ("zz_In", outputRootForFolder("In"));
  EXPECT_EQ((fs::current_path().parent_path() / ("zz_" + fs::current_path().filename().string())).string(),
            outputRootForFolder("."));
  EXPECT_EQ(outputRootForFolder(fs::current_path().parent_path().string()), outputRootForFolder(".."));
}

TEST_F(BatchTest, WritesOneFilePerSheetAndOverwrites) {
  writeBook(dir_ / "Book.xlsx", {{"Sheet1", rowSheet({"Name", "Age"})}, {"Data", rowSheet({"x"})}});
  writeFile(dir_ / "out" / "Sheet1.txt", std::string(500, 'z'));
  EXPECT_EQ(WorkbookOutcome::converted, convertWorkbook((dir_ / "Book.xlsx").string(), (dir_ / "out").string()));
  EXPECT_EQ((std::vector<std::string>{"Data.txt", "Sheet1.txt"}), listing(dir_ / "out"));
  EXPECT_EQ("+---+---+\n|Nam|Age|\n+---+---+\n+---+---+\n", readFile(dir_ / "out" / "Sheet1.txt"));
  EXPECT_EQ("+---+\n|x  |\n+---+\n+---+\n", readFile(dir_ / "out" / "Data.txt"));
}

TEST_F(BatchTest, SkipsEmptyAndForeignFilesWithoutCreatingAnything) {
  writeFile(dir_ / "Empty.xlsx", "");
  writeBook(dir_ / "Mixed.Xlsx", "m");
  writeBook(dir_ / "Old.xls", "o");
  writeBook(dir_ / "Upper.XLSX", "u");
  EXPECT_EQ(WorkbookOutcome::skippedEmpty, convertWorkbook((dir_ / "Empty.xlsx").string(), (dir_ / "o1").string()));
  EXPECT_EQ(WorkbookOutcome::skippedNotXlsx, convertWorkbook((dir_ / "Mixed.Xlsx").string(), (dir_ / "o2").string()));
  EXPECT_EQ(WorkbookOutcome::skippedNotXlsx, convertWorkbook((dir_ / "Old.xls").string(), (dir_ / "o3").string()));
  EXPECT_EQ(WorkbookOutcome::converted, convertWorkbook((dir_ / "Upper.XLSX").string(), (dir_ / "o4").string()));
  EXPECT_EQ((std::vector<std::string>{""}), listing(dir_ / "o1"));
  EXPECT_EQ((std::vector<std::string>{""}), listing(dir_ / "o2"));
  EXPECT_EQ((std::vector<std::string>{""}), listing(dir_ / "o3"));
  EXPECT_EQ((std::vector<std::string>{"S.txt"}), listing(dir_ / "o4"));
}

TEST_F(BatchTest, WorkbookWithoutSheetsLeavesAnEmptyFolder) {
  writeBook(dir_ / "None.xlsx", std::vector<std::pair<std::string, std::string>>{});
  EXPECT_EQ(WorkbookOutcome::converted, convertWorkbook((dir_ / "None.xlsx").string(), (dir_ / "out").string()));
  EXPECT_EQ(std::vector<std::string>{}, listing(dir_ / "out"));
}

// Sheet names are file names, but never a way out of the output folder.
TEST_F(BatchTest, UnsafeSheetNamesStayInsideTheOutputFolder) {
  writeBook(dir_ / "in" / "Book.xlsx", {{"..", rowSheet({"1"})},
                                        {".", rowSheet({"2"})},
                                        {"../../evil", rowSheet({"3"})},
                                        {"a\\b", rowSheet({"4"})},
                                        {"Q1 / Q2", rowSheet({"5"})}});
  convertWorkbook((dir_ / "in" / "Book.xlsx").string(), (dir_ / "out").string());
  EXPECT_EQ((std::vector<std::string>{".._.._evil.txt", "Q1 _ Q2.txt", "_.txt", "__.txt", "a_b.txt"}),
            listing(dir_ / "out"));
  EXPECT_EQ((std::vector<std::string>{"in", "out"}), listing(dir_.path()));
  EXPECT_EQ("+---+\n|3  |\n+---+\n+---+\n", readFile(dir_ / "out" / ".._.._evil.txt"));
}

// One read serves every sheet, and a read error still comes before any sheet
// file is written, as when each sheet was read on its own: the sheets spooled
// before it leave neither their files nor their temporary files behind.
TEST_F(BatchTest, ReadErrorWritesNoSheet) {
  testutil::WorkbookSpec spec;
  spec.sheets = {{"Good1", rowSheet({"g"})},
                 {"Good2", rowSheet({"g"})},
                 {"Good3", rowSheet({"g"})},
                 {"Bad", testutil::sheetXml("", "<row r=\"1\"><c r=\"A1\" t=\"zz\"><v>1</v></c></row>")}};
  testutil::XlsxFixture::write(dir_ / "Book.xlsx", testutil::minimalWorkbook(spec));
  writeFile(dir_ / "out" / "Good1.txt", "earlier run");
  EXPECT_ERROR(convertWorkbook((dir_ / "Book.xlsx").string(), (dir_ / "out").string()),
               "UnKnownSheetDataKindError", "unsupport sheet data kind");
  EXPECT_EQ(std::vector<std::string>{"Good1.txt"}, listing(dir_ / "out"));
  EXPECT_EQ("earlier run", readFile(dir_ / "out" / "Good1.txt"));
}

// A sheet whose text spans many of the renderer's pieces is written whole,
// byte for byte the text of renderSheet.
// A large sheet is written in pieces on a thread of its own, between small
// sheets written at once; each file holds exactly the sheet's text.
TEST_F(BatchTest, LargeSheetIsWrittenWhole) {
  cellWidth = 150;  // 1,200 rows of 16 cells: 2.9 MB of text
  const std::string rows =
      "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>top</t></is></c></row>"
      "<row r=\"1200\"><c r=\"P1200\" t=\"inlineStr\"><is><t>end</t></is></c></row>";
  writeBook(dir_ / "Book.xlsx", {{"A", rowSheet({"first"})},
                                 {"S", testutil::sheetXml("A1:P1200", rows)},
                                 {"Z", rowSheet({"last"})}});
  const std::string book = (dir_ / "Book.xlsx").string();
  convertWorkbook(book, (dir_ / "out").string());
  EXPECT_EQ((std::vector<std::string>{"A.txt", "S.txt", "Z.txt"}), listing(dir_ / "out"));
  const auto tables = parseExcel(book, "", true, false, false, false);
  const std::string text = readFile(dir_ / "out" / "S.txt");
  EXPECT_EQ(size_t{1203} * (16 * 151 + 2), text.size());
  EXPECT_TRUE(renderSheet(tables.at("S"), 150) == text);
  EXPECT_EQ(renderSheet(tables.at("A"), 150), readFile(dir_ / "out" / "A.txt"));
  EXPECT_EQ(renderSheet(tables.at("Z"), 150), readFile(dir_ / "out" / "Z.txt"));
}

TEST_F(BatchTest, Errors) {
  writeBook(dir_ / "Book.xlsx", {{"Sheet1", rowSheet({"a"})}, {"Sheet2", rowSheet({"b"})}});
  const std::string book = (dir_ / "Book.xlsx").string();

  writeFile(dir_ / "blocker", "x");
  EXPECT_ERROR(convertWorkbook(book, (dir_ / "blocker").string()), "IOError",
               "Failed to create '" + (dir_ / "blocker").string() + "'");
  EXPECT_ERROR(convertWorkbook(book, (dir_ / "blocker" / "sub").string()), "IOError",
               "Failed to create '" + (dir_ / "blocker" / "sub").string() + "'");

  // The second sheet's file cannot be written: the first one stays.
  fs::create_directories(dir_ / "o1" / "Sheet2.txt");
  EXPECT_ERROR(convertWorkbook(book, (dir_ / "o1").string()), "IOError",
               "cannot open: " + (dir_ / "o1" / "Sheet2.txt").string());
  EXPECT_EQ("+---+\n|a  |\n+---+\n+---+\n", readFile(dir_ / "o1" / "Sheet1.txt"));
  EXPECT_EQ((std::vector<std::string>{"Sheet1.txt", "Sheet2.txt"}), listing(dir_ / "o1"));

  // Sheet2's text cannot be written (its temporary file leads to a full
  // disk): the message names its file, Sheet1's stays, nothing else does.
  if (fs::exists("/dev/full")) {
    fs::create_directories(dir_ / "o5");
    fs::create_symlink("/dev/full", dir_ / "o5" / ".tabulon-sheet1.tmp");
    EXPECT_ERROR(convertWorkbook(book, (dir_ / "o5").string()), "IOError",
                 "cannot write: " + (dir_ / "o5" / "Sheet2.txt").string());
    EXPECT_EQ(std::vector<std::string>{"Sheet1.txt"}, listing(dir_ / "o5"));
  }

  cellWidth = -1;
  EXPECT_ERROR(convertWorkbook(book, (dir_ / "o2").string()), "RangeError", "value out of range: -1");
  EXPECT_EQ(std::vector<std::string>{}, listing(dir_ / "o2"));
  cellWidth = 3;

  writeFile(dir_ / "Lock.xlsx", "not a zip package");
  EXPECT_ERROR(convertWorkbook((dir_ / "Lock.xlsx").string(), (dir_ / "o3").string()),
               "InvalidXlsxFileError", "[ZIP] Can't open xlsx file: " + (dir_ / "Lock.xlsx").string());

  try {
    convertWorkbook((dir_ / "Gone.xlsx").string(), (dir_ / "o4").string());
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_STREQ("OSError", e.kind().c_str());
    EXPECT_NE(std::string(e.what()).find((dir_ / "Gone.xlsx").string()), std::string::npos) << e.what();
  }
  EXPECT_FALSE(fs::exists(dir_ / "o4"));
}

// A depth-first walk with a stack, entries in name order: a folder's own
// files, then its sub-folders, the last one first. Links are not followed.
TEST_F(BatchTest, FolderWalkOrderAndLinks) {
  const fs::path in = dir_ / "In";
  writeBook(in / "b.xlsx", "b");
  writeBook(in / "a.xlsx", "a");
  writeBook(in / "sub1" / "c.xlsx", "c");
  writeBook(in / "sub2" / "d.xlsx", "d");
  writeBook(in / "sub2" / "deeper" / "e.xlsx", "e");
  writeBook(dir_ / "elsewhere" / "f.xlsx", "f");
  writeFile(in / "empty.xlsx", "");
  writeFile(in / "notes.txt", "n");
  fs::create_symlink(dir_ / "elsewhere" / "f.xlsx", in / "link.xlsx");
  fs::create_directory_symlink(dir_ / "elsewhere", in / "linkdir");

  std::vector<std::string> seen;
  BatchProgress progress;
  progress.workbookStarted = [&](const std::string& path) {
    seen.push_back(fs::relative(path, in).string());
  };
  convertFolder(in.string(), (dir_ / "zz_In").string(), progress);
  EXPECT_EQ((std::vector<std::string>{"a.xlsx", "b.xlsx", "sub2/d.xlsx", "sub2/deeper/e.xlsx", "sub1/c.xlsx"}),
            seen);
  EXPECT_EQ((std::vector<std::string>{"a", "b", "c", "d", "e"}), listing(dir_ / "zz_In"));
  EXPECT_EQ("+---+\n|e  |\n+---+\n+---+\n", readFile(dir_ / "zz_In" / "e" / "S.txt"));
}

// Book.xlsx in two sub-folders no longer share one output folder: the later
// one gets the first free suffix, and a re-run gives the same names.
TEST_F(BatchTest, BaseNameCollisionsGetSuffixes) {
  const fs::path in = dir_ / "In";
  writeBook(in / "Book_2.xlsx", "top");
  writeBook(in / "x" / "Book.xlsx", "x");
  writeBook(in / "y" / "Book.xlsx", "y");
  writeBook(in / "y" / "...xlsx", "dots");  // base name "." must stay inside the root
  for (int run = 0; run < 2; ++run) {
    convertFolder(in.string(), (dir_ / "out").string());
    EXPECT_EQ((std::vector<std::string>{"Book", "Book_2", "Book_3", "_"}), listing(dir_ / "out"));
    EXPECT_EQ("+---+\n|top|\n+---+\n+---+\n", readFile(dir_ / "out" / "Book_2" / "S.txt"));
    EXPECT_EQ("+---+\n|y  |\n+---+\n+---+\n", readFile(dir_ / "out" / "Book" / "S.txt"));
    EXPECT_EQ("+---+\n|x  |\n+---+\n+---+\n", readFile(dir_ / "out" / "Book_3" / "S.txt"));
  }
}

// Workbooks lying directly in the output root are never read back as input.
TEST_F(BatchTest, SkipsTheOutputRootItself) {
  const fs::path in = dir_ / "In";
  writeBook(in / "a.xlsx", "a");
  writeBook(in / "out" / "inside.xlsx", "i");
  writeBook(in / "out" / "deeper" / "kept.xlsx", "k");
  convertFolder(in.string(), (in / "out").string());
  EXPECT_EQ((std::vector<std::string>{"a", "deeper", "inside.xlsx", "kept"}), listing(in / "out"));
}

TEST_F(BatchTest, FirstErrorEndsTheWalkAndKeepsEarlierOutput) {
  const fs::path in = dir_ / "In";
  writeBook(in / "a.xlsx", "a");
  writeFile(in / "b.xlsx", "~lock file, not a package");
  writeBook(in / "c.xlsx", "c");
  EXPECT_ERROR(convertFolder(in.string(), (dir_ / "out").string()), "InvalidXlsxFileError",
               "[ZIP] Can't open xlsx file: " + (in / "b.xlsx").string());
  EXPECT_EQ((std::vector<std::string>{"a", "b"}), listing(dir_ / "out"));
}

TEST_F(BatchTest, ProgressReportsSheetCounts) {
  writeBook(dir_ / "Book.xlsx", {{"A", rowSheet({"1"})}, {"B", rowSheet({"2"})}});
  std::vector<std::string> events;
  BatchProgress progress;
  progress.workbookStarted = [&](const std::string& p) { events.push_back("start " + p); };
  progress.sheetsListed = [&](const std::string& p, int32_t n) {
    events.push_back("sheets " + p + " " + std::to_string(n));
  };
  const std::string book = (dir_ / "Book.xlsx").string();
  convertWorkbook(book, (dir_ / "out").string(), progress);
  EXPECT_EQ((std::vector<std::string>{"start " + book, "sheets " + book + " 2"}), events);
}

}  // namespace
}  // namespace tabulon
