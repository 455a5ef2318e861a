// End to end through the real tabulon binary: workbooks and folders in, text
// files, "Done!" / "Skipped:" / "Error:" lines and exit statuses out.
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "clirunner.h"
#include "testutil.h"
#include "xlsxfixture.h"

namespace fs = std::filesystem;

namespace {

using testutil::readFile;
using testutil::RunResult;
using testutil::TabulonCopy;
using testutil::writeFile;

// The workbook behind the golden files: shared and rich strings, inline
// strings, numbers as written, a date, booleans, a formula result, an error
// cell, multi-byte texts, a line feed inside a cell, an empty sheet and a
// sheet whose name is not ASCII.
void writeGoldenBook(const fs::path& path) {
  testutil::WorkbookSpec spec;
  spec.sharedStrings = {"Name", "Price", "When", "Ok", "Note", "Widget",
                        "Gr\xc3\xbc\xc3\x9f" "e \xe2\x82\xac", "RICH", "line\nbreak"};
  auto s = [](const char* ref, int index) {
    return std::string("<c r=\"") + ref + "\" t=\"s\"><v>" + std::to_string(index) + "</v></c>";
  };
  std::string items =
      "<row r=\"1\">" + s("A1", 0) + s("B1", 1) + s("C1", 2) + s("D1", 3) + s("E1", 4) + "</row>"
      "<row r=\"2\">" + s("A2", 5) + "<c r=\"B2\"><v>3.5</v></c><c r=\"C2\" s=\"1\"><v>45123</v></c>"
      "<c r=\"D2\" t=\"b\"><v>1</v></c><c r=\"E2\" t=\"inlineStr\"><is><t xml:space=\"preserve\">  leading</t></is></c></row>"
      "<row r=\"3\">" + s("A3", 6) + "<c r=\"B3\"><v>1E-3</v></c><c r=\"D3\" t=\"b\"><v>0</v></c>"
      "<c r=\"E3\" t=\"str\"><f>A1&amp;B1</f><v>cached</v></c></row>"
      "<row r=\"4\">" + s("A4", 7) + "<c r=\"B4\"><v>-12345678901234</v></c>"
      "<c r=\"C4\" t=\"e\"><v>#DIV/0!</v></c>" + s("E4", 8) + "</row>";
  spec.sheets = {
      {"Items", testutil::sheetXml("A1:E4", items)},
      {"Empty", testutil::sheetXml("A1", "")},
      {"\xe6\x97\xa5\xe6\x9c\xac",  // two CJK characters
       testutil::sheetXml("A1", "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>"
                                "\xe6\xbc\xa2\xe5\xad\x97\xe3\x83\x86\xe3\x82\xad\xe3\x82\xb9\xe3\x83\x88"
                                "</t></is></c></row>")},
  };
  auto parts = testutil::minimalWorkbook(spec);
  // Item 7 is a rich string: its text is the runs together.
  std::string& sst = testutil::partBytes(parts, "xl/sharedStrings.xml");
  sst.replace(sst.find("<si><t>RICH</t></si>"), 20,
              "<si><r><rPr><b/></rPr><t>Bold</t></r><r><t>normal</t></r></si>");
  testutil::XlsxFixture::write(path, parts);
}

void writeBook(const fs::path& path, const std::string& text,
               const std::string& sheet = "Sheet1") {
  testutil::WorkbookSpec spec;
  spec.sheets = {{sheet, testutil::sheetXml("", "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>" +
                                                   text + "</t></is></c></row>")}};
  testutil::XlsxFixture::write(path, testutil::minimalWorkbook(spec));
}

// What a one-cell sheet renders to at width 3 (the header rule included).
std::string oneCell3(const std::string& text) {
  std::string field = (text + "   ").substr(0, 3);
  return "+---+\n|" + field + "|\n+---+\n+---+\n";
}

std::vector<std::string> tree(const fs::path& root) {
  std::vector<std::string> names;
  if (!fs::exists(root)) return names;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    names.push_back(fs::relative(e.path(), root).string() + (e.is_directory() ? "/" : ""));
  }
  std::sort(names.begin(), names.end());
  return names;
}

class CliTest : public ::testing::Test {
 protected:
  void setWidth(int width) {
    writeFile(tab_.config(), "cell_width_characters=" + std::to_string(width));
  }
  fs::path work() const { return tab_.work(); }
  RunResult run(const std::vector<std::string>& args, testutil::RunOptions options = {}) {
    return tab_.run(args, options);
  }
  TabulonCopy tab_;
};

TEST_F(CliTest, GoldenOutputAtWidths10And3) {
  writeGoldenBook(work() / "Golden.xlsx");
  for (const char* width : {"10", "3"}) {
    SCOPED_TRACE(width);
    setWidth(std::stoi(width));
    RunResult r = run({"Golden.xlsx"});
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ("Done! - zz_Golden\n", r.out);
    EXPECT_EQ("", r.err);
    const fs::path golden = testutil::sourceDir() / "tests" / "golden" / (std::string("w") + width);
    EXPECT_EQ(tree(golden), tree(work() / "zz_Golden"));
    for (const std::string& name : tree(golden)) {
      SCOPED_TRACE(name);
      EXPECT_EQ(readFile(golden / name), readFile(work() / "zz_Golden" / name));
    }
  }
}

TEST_F(CliTest, PathsAreHandledInOrderAndSkipsAreReported) {
  setWidth(3);
  writeBook(work() / "a.xlsx", "a");
  writeBook(work() / "In" / "b.xlsx", "b");
  writeFile(work() / "empty.xlsx", "");
  writeFile(work() / "notes.txt", "text");
  writeBook(work() / "Mixed.Xlsx", "m");
  RunResult r = run({"a.xlsx", "missing.xlsx", "empty.xlsx", "In", "notes.txt", "Mixed.Xlsx"});
  EXPECT_EQ(1, r.status);
  EXPECT_EQ("Done! - zz_a\nDone! - zz_In\n", r.out);
  EXPECT_EQ("Skipped: no such file or folder: missing.xlsx\n"
            "Skipped: empty file: empty.xlsx\n"
            "Skipped: not an .xlsx workbook: notes.txt\n"
            "Skipped: not an .xlsx workbook: Mixed.Xlsx\n",
            r.err);
  EXPECT_EQ(oneCell3("a"), readFile(work() / "zz_a" / "Sheet1.txt"));
  EXPECT_EQ(oneCell3("b"), readFile(work() / "zz_In" / "b" / "Sheet1.txt"));
  EXPECT_FALSE(fs::exists(work() / "zz_empty"));
  EXPECT_FALSE(fs::exists(work() / "zz_notes"));
  EXPECT_FALSE(fs::exists(work() / "zz_Mixed"));
}

TEST_F(CliTest, FolderWalkSkipsQuietlyAndFollowsNoLinks) {
  setWidth(3);
  const fs::path in = work() / "In";
  writeBook(in / "Report.XLSX", "R");
  writeBook(in / ".hidden.xlsx", "h");
  writeBook(in / "Old.xls", "o");
  writeFile(in / "Zero.xlsx", "");
  writeBook(in / "deep" / "er" / "Deep.xlsx", "d");
  writeBook(work() / "outside" / "Linked.xlsx", "l");
  fs::create_symlink(work() / "outside" / "Linked.xlsx", in / "FileLink.xlsx");
  fs::create_directory_symlink(work() / "outside", in / "FolderLink");
  RunResult r = run({"In/"});
  EXPECT_EQ(0, r.status) << r.err;
  EXPECT_EQ("Done! - zz_In\n", r.out);
  EXPECT_EQ("", r.err);
  EXPECT_EQ((std::vector<std::string>{"Deep/", "Deep/Sheet1.txt", "Report/", "Report/Sheet1.txt",
                                      "hidden/", "hidden/Sheet1.txt"}),
            tree(work() / "zz_In"));
}

// A folder the user may not list is passed over without a word.
TEST_F(CliTest, UnlistableFolderIsSkippedSilently) {
  setWidth(3);
  const fs::path in = work() / "In";
  writeBook(in / "a.xlsx", "a");
  writeBook(in / "locked" / "b.xlsx", "b");
  for (const fs::path& p : {work(), in, work() / "temp"}) {
    fs::create_directories(p);
    fs::permissions(p, fs::perms::all);
  }
  fs::permissions(in / "a.xlsx", fs::perms::all);
  fs::permissions(in / "locked", fs::perms::none);
  testutil::RunOptions options;
  options.asNobody = true;  // root would list it anyway
  options.env = {"TEMP=" + (work() / "temp").string(), "TMPDIR=" + (work() / "temp").string()};
  RunResult r = run({"In"}, options);
  fs::permissions(in / "locked", fs::perms::owner_all);
  EXPECT_EQ(0, r.status) << r.err;
  EXPECT_EQ("Done! - zz_In\n", r.out);
  EXPECT_EQ("", r.err);
  EXPECT_EQ((std::vector<std::string>{"a/", "a/Sheet1.txt"}), tree(work() / "zz_In"));
}

// Book.xlsx in two sub-folders: each keeps its own output folder, the names
// follow the walk (files first, then sub-folders, the last first) and a
// re-run overwrites the same files instead of mixing them.
TEST_F(CliTest, WalkOrderNamesCollisionsAndReRunsOverwrite) {
  setWidth(3);
  const fs::path in = work() / "In";
  writeBook(in / "Book.xlsx", "top");
  writeBook(in / "a" / "Book.xlsx", "a", "First");
  writeBook(in / "b" / "Book.xlsx", "b", "Second");
  writeFile(work() / "zz_In" / "Book" / "Sheet1.txt", std::string(100, 'x'));
  for (int i = 0; i < 2; ++i) {
    RunResult r = run({"In"});
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ((std::vector<std::string>{"Book/", "Book/Sheet1.txt", "Book_2/", "Book_2/Second.txt",
                                        "Book_3/", "Book_3/First.txt"}),
              tree(work() / "zz_In"));
    EXPECT_EQ(oneCell3("top"), readFile(work() / "zz_In" / "Book" / "Sheet1.txt"));
    EXPECT_EQ(oneCell3("b"), readFile(work() / "zz_In" / "Book_2" / "Second.txt"));
  }
}

// Every read extracts the package into a fresh extraction folder; a workbook
// is read once (its sheet names and all its sheets together), not once more
// per sheet.
TEST_F(CliTest, EachWorkbookIsReadOnceWhateverItsSheetCount) {
  testutil::WorkbookSpec spec;
  for (const char* name : {"A", "B", "C", "D", "E"}) {
    spec.sheets.push_back({name, testutil::sheetXml("", "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>")});
  }
  testutil::XlsxFixture::write(work() / "Book.xlsx", testutil::minimalWorkbook(spec));
  const fs::path temp = work() / "temp";
  fs::create_directories(temp);
  int watch = inotify_init1(IN_NONBLOCK);
  ASSERT_GE(watch, 0);
  // Deletions are watched too: identical events in a row would merge into one.
  ASSERT_GE(inotify_add_watch(watch, temp.c_str(), IN_CREATE | IN_DELETE), 0);
  testutil::RunOptions options;
  options.env = {"TEMP=" + temp.string(), "TMPDIR=" + temp.string()};
  RunResult r = run({"Book.xlsx"}, options);
  EXPECT_EQ(0, r.status) << r.err;
  EXPECT_EQ(5u, tree(work() / "zz_Book").size());

  int extractions = 0;
  alignas(inotify_event) char buf[8192];
  for (ssize_t n; (n = read(watch, buf, sizeof buf)) > 0;) {
    for (char* p = buf; p < buf + n;) {
      auto* event = reinterpret_cast<inotify_event*>(p);
      if ((event->mask & IN_CREATE) && (event->mask & IN_ISDIR) && event->len > 0 && std::string(event->name) == "xlsx_varno_tmp") {
        ++extractions;
      }
      p += sizeof(inotify_event) + event->len;
    }
  }
  close(watch);
  EXPECT_EQ(1, extractions);
}

// A sheet name is a file name inside the workbook's output folder, never a
// path out of it.
TEST_F(CliTest, SheetNamesNeverLeaveTheOutputFolder) {
  setWidth(3);
  testutil::WorkbookSpec spec;
  const std::string cell = "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>";
  spec.sheets = {{"../evil", testutil::sheetXml("", cell)},
                 {"..", testutil::sheetXml("", cell)},
                 {"Q1/Q2", testutil::sheetXml("", cell)}};
  testutil::XlsxFixture::write(work() / "In" / "Book.xlsx", testutil::minimalWorkbook(spec));
  RunResult r = run({"In/Book.xlsx"});
  EXPECT_EQ(0, r.status) << r.err;
  EXPECT_EQ((std::vector<std::string>{"In/", "In/Book.xlsx", "In/zz_Book/", "In/zz_Book/.._evil.txt",
                                      "In/zz_Book/Q1_Q2.txt", "In/zz_Book/__.txt"}),
            tree(work()));
}

// The first error ends the run: what was written before stays, later
// workbooks and later PATHs are not converted.
TEST_F(CliTest, ErrorEndsTheRunAndKeepsEarlierOutput) {
  setWidth(3);
  const fs::path in = work() / "In";
  writeBook(in / "1.xlsx", "1");
  writeFile(in / "2.xlsx", "lock file of an open workbook");
  writeBook(in / "3.xlsx", "3");
  writeBook(in / "sub" / "4.xlsx", "4");
  writeBook(work() / "later.xlsx", "l");
  RunResult r = run({"In", "later.xlsx"});
  EXPECT_EQ(1, r.status);
  EXPECT_EQ("", r.out);
  EXPECT_EQ("Error: [ZIP] Can't open xlsx file: In/2.xlsx [InvalidXlsxFileError]\n", r.err);
  EXPECT_EQ((std::vector<std::string>{"1/", "1/Sheet1.txt", "2/"}), tree(work() / "zz_In"));
  EXPECT_FALSE(fs::exists(work() / "zz_later"));
}

TEST_F(CliTest, ErrorRows) {
  writeBook(work() / "Book.xlsx", "v", "Sheet1");
  testutil::WorkbookSpec two;
  two.sheets = {{"One", testutil::sheetXml("", "")}, {"Two", testutil::sheetXml("", "")}};
  testutil::XlsxFixture::write(work() / "Two.xlsx", testutil::minimalWorkbook(two));
  testutil::WorkbookSpec bad;
  bad.sheets = {{"S", testutil::sheetXml("", "<row r=\"1\"><c r=\"A1\" t=\"x\"><v>1</v></c></row>")}};
  testutil::XlsxFixture::write(work() / "Kind.xlsx", testutil::minimalWorkbook(bad));
  writeFile(work() / "zz_Blocked", "a file where the output folder goes");
  writeBook(work() / "Blocked.xlsx", "v");
  fs::create_directories(work() / "zz_Two" / "Two.txt");

  struct Case {
    const char* label;
    int width;
    std::string path;
    std::string err;
    std::vector<std::string> outputs;  // of zz_<base> afterwards
  } cases[] = {
      {"negative width", -1, "Book.xlsx", "Error: value out of range: -1 [RangeError]\n", {}},
      {"not a package", 10, "Lock.xlsx",
       "Error: [ZIP] Can't open xlsx file: Lock.xlsx [InvalidXlsxFileError]\n", {}},
      {"unknown cell kind", 10, "Kind.xlsx",
       "Error: unsupport sheet data kind [UnKnownSheetDataKindError]\n", {}},
      {"file in the way of the folder", 10, "Blocked.xlsx",
       "Error: Failed to create 'zz_Blocked' [IOError]\n", {}},
      {"output file not writable", 10, "Two.xlsx",
       "Error: cannot open: zz_Two/Two.txt [IOError]\n", {"One.txt", "Two.txt/"}},
  };
  writeFile(work() / "Lock.xlsx", "~$ lock");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    setWidth(c.width);
    RunResult r = run({c.path});
    EXPECT_EQ(1, r.status);
    EXPECT_EQ("", r.out);
    EXPECT_EQ(c.err, r.err);
    if (c.path != "Blocked.xlsx") {
      EXPECT_EQ(c.outputs, tree(work() / ("zz_" + c.path.substr(0, c.path.find('.')))));
    }
  }
}

TEST_F(CliTest, OptionsAndUsage) {
  RunResult r = run({"--version"});
  EXPECT_EQ(0, r.status);
  EXPECT_EQ("Tabulon 20.08.11\n", r.out);
  r = run({"--help"});
  EXPECT_EQ(0, r.status);
  EXPECT_EQ(0u, r.out.find("usage: tabulon [--help] [--version] [PATH...]\n"));
  r = run({"--frobnicate", "x.xlsx"});
  EXPECT_EQ(2, r.status);
  EXPECT_EQ("", r.out);
  EXPECT_NE(std::string::npos, r.err.find("usage: tabulon")) << r.err;
  // "--" ends the options: a file may start with a dash.
  writeBook(work() / "-dash.xlsx", "d");
  r = run({"--", "-dash.xlsx"});
  EXPECT_EQ(0, r.status) << r.err;
  EXPECT_EQ("Done! - zz_-dash\n", r.out);
}

// One progress line per workbook on a terminal, nothing when stderr is a pipe.
TEST_F(CliTest, ProgressOnlyOnATerminal) {
  writeBook(work() / "In" / "a.xlsx", "a");
  testutil::WorkbookSpec two;
  two.sheets = {{"One", testutil::sheetXml("", "")}, {"Two", testutil::sheetXml("", "")}};
  testutil::XlsxFixture::write(work() / "In" / "b.xlsx", testutil::minimalWorkbook(two));
  RunResult piped = run({"In"});
  EXPECT_EQ(0, piped.status);
  EXPECT_EQ("", piped.err);
  testutil::RunOptions onTerminal;
  onTerminal.onTerminal = true;
  RunResult shown = run({"In"}, onTerminal);
  EXPECT_EQ(0, shown.status);
  EXPECT_EQ("converting In/a.xlsx: 1 sheet\r\nconverting In/b.xlsx: 2 sheets\r\nDone! - zz_In\r\n",
            shown.out);
}

}  // namespace
