// The configuration file beside the executable, end to end: what start-up
// leaves in it and which width the next conversion uses.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "clirunner.h"
#include "testutil.h"
#include "xlsxfixture.h"

namespace fs = std::filesystem;

namespace {

using testutil::readFile;
using testutil::RunResult;
using testutil::TabulonCopy;
using testutil::writeFile;

void writeBook(const fs::path& path) {
  testutil::WorkbookSpec spec;
  spec.sheets = {{"S", testutil::sheetXml("", "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is>"
                                             "<t>abcdefghijklmnopqrstuvwxyz</t></is></c></row>")}};
  testutil::XlsxFixture::write(path, testutil::minimalWorkbook(spec));
}

// The width the last conversion used, read back from its rule line.
int usedWidth(const fs::path& work) {
  std::string text = readFile(work / "zz_Book" / "S.txt");
  return static_cast<int>(text.find('\n')) - 2;
}

TEST(CliConfig, StartUpKeepsUsableSettingsAndRewritesTheRest) {
  struct Case {
    const char* label;
    const char* before;  // nullptr: no file
    const char* after;
    int width;
  } cases[] = {
      {"missing: created with the default", nullptr, "cell_width_characters=10", 10},
      {"same length kept", "cell_width_characters=20", "cell_width_characters=20", 20},
      {"other length kept", "cell_width_characters=8", "cell_width_characters=8", 8},
      {"sign and underscore", "cell_width_characters=+1_2\n", "cell_width_characters=+1_2\n", 12},
      {"letters", "cell_width_characters=wide", "cell_width_characters=10", 10},
      {"number and letters", "cell_width_characters=12px", "cell_width_characters=10", 10},
      {"beyond 32 bits", "cell_width_characters=4294967296", "cell_width_characters=10", 10},
      {"key after a section header", "[layout]\ncell_width_characters=4", "cell_width_characters=10",
       10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    TabulonCopy tab;
    writeBook(tab.work() / "Book.xlsx");
    if (c.before) writeFile(tab.config(), c.before);
    RunResult r = tab.run({"Book.xlsx"});
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ(c.after, readFile(tab.config()));
    EXPECT_EQ(c.width, usedWidth(tab.work()));
  }
}

// The file beside the executable counts, not one in the working directory.
TEST(CliConfig, FoundThroughTheExecutablesPath) {
  TabulonCopy tab;
  writeBook(tab.work() / "Book.xlsx");
  writeFile(tab.work() / "xlsx-to-txt-config.txt", "cell_width_characters=3");
  writeFile(tab.config(), "cell_width_characters=5");
  RunResult r = tab.run({"Book.xlsx"});
  EXPECT_EQ(0, r.status) << r.err;
  EXPECT_EQ(5, usedWidth(tab.work()));
}

// An installed program whose folder the user cannot write to keeps its
// configuration in the user's configuration folder instead.
class CliConfigReadOnlyInstall : public ::testing::Test {
 protected:
  void SetUp() override {
    // Everything the unprivileged child touches must be open to it.
    for (const fs::path& p : {tab_.work(), shared_ / "xdg", shared_ / "tmp"}) {
      fs::create_directories(p);
      fs::permissions(p, fs::perms::all);
    }
    fs::permissions(shared_.path(), fs::perms::all);
    fs::permissions(tab_.folder().parent_path(), fs::perms::all);
    writeBook(tab_.work() / "Book.xlsx");
    fs::permissions(tab_.work() / "Book.xlsx", fs::perms::all);
  }
  void TearDown() override {
    fs::permissions(tab_.folder(), fs::perms::owner_all, fs::perm_options::add);
  }
  void lockExecutableFolder() {
    fs::permissions(tab_.folder(), fs::perms::owner_read | fs::perms::owner_exec |
                                       fs::perms::group_read | fs::perms::group_exec |
                                       fs::perms::others_read | fs::perms::others_exec);
  }
  RunResult runUnprivileged(const std::string& xdg) {
    testutil::RunOptions options;
    options.asNobody = true;
    options.env = {"XDG_CONFIG_HOME=" + xdg, "TEMP=" + (shared_ / "tmp").string(),
                   "TMPDIR=" + (shared_ / "tmp").string()};
    return tab_.run({"Book.xlsx"}, options);
  }
  TabulonCopy tab_;
  testutil::ScopedTempDir shared_;
};

TEST_F(CliConfigReadOnlyInstall, FallsBackToTheUserFolder) {
  lockExecutableFolder();
  const std::string xdg = (shared_ / "xdg").string();
  RunResult r = runUnprivileged(xdg);
  EXPECT_EQ(0, r.status) << r.err;
  EXPECT_FALSE(fs::exists(tab_.config()));
  EXPECT_EQ("cell_width_characters=10", readFile(shared_ / "xdg" / "tabulon" / "xlsx-to-txt-config.txt"));
  EXPECT_EQ(10, usedWidth(tab_.work()));

  writeFile(shared_ / "xdg" / "tabulon" / "xlsx-to-txt-config.txt", "cell_width_characters=4");
  r = runUnprivileged(xdg);
  EXPECT_EQ(0, r.status) << r.err;
  EXPECT_EQ(4, usedWidth(tab_.work()));
}

TEST_F(CliConfigReadOnlyInstall, AFileBesideTheExecutableStillWins) {
  writeFile(tab_.config(), "cell_width_characters=6");
  lockExecutableFolder();
  RunResult r = runUnprivileged((shared_ / "xdg").string());
  EXPECT_EQ(0, r.status) << r.err;
  EXPECT_EQ(6, usedWidth(tab_.work()));
  EXPECT_FALSE(fs::exists(shared_ / "xdg" / "tabulon"));
}

TEST_F(CliConfigReadOnlyInstall, StartUpErrors) {
  lockExecutableFolder();
  writeFile(shared_ / "xdg" / "blocker", "not a folder");
  RunResult r = runUnprivileged((shared_ / "xdg" / "blocker").string());
  EXPECT_EQ(1, r.status);
  EXPECT_EQ("Error: Failed to create directory: " + (shared_ / "xdg" / "blocker" / "tabulon").string() +
                " [OSError]\n",
            r.err);
  EXPECT_FALSE(fs::exists(tab_.work() / "zz_Book"));
}

// A configuration file that exists but cannot be opened is the one failure
// that is not silent.
TEST_F(CliConfigReadOnlyInstall, UnreadableFileIsAnError) {
  writeFile(tab_.config(), "cell_width_characters=6");
  fs::permissions(tab_.config(), fs::perms::none);
  lockExecutableFolder();
  RunResult r = runUnprivileged((shared_ / "xdg").string());
  EXPECT_EQ(1, r.status);
  EXPECT_EQ("Error: cannot open: " + tab_.config().string() + " [IOError]\n", r.err);
}

}  // namespace
