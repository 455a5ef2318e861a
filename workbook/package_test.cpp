#include "workbook/package.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <random>
#include <thread>

#include "testutil.h"
#include "workbook/xlsxerrors.h"
#include "xlsxfixture.h"

namespace tabulon {
namespace {

namespace fs = std::filesystem;
using testutil::XlsxFixture;
using testutil::XlsxPart;

// Every test extracts into a folder of its own, so that tests may run in
// parallel and the system-wide folder is never touched.
class PackageTest : public ::testing::Test {
 protected:
  void SetUp() override { setExtractionFolder((dir_ / "xlsx_varno_tmp").string()); }

  std::string folder() const { return extractionFolder(); }
  std::string book(const std::vector<XlsxPart>& parts, bool stored = false) {
    fs::path path = dir_ / "in" / "book.xlsx";
    XlsxFixture::write(path, parts, stored);
    return path.string();
  }

  testutil::ScopedTempDir dir_;
};

TEST(ExtractionFolder, FollowsTempThenTmpdirThenSlashTmp) {
  struct Case {
    const char* temp;
    const char* tmpdir;
    const char* expected;
  } cases[] = {
      {"/var/t", "/ignored", "/var/t/xlsx_varno_tmp"},
      {"/var/t/", nullptr, "/var/t/xlsx_varno_tmp"},
      {"", "/scratch", "/scratch/xlsx_varno_tmp"},
      {nullptr, "/scratch", "/scratch/xlsx_varno_tmp"},
      {nullptr, "", "/tmp/xlsx_varno_tmp"},
      {nullptr, nullptr, "/tmp/xlsx_varno_tmp"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.expected, extractionFolderFor(c.temp, c.tmpdir))
        << (c.temp ? c.temp : "(unset)") << " " << (c.tmpdir ? c.tmpdir : "(unset)");
  }
}

TEST(PartNames, ShortNameIsLastComponentWithoutExtension) {
  EXPECT_EQ("sheet1", shortPartName("/xl/worksheets/sheet1.xml"));
  EXPECT_EQ("workbook", shortPartName("/xl/workbook.xml"));
  EXPECT_EQ("sharedStrings", shortPartName("xl\\sharedStrings.xml"));
  EXPECT_EQ("workbook.xml", shortPartName("/xl/workbook.xml.rels"));
  EXPECT_EQ("noext", shortPartName("/a/noext"));
}

TEST(PartNames, PathJoinResolvesInsideTheFolderOnly) {
  const std::string f = "/x/f";
  EXPECT_EQ("/x/f/xl/workbook.xml", partPath(f, "/xl/workbook.xml", "b.xlsx"));
  EXPECT_EQ("/x/f/xl/worksheets/sheet1.xml", partPath(f, "xl/./a/../worksheets/sheet1.xml", "b"));
  EXPECT_EQ("/x/f/xl/s.xml", partPath(f, "xl\\s.xml", "b"));
  for (const char* bad : {"/../../secret.xml", "xl/../../secret.xml", "..", "/", "", "C:/x.xml"}) {
    EXPECT_ERROR(partPath(f, bad, "b.xlsx"), "InvalidXlsxFileError",
                 std::string("[ZIP] unsafe part name in b.xlsx: ") + bad);
  }
}

TEST(InflateLimits, DefaultsBothSidesOfEachLimit) {
  const InflateLimits d;
  const int64_t mib = 1024 * 1024;
  EXPECT_FALSE(inflateLimitExceeded(INT32_MAX, INT32_MAX, d));
  EXPECT_TRUE(inflateLimitExceeded(int64_t{INT32_MAX} + 1, INT32_MAX, d));
  // Below 100 MiB any ratio is fine; above it, 1000 to 1 is the most.
  EXPECT_FALSE(inflateLimitExceeded(100 * mib, 1, d));
  EXPECT_TRUE(inflateLimitExceeded(100 * mib + 1, 1, d));
  EXPECT_FALSE(inflateLimitExceeded(200 * mib, 209716, d));  // 200 MiB / 1000, rounded up
  EXPECT_TRUE(inflateLimitExceeded(200 * mib, 209715, d));
}

TEST_F(PackageTest, ExtractsEveryEntryCreatingItsFolders) {
  std::string file = book({{"[Content_Types].xml", "<Types/>"},
                           {"xl/worksheets/sheet1.xml", "<worksheet/>"},
                           {"docProps/", ""},
                           {"customXml/item1.xml", std::string(20000, 'x')}});
  extractXml(file);
  EXPECT_EQ("<Types/>", testutil::readFile(fs::path(folder()) / "[Content_Types].xml"));
  EXPECT_EQ("<worksheet/>", testutil::readFile(fs::path(folder()) / "xl/worksheets/sheet1.xml"));
  EXPECT_TRUE(fs::is_directory(fs::path(folder()) / "docProps"));
  EXPECT_EQ(20000u, fs::file_size(fs::path(folder()) / "customXml/item1.xml"));
  removeExtractionFolder();
  EXPECT_FALSE(fs::exists(folder()));
}

TEST_F(PackageTest, LeftoversOfAnEarlierReadAreClearedFirst) {
  testutil::writeFile(fs::path(folder()) / "xl/worksheets/sheet9.xml", "stale");
  extractXml(book({{"[Content_Types].xml", "<Types/>"}}));
  EXPECT_FALSE(fs::exists(fs::path(folder()) / "xl/worksheets/sheet9.xml"));
  EXPECT_TRUE(fs::exists(fs::path(folder()) / "[Content_Types].xml"));
}

// A link planted where the folder belongs must not lead the extraction elsewhere.
TEST_F(PackageTest, LinkInPlaceOfTheFolderIsReplacedNotFollowed) {
  const fs::path elsewhere = dir_ / "elsewhere";
  fs::create_directory(elsewhere);
  fs::create_directory_symlink(elsewhere, folder());
  extractXml(book({{"[Content_Types].xml", "<Types/>"}}));
  EXPECT_FALSE(fs::is_symlink(folder()));
  EXPECT_TRUE(fs::exists(fs::path(folder()) / "[Content_Types].xml"));
  EXPECT_TRUE(fs::is_empty(elsewhere));
  EXPECT_EQ(fs::perms::owner_all, fs::status(folder()).permissions() & fs::perms::all);
}

TEST_F(PackageTest, MissingFileOrFolderOrNonZipLeavesTheFolderUntouched) {
  testutil::writeFile(fs::path(folder()) / "keep.txt", "k");
  const std::string missing = (dir_ / "none.xlsx").string();
  EXPECT_ERROR(extractXml(missing), "NotExistsXlsxFileError", "No such xlsx file: " + missing);
  EXPECT_ERROR(extractXml(dir_.str()), "NotExistsXlsxFileError", "No such xlsx file: " + dir_.str());
  const std::string text = (dir_ / "text.xlsx").string();
  testutil::writeFile(text, "this is not a zip archive");
  EXPECT_ERROR(extractXml(text), "InvalidXlsxFileError", "[ZIP] Can't open xlsx file: " + text);
  EXPECT_TRUE(fs::exists(fs::path(folder()) / "keep.txt"));
}

TEST_F(PackageTest, UnsafeEntryNamesFailBeforeWritingAnything) {
  for (const char* name : {"../evil.xml", "xl/../../evil.xml", "/evil.xml", "C:evil.xml"}) {
    std::string file = book({{"[Content_Types].xml", "<Types/>"}, {name, "bad"}});
    EXPECT_ERROR(extractXml(file), "InvalidXlsxFileError",
                 "[ZIP] unsafe entry name in " + file + ": " + name);
    EXPECT_FALSE(fs::exists(dir_ / "evil.xml")) << name;
    EXPECT_FALSE(fs::exists(folder())) << name;
  }
}

// Sets the compression method of every entry, in the local headers and the
// central directory, to one libzip does not support.
std::string withUnsupportedMethod(std::string zip) {
  for (size_t at = zip.find("PK\x03\x04"); at != std::string::npos; at = zip.find("PK\x03\x04", at + 4)) {
    zip[at + 8] = 97;
  }
  for (size_t at = zip.find("PK\x01\x02"); at != std::string::npos; at = zip.find("PK\x01\x02", at + 4)) {
    zip[at + 10] = 97;
  }
  return zip;
}

// The pipe that hands an entry to a reader on another thread while it is
// extracted: every byte in order through a buffer smaller than the entry, and
// the writer never stuck whatever the reader does.
TEST(EntryPipe, HandsEveryByteOverAndNeverBlocksTheWriterForGood) {
  std::string bytes(300000, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>('a' + i * 7 % 26);
  auto feed = [&bytes](EntryPipe& pipe, bool close) {
    for (size_t at = 0; at < bytes.size(); at += 8192) {
      pipe.write(bytes.data() + at, std::min<size_t>(8192, bytes.size() - at));
    }
    if (close) pipe.close();
  };
  auto drain = [](InputStream& in) {
    std::string out;
    char buffer[5000];
    for (int32_t got; (got = in.read(buffer, sizeof buffer)) > 0;) out.append(buffer, got);
    return out;
  };
  {
    auto pipe = std::make_shared<EntryPipe>("whole", bytes.size(), 4096);
    std::unique_ptr<InputStream> in = pipe->reader();
    std::thread writer(feed, std::ref(*pipe), true);
    EXPECT_EQ(bytes, drain(*in));
    writer.join();
  }
  {
    // The reader stops early: the writer goes on alone.
    auto pipe = std::make_shared<EntryPipe>("dropped", bytes.size(), 4096);
    std::unique_ptr<InputStream> in = pipe->reader();
    std::thread writer(feed, std::ref(*pipe), true);
    char some[100];
    EXPECT_EQ(100, in->read(some, 100));
    in.reset();
    writer.join();
  }
  {
    // More than the entry declared, or a failed extraction: the reader gets an error.
    auto pipe = std::make_shared<EntryPipe>("short", 1000, 4096);
    std::unique_ptr<InputStream> in = pipe->reader();
    std::thread writer(feed, std::ref(*pipe), false);
    EXPECT_ERROR(drain(*in), "IOError", "cannot read: short");
    writer.join();
    EXPECT_TRUE(pipe->overflowed());
    auto aborted = std::make_shared<EntryPipe>("aborted", 10, 4096);
    std::unique_ptr<InputStream> waiting = aborted->reader();
    std::thread failing([&aborted] { aborted->abort(); });
    EXPECT_ERROR(drain(*waiting), "IOError", "cannot read: aborted");
    failing.join();
    EXPECT_FALSE(aborted->overflowed());
  }
}

TEST_F(PackageTest, EntryThatCannotBeOpenedFailsTheRead) {
  std::string file = book({{"[Content_Types].xml", "<Types/>"}, {"xl/a.xml", "<a/>"}}, true);
  testutil::writeFile(file, withUnsupportedMethod(testutil::readFile(file)));
  EXPECT_ERROR(extractXml(file), "InvalidXlsxFileError",
               "[ZIP] unreadable entry in " + file + ": [Content_Types].xml");
  EXPECT_FALSE(fs::exists(folder()));
}

TEST_F(PackageTest, DamagedEntryDataFailsTheReadInsteadOfShorteningThePart) {
  const std::string payload(5000, 'q');
  std::string file = book({{"xl/a.xml", payload}}, true);
  std::string zip = testutil::readFile(file);
  zip[zip.find(payload) + 100] = 'Z';  // the stored bytes no longer match the CRC
  testutil::writeFile(file, zip);
  EXPECT_ERROR(extractXml(file), "InvalidXlsxFileError",
               "[ZIP] unreadable entry in " + file + ": xl/a.xml");
  EXPECT_FALSE(fs::exists(folder()));
}

TEST_F(PackageTest, InflateGuardCountsInflatedBytes) {
  std::string noise(6000, ' ');
  std::mt19937 gen(7);
  for (char& ch : noise) ch = static_cast<char>('a' + gen() % 26);
  std::string file = book({{"noise.xml", noise}, {"zeros.xml", std::string(100000, '0')}});
  InflateLimits ratio;
  ratio.ratioFloorBytes = 10000;
  ratio.maxRatio = 20;
  EXPECT_ERROR(extractXml(file, ratio), "InvalidXlsxFileError",
               "[ZIP] entry too large in " + file + ": zeros.xml");
  EXPECT_FALSE(fs::exists(folder()));

  InflateLimits size;
  size.maxEntryBytes = 5999;
  EXPECT_ERROR(extractXml(file, size), "InvalidXlsxFileError",
               "[ZIP] entry too large in " + file + ": noise.xml");
  EXPECT_FALSE(fs::exists(folder()));

  size.maxEntryBytes = 100000;
  extractXml(file, size);
  EXPECT_EQ(noise, testutil::readFile(fs::path(folder()) / "noise.xml"));
}

TEST_F(PackageTest, FileWhereAFolderBelongsAndFolderWhereAFileBelongs) {
  std::string file = book({{"xl", "a file"}, {"xl/workbook.xml", "<workbook/>"}});
  EXPECT_ERROR(extractXml(file), "IOError", "Failed to create '" + folder() + "/xl'");
  EXPECT_FALSE(fs::exists(folder()));

  file = book({{"xl/", ""}, {"xl", "a file"}});
  EXPECT_ERROR(extractXml(file), "IOError", "Failed to create output file: " + folder() + "/xl");
  EXPECT_FALSE(fs::exists(folder()));
}

TEST_F(PackageTest, DirectoryThatCannotBeCreatedIsAnOSError) {
  const std::string longName(300, 'd');
  std::string file = book({{longName + "/x.xml", "x"}});
  EXPECT_ERROR(extractXml(file), "OSError",
               std::make_error_code(std::errc::filename_too_long).message() + ": " + folder() + "/" +
                   longName);
  EXPECT_FALSE(fs::exists(folder()));
}

TEST_F(PackageTest, FolderThatCannotBeRemovedIsAnOSError) {
  if (::geteuid() == 0) GTEST_SKIP() << "root may remove anything";
  const fs::path locked = fs::path(folder()) / "locked";
  testutil::writeFile(locked / "part.xml", "p");
  fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_ERROR(removeExtractionFolder(), "OSError",
               std::make_error_code(std::errc::permission_denied).message() + ": " +
                   (locked / "part.xml").string());
  fs::permissions(locked, fs::perms::owner_all);
}

TEST_F(PackageTest, LockFileFolderIsCreatedWhenMissing) {
  setExtractionFolder((dir_ / "new" / "temp" / "xlsx_varno_tmp").string());
  PackageSession session(book({{"[Content_Types].xml", "<Types/>"}}));
  EXPECT_TRUE(fs::exists(extractionLockPath()));
  session.finish();
}

TEST_F(PackageTest, RemovalTakesNestedFoldersAndNeverFollowsLinks) {
  const fs::path outside = dir_ / "outside";
  testutil::writeFile(outside / "precious.txt", "p");
  testutil::writeFile(fs::path(folder()) / "a/b/c.xml", "c");
  fs::create_directory_symlink(outside, fs::path(folder()) / "a/link");
  testutil::writeFile(fs::path(folder()) / "ro.xml", "r");
  fs::permissions(fs::path(folder()) / "ro.xml", fs::perms::owner_read);
  removeExtractionFolder();
  EXPECT_FALSE(fs::exists(folder()));
  EXPECT_TRUE(fs::exists(outside / "precious.txt"));
  removeExtractionFolder();  // already gone: no error
}

TEST_F(PackageTest, SessionRemovesTheFolderWhenLeftByAnError) {
  std::string file = book({{"[Content_Types].xml", "<Types/>"}});
  try {
    PackageSession session(file);
    EXPECT_TRUE(fs::exists(fs::path(folder()) / "[Content_Types].xml"));
    EXPECT_EQ(folder() + "/xl/workbook.xml", session.pathOf("/xl/workbook.xml"));
    throw KeyError("boom");
  } catch (const KeyError&) {
  }
  EXPECT_FALSE(fs::exists(folder()));
  {
    PackageSession session(file);
    session.finish();
    EXPECT_FALSE(fs::exists(folder()));
  }
}

// Another copy of the program holds the lock: the read waits for it.
TEST_F(PackageTest, SecondReaderWaitsForTheLock) {
  std::string file = book({{"[Content_Types].xml", "<Types/>"}});
  int fd = ::open(extractionLockPath().c_str(), O_RDONLY | O_CREAT, 0666);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(0, ::flock(fd, LOCK_EX));
  auto read = std::async(std::launch::async, [&] {
    PackageSession session(file);
    session.finish();
    return true;
  });
  EXPECT_EQ(std::future_status::timeout, read.wait_for(std::chrono::milliseconds(300)));
  EXPECT_FALSE(fs::exists(folder()));  // nothing extracted while the other holds it
  ::close(fd);
  EXPECT_TRUE(read.get());
}

// ---- The content-types part --------------------------------------------------

class ContentTypesTest : public PackageTest {
 protected:
  PartDirectory parse(const std::string& xml) {
    fs::path path = dir_ / "ct.xml";
    testutil::writeFile(path, xml);
    return parseContentTypes(path.string());
  }
};

TEST_F(ContentTypesTest, OverridesByShortNameLaterOnesReplace) {
  PartDirectory d = parse(
      "<?xml version=\"1.0\"?><Types xmlns=\"ct\"><Default Extension=\"xml\" ContentType=\"x\"/>"
      "<Override PartName=\"/xl/workbook.xml\" ContentType=\"w\"/>"
      "<Override ContentType=\"s\" PartName=\"/xl/worksheets/sheet1.xml\"/>"
      "<Override PartName=\"/xl/styles.xml\" ContentType=\"y\"></Override>"
      "<Override PartName=\"/xl/chartsheets/sheet1.xml\" ContentType=\"c\"/></Types>");
  EXPECT_EQ(3u, d.size());
  EXPECT_EQ("/xl/workbook.xml", d["workbook"]);
  EXPECT_EQ("/xl/chartsheets/sheet1.xml", d["sheet1"]);
  EXPECT_EQ("/xl/styles.xml", d["styles"]);
}

TEST_F(ContentTypesTest, WorkbookDefaultsWhenMissingOrEmpty) {
  EXPECT_EQ("xl/workbook.xml", parse("<Types xmlns=\"ct\"></Types>")["workbook"]);
  EXPECT_EQ("xl/workbook.xml", parse("")["workbook"]);
}

TEST_F(ContentTypesTest, PrefixedRootNeedsPrefixedOverrides) {
  PartDirectory d = parse(
      "<x:Types xmlns:x=\"ct\"><Override PartName=\"/xl/styles.xml\"/>"
      "<x:Override PartName=\"/xl/book.xml\"/></x:Types>");
  EXPECT_EQ(0u, d.count("styles"));
  EXPECT_EQ("/xl/book.xml", d["book"]);
}

TEST_F(ContentTypesTest, DocumentEndingInsideAnOverrideEnds) {
  PartDirectory d = parse("<Types a=\"1\"><Override PartName=\"/xl/s.xml\" ContentType=");
  EXPECT_EQ("/xl/s.xml", d["s"]);
}

TEST_F(ContentTypesTest, UnopenablePartIsAnIOError) {
  const std::string path = (dir_ / "missing.xml").string();
  EXPECT_ERROR(parseContentTypes(path), "IOError", "Unable to read file: " + path);
}

TEST(PartDirectoryEntry, MissingKeyIsKeyError) {
  PartDirectory d{{"sheet1", "/xl/worksheets/sheet1.xml"}};
  EXPECT_EQ("/xl/worksheets/sheet1.xml", directoryEntry(d, "sheet1"));
  EXPECT_ERROR(directoryEntry(d, "sheet3"), "KeyError", "key not found: sheet3");
}

}  // namespace
}  // namespace tabulon
