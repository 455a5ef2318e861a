// Helpers shared by every test program.
#ifndef TABULON_TESTS_TESTUTIL_H_
#define TABULON_TESTS_TESTUTIL_H_

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "textformats/errors.h"

// Runs stmt and expects it to throw a tabulon::Error of the given kind with
// exactly the given message.
#define EXPECT_ERROR(stmt, expectedKind, expectedMessage)                             \
  do {                                                                                \
    try {                                                                             \
      stmt;                                                                           \
      ADD_FAILURE() << "expected " << (expectedKind) << " \"" << (expectedMessage)    \
                    << "\", nothing was thrown";                                      \
    } catch (const tabulon::Error& e__) {                                             \
      EXPECT_EQ(std::string(expectedKind), e__.kind());                               \
      EXPECT_EQ(std::string(expectedMessage), std::string(e__.what()));               \
    }                                                                                 \
  } while (0)

namespace testutil {

// A fresh folder below the system's temporary folder, removed with everything
// in it when the object goes out of scope.
class ScopedTempDir {
 public:
  ScopedTempDir() {
    std::random_device rd;
    auto base = std::filesystem::temp_directory_path();
    for (;;) {
      path_ = base / ("tabulon-test-" + std::to_string(rd()));
      if (std::filesystem::create_directory(path_)) break;
    }
  }
  ~ScopedTempDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
  }
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string str() const { return path_.string(); }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

inline void writeFile(const std::filesystem::path& path, const std::string& bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// Where the sources and the build tree are (set by CTest for every test).
inline std::filesystem::path sourceDir() {
  const char* s = std::getenv("TABULON_SOURCE_DIR");
  return s ? s : ".";
}
inline std::filesystem::path binaryDir() {
  const char* s = std::getenv("TABULON_BINARY_DIR");
  return s ? s : ".";
}

}  // namespace testutil

#endif  // TABULON_TESTS_TESTUTIL_H_
