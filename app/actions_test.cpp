#include "app/actions.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/faketoolkit.h"
#include "app/mainwindow.h"
#include "testutil.h"
#include "xlsxfixture.h"

namespace tabulon {
namespace {

namespace fs = std::filesystem;
using faketk::FakeToolkit;

std::tm clockAt(int hour, int minute, int second) {
  std::tm t{};
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  return t;
}

TEST(StatusMessage, BlankTextDashAndTwoDigitClock) {
  struct Case {
    std::string text;
    std::tm time;
    std::string expected;
  };
  const Case cases[] = {
      {"Done! - /data/zz_In", clockAt(9, 5, 7), " Done! - /data/zz_In - 09:05:07"},
      {"Done! - x", clockAt(0, 0, 0), " Done! - x - 00:00:00"},
      {"Done! - x", clockAt(23, 59, 59), " Done! - x - 23:59:59"},
      {"", clockAt(12, 30, 1), "  - 12:30:01"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, statusMessage(c.text, c.time)) << c.text;
}

// Conversions that record what they were asked to do; `during` runs inside
// each conversion (to report progress or to fail).
struct Recorder {
  std::vector<std::string> calls;
  WorkbookOutcome outcome = WorkbookOutcome::converted;
  std::function<void(const std::string&, const BatchProgress&)> during;

  Conversions conversions() {
    Conversions c;
    c.readCellWidth = [this] { calls.push_back("width"); };
    c.convertWorkbook = [this](const std::string& path, const std::string& out,
                               const BatchProgress& progress) {
      calls.push_back("file " + path + " -> " + out);
      if (during) during(path, progress);
      return outcome;
    };
    c.convertFolder = [this](const std::string& folder, const std::string& out,
                             const BatchProgress& progress) {
      calls.push_back("folder " + folder + " -> " + out);
      if (during) during(folder, progress);
    };
    return c;
  }
};

// The whole window on the fake toolkit, with the clock fixed at 09:05:07.
class WindowActions : public ::testing::Test {
 protected:
  void SetUp() override {
    window = buildMainWindow(toolkit, recorder.conversions(), [] { return clockAt(9, 5, 7); });
  }
  void clickSelectFolder() { toolkit.button(0).click(); }
  void clickSelectFile() { toolkit.button(1).click(); }
  void dropFiles(std::vector<std::string> files) {
    toolkit.textBox().drop(DropData{true, std::move(files)});
  }
  const std::string& status() { return toolkit.frame().status; }
  void expectUntouched() {
    EXPECT_TRUE(recorder.calls.empty());
    EXPECT_EQ(kVersionStatus, status());
    EXPECT_TRUE(toolkit.errorBoxes.empty());
  }

  FakeToolkit toolkit;
  Recorder recorder;
  std::unique_ptr<MainWindow> window;
  testutil::ScopedTempDir dir;
};

TEST_F(WindowActions, SelectFolderCancelledOrEmptyDoesNothing) {
  toolkit.folderAnswers = {std::nullopt, std::string()};
  clickSelectFolder();
  clickSelectFolder();
  expectUntouched();
  EXPECT_EQ((std::vector<std::string>{"folder Select a directory (owned)",
                                      "folder Select a directory (owned)"}),
            toolkit.dialogs);
}

TEST_F(WindowActions, SelectFolderConvertsIntoZzSiblingAndReportsIt) {
  toolkit.folderAnswers = {std::string("/data/In")};
  clickSelectFolder();
  EXPECT_EQ((std::vector<std::string>{"width", "folder /data/In -> /data/zz_In"}), recorder.calls);
  EXPECT_EQ(" Done! - /data/zz_In - 09:05:07", status());
}

TEST_F(WindowActions, SelectFileCancelledOrWithoutPathDoesNothing) {
  toolkit.fileAnswers = {std::nullopt, std::vector<std::string>{}};
  clickSelectFile();
  clickSelectFile();
  expectUntouched();
  EXPECT_EQ("file Select a file *.* (owned)", toolkit.dialogs.at(0));
}

TEST_F(WindowActions, SelectFileConvertsIntoZzFolderNamedAfterTheWorkbook) {
  toolkit.fileAnswers = {std::vector<std::string>{"/data/Book.xlsx", "/data/Other.xlsx"}};
  clickSelectFile();
  EXPECT_EQ((std::vector<std::string>{"width", "file /data/Book.xlsx -> /data/zz_Book"}),
            recorder.calls);
  EXPECT_EQ(" Done! - /data/zz_Book - 09:05:07", status());
}

TEST_F(WindowActions, SkippedFileIsReportedAsSkippedNotDone) {
  const std::pair<WorkbookOutcome, std::string> cases[] = {
      {WorkbookOutcome::skippedEmpty, " Skipped (empty file) - /data/notes.xlsx - 09:05:07"},
      {WorkbookOutcome::skippedNotXlsx,
       " Skipped (not an .xlsx workbook) - /data/notes.xlsx - 09:05:07"},
  };
  for (const auto& [outcome, expected] : cases) {
    recorder.outcome = outcome;
    toolkit.fileAnswers = {std::vector<std::string>{"/data/notes.xlsx"}};
    clickSelectFile();
    EXPECT_EQ(expected, status());
  }
}

TEST_F(WindowActions, DragEnterAlwaysOffersCopy) {
  EXPECT_EQ(DropEffect::copy, toolkit.textBox().dragEnter());
}

TEST_F(WindowActions, DropConvertsFilesAndFoldersInListOrderSkippingVanishedPaths) {
  testutil::writeFile(dir / "a.xlsx", "x");
  testutil::writeFile(dir / "b.xlsx", "x");
  fs::create_directory(dir / "In");
  std::string d = dir.str();
  dropFiles({d + "/a.xlsx", d + "/gone.xlsx", d + "/b.xlsx", d + "/In", d + "/gone"});
  EXPECT_EQ((std::vector<std::string>{
                "width", "file " + d + "/a.xlsx -> " + d + "/zz_a",
                "width", "file " + d + "/b.xlsx -> " + d + "/zz_b",
                "width", "folder " + d + "/In -> " + d + "/zz_In"}),
            recorder.calls);
  EXPECT_EQ((std::vector<std::string>{
                kVersionStatus, " Done! - " + d + "/zz_a - 09:05:07",
                " Done! - " + d + "/zz_b - 09:05:07", " Done! - " + d + "/zz_In - 09:05:07"}),
            toolkit.frame().statusHistory);
}

TEST_F(WindowActions, DropWithoutFileListDoesNothing) {
  testutil::writeFile(dir / "a.xlsx", "x");
  toolkit.textBox().drop(DropData{false, {(dir / "a.xlsx").string()}});
  expectUntouched();
}

TEST_F(WindowActions, ProgressNamesEachWorkbookAndIsRepaintedAtOnce) {
  recorder.during = [](const std::string&, const BatchProgress& progress) {
    progress.workbookStarted("/data/In/one.xlsx");
    progress.workbookStarted("/data/In/two.xlsx");
  };
  toolkit.folderAnswers = {std::string("/data/In")};
  clickSelectFolder();
  EXPECT_EQ((std::vector<std::string>{" Converting /data/In/one.xlsx ...",
                                      " Converting /data/In/two.xlsx ..."}),
            toolkit.frame().repaintedWith);
  EXPECT_EQ(" Done! - /data/zz_In - 09:05:07", status());
}

TEST_F(WindowActions, ErrorShowsTheBoxStopsTheDropAndKeepsTheStatus) {
  testutil::writeFile(dir / "a.xlsx", "x");
  testutil::writeFile(dir / "b.xlsx", "x");
  recorder.during = [](const std::string& path, const BatchProgress& progress) {
    progress.workbookStarted(path);
    throw IOError("cannot open: " + path);
  };
  std::string a = (dir / "a.xlsx").string();
  dropFiles({a, (dir / "b.xlsx").string()});

  ASSERT_EQ(1u, toolkit.errorBoxes.size());
  EXPECT_EQ(&toolkit.frame(), toolkit.errorBoxes[0].owner);
  EXPECT_EQ("Error: unhandled exception", toolkit.errorBoxes[0].caption);
  EXPECT_EQ("cannot open: " + a + " [IOError]", toolkit.errorBoxes[0].text);
  EXPECT_EQ(2u, recorder.calls.size());  // b.xlsx was not started
  EXPECT_EQ(kVersionStatus, status());

  // The window goes on working.
  recorder.during = nullptr;
  toolkit.folderAnswers = {std::string("/data/In")};
  clickSelectFolder();
  EXPECT_EQ(" Done! - /data/zz_In - 09:05:07", status());
}

TEST_F(WindowActions, ErrorsOutsideTheErrorModelAreShownToo) {
  recorder.during = [](const std::string&, const BatchProgress&) {
    throw std::runtime_error("out of luck");
  };
  toolkit.folderAnswers = {std::string("/data/In")};
  clickSelectFolder();
  ASSERT_EQ(1u, toolkit.errorBoxes.size());
  EXPECT_EQ("out of luck [Exception]", toolkit.errorBoxes[0].text);
}

// The real batch driver behind the actions.
TEST(ActionsWithBatchDriver, DropConvertsWorkbooksAndReportsSkippedFiles) {
  testutil::ScopedTempDir dir;
  testutil::WorkbookSpec spec;
  spec.sheets = {{"Data", testutil::sheetXml("A1:A1", "<row r=\"1\"><c r=\"A1\"><v>7</v></c></row>")}};
  testutil::XlsxFixture::write(dir / "Book.xlsx", testutil::minimalWorkbook(spec));
  testutil::writeFile(dir / "notes.txt", "text");
  testutil::writeFile(dir / "empty.xlsx", "");
  std::string d = dir.str();

  FakeToolkit toolkit;
  auto window = buildMainWindow(toolkit, batchConversions(), [] { return clockAt(9, 5, 7); });
  toolkit.textBox().drop(DropData{true, {d + "/Book.xlsx", d + "/notes.txt", d + "/empty.xlsx"}});

  EXPECT_TRUE(toolkit.errorBoxes.empty());
  EXPECT_TRUE(fs::is_regular_file(dir / "zz_Book" / "Data.txt"));
  EXPECT_FALSE(fs::exists(dir / "zz_notes"));
  EXPECT_FALSE(fs::exists(dir / "zz_empty"));
  EXPECT_EQ((std::vector<std::string>{
                kVersionStatus, " Converting " + d + "/Book.xlsx ...",
                " Done! - " + d + "/zz_Book - 09:05:07",
                " Skipped (not an .xlsx workbook) - " + d + "/notes.txt - 09:05:07",
                " Skipped (empty file) - " + d + "/empty.xlsx - 09:05:07"}),
            toolkit.frame().statusHistory);
}

}  // namespace
}  // namespace tabulon
