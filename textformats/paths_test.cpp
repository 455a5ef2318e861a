#include "textformats/paths.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "testutil.h"

namespace tabulon {
namespace {

namespace fs = std::filesystem;

const std::string kUnicodeName = "\xC3\x9C" "bersicht \xE2\x82\xAC.xlsx";  // Übersicht €.xlsx

TEST(PathsTest, Utf8TextsSurviveTheRoundTripAndReachTheFileSystem) {
  testutil::ScopedTempDir dir;
  const std::string utf8 = utf8FromPath(dir.path()) + "/" + kUnicodeName;
  EXPECT_EQ(utf8, utf8FromPath(pathFromUtf8(utf8)));
  EXPECT_EQ(kUnicodeName, utf8FromPath(pathFromUtf8(utf8).filename()));

  std::FILE* f = openFile(utf8, "wb");
  ASSERT_NE(nullptr, f);
  std::fputs("x", f);
  std::fclose(f);
  EXPECT_EQ("x", testutil::readFile(pathFromUtf8(utf8)));
  EXPECT_EQ(nullptr, openFile(utf8FromPath(dir.path()) + "/missing/file", "rb"));
}

TEST(PathsTest, EntriesAreClassifiedByThemselvesNeverByWhatTheyPointAt) {
  testutil::ScopedTempDir dir;
  testutil::writeFile(dir / "file", "f");
  fs::create_directory(dir / "folder");
  fs::create_directory_symlink(dir / "folder", dir / "folder-link");
  fs::create_symlink(dir / "file", dir / "file-link");
  fs::create_symlink(dir / "gone", dir / "dangling-link");
  ASSERT_EQ(0, ::mkfifo((dir / "pipe").c_str(), 0600));
  const struct {
    const char* name;
    EntryClass expected;
  } cases[] = {
      {"file", EntryClass::file},          {"folder", EntryClass::directory},
      {"folder-link", EntryClass::link},   {"file-link", EntryClass::link},
      {"dangling-link", EntryClass::link}, {"pipe", EntryClass::other},
      {"missing", EntryClass::missing},
  };
  for (const auto& c : cases) {
    std::error_code ec;
    EXPECT_EQ(c.expected, classifyEntry(dir / c.name, ec)) << c.name;
    EXPECT_FALSE(ec) << c.name;
  }
}

TEST(PathsTest, RemovingTakesTheLinkNotItsTargetAndAGoneEntryIsNoError) {
  testutil::ScopedTempDir dir;
  testutil::writeFile(dir / "folder" / "keep", "k");
  fs::create_directory_symlink(dir / "folder", dir / "link");
  std::error_code ec;
  EXPECT_TRUE(removeEntry(dir / "link", EntryClass::link, ec));
  EXPECT_TRUE(fs::exists(dir / "folder" / "keep"));
  EXPECT_TRUE(removeEntry(dir / "link", EntryClass::link, ec));  // already gone
  EXPECT_FALSE(ec);
  EXPECT_FALSE(removeEntry(dir / "folder", EntryClass::directory, ec));  // not empty
  EXPECT_TRUE(ec);
}

TEST(PathsTest, EnvironmentValuesTellUnsetFromEmpty) {
  ::setenv("TABULON_PATHS_TEST", "", 1);
  EXPECT_EQ(std::optional<std::string>(""), environmentValue("TABULON_PATHS_TEST"));
  ::setenv("TABULON_PATHS_TEST", "C:\\Temp\\\xC3\xBC", 1);
  EXPECT_EQ(std::optional<std::string>("C:\\Temp\\\xC3\xBC"), environmentValue("TABULON_PATHS_TEST"));
  ::unsetenv("TABULON_PATHS_TEST");
  EXPECT_EQ(std::nullopt, environmentValue("TABULON_PATHS_TEST"));
}

}  // namespace
}  // namespace tabulon
