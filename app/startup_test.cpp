#include "app/startup.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "convert/batch.h"
#include "testutil.h"

namespace tabulon {
namespace {

using testutil::readFile;
using testutil::ScopedTempDir;
using testutil::writeFile;

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) setenv(name, value, 1); else unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_) setenv(name_, old_->c_str(), 1); else unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(ReadCellWidth, Values) {
  struct Case {
    const char* content;
    int32_t expected;  // 77: left unchanged
  } cases[] = {
      {"cell_width_characters=20", 20},
      {"cell_width_characters=8", 8},
      {"cell_width_characters=+12", 12},
      {"cell_width_characters=1_5", 15},
      {"cell_width_characters=0", 0},
      {"cell_width_characters=-3", -3},
      {"cell_width_characters=2147483647", 2147483647},
      {"cell_width_characters=-2147483648", -2147483648},
      {"# width\nother=1\ncell_width_characters = 6\n", 6},
      {"cell_width_characters=abc", 77},
      {"cell_width_characters=12abc", 77},
      {"cell_width_characters=2147483648", 77},
      {"cell_width_characters=", 77},
      {"cell_width_characters=_1", 77},
      {"other=5", 77},
      {"[window]\ncell_width_characters=5", 77},
      {"", 77},
  };
  ScopedTempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.content);
    writeFile(dir / "config.txt", c.content);
    cellWidth = 77;
    readCellWidthFrom((dir / "config.txt").string());
    EXPECT_EQ(c.expected, cellWidth);
  }
  cellWidth = 10;
}

TEST(ReadCellWidth, MissingFileKeepsTheWidth) {
  ScopedTempDir dir;
  cellWidth = 33;
  readCellWidthFrom((dir / "absent.txt").string());
  EXPECT_EQ(33, cellWidth);
  cellWidth = 10;
}

TEST(EnsureConfigFile, RewritesOnlyWhatIsMissingOrUnusable) {
  struct Case {
    const char* label;
    const char* before;    // nullptr: no file
    const char* after;
  } cases[] = {
      {"missing", nullptr, "cell_width_characters=10"},
      {"same length kept", "cell_width_characters=20", "cell_width_characters=20"},
      {"other length kept", "cell_width_characters=8", "cell_width_characters=8"},
      {"comments and more keys kept", "# mine\ncell_width_characters = 1_2\nx=y\n",
       "# mine\ncell_width_characters = 1_2\nx=y\n"},
      {"not an integer", "cell_width_characters=abc", "cell_width_characters=10"},
      {"out of range", "cell_width_characters=99999999999", "cell_width_characters=10"},
      {"key inside a section", "[s]\ncell_width_characters=12", "cell_width_characters=10"},
      {"empty value", "cell_width_characters=", "cell_width_characters=10"},
      {"empty file", "", "cell_width_characters=10"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ScopedTempDir dir;
    std::string path = (dir / "xlsx-to-txt-config.txt").string();
    if (c.before) writeFile(path, c.before);
    ensureConfigFileAt(path, kDefaultConfig);
    EXPECT_EQ(c.after, readFile(path));
  }
}

TEST(EnsureConfigFile, CreatesMissingFolders) {
  ScopedTempDir dir;
  std::string path = (dir / "a" / "b" / "conf.txt").string();
  ensureConfigFileAt(path, "k=1");
  EXPECT_EQ("k=1", readFile(path));
}

TEST(EnsureConfigFile, FolderThatCannotBeCreated) {
  ScopedTempDir dir;
  writeFile(dir / "file", "x");
  std::string folder = (dir / "file" / "sub").string();
  EXPECT_ERROR(ensureConfigFileAt(folder + "/conf.txt", "k=1"), "OSError",
               "Failed to create directory: " + folder);
}

TEST(ConfigFilePath, BesideTheExecutableOrInTheUserFolder) {
  ScopedTempDir dir;
  std::string exeFolder = dir.str();
  EXPECT_EQ(exeFolder + "/c.txt", configFilePathIn(exeFolder, "c.txt"));

  // A folder the user cannot write to (here: one that does not exist).
  std::string locked = (dir / "locked").string();
  {
    ScopedEnv xdg("XDG_CONFIG_HOME", (dir / "xdg").c_str());
    EXPECT_EQ(dir.str() + "/xdg/tabulon/c.txt", configFilePathIn(locked, "c.txt"));
  }
  {
    ScopedEnv xdg("XDG_CONFIG_HOME", "relative/ignored");
    ScopedEnv home("HOME", (dir / "home").c_str());
    EXPECT_EQ(dir.str() + "/home/.config/tabulon/c.txt", configFilePathIn(locked, "c.txt"));
  }
}

}  // namespace
}  // namespace tabulon
