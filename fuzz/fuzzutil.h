// Helpers shared by the fuzz targets: a private scratch folder per process
// and a way to hand bytes to readers that only take a path.
#ifndef TABULON_FUZZ_FUZZUTIL_H_
#define TABULON_FUZZ_FUZZUTIL_H_

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

namespace fuzzutil {

// A folder of this process's own below the system temporary folder, created
// on first use and removed at exit (libFuzzer ends a timed run with exit()).
// Every target run is one process, so nothing is shared.
struct ScratchFolder {
  std::filesystem::path path;
  ScratchFolder()
      : path(std::filesystem::temp_directory_path() / ("tabulon-fuzz-" + std::to_string(getpid()))) {
    std::filesystem::create_directories(path);
  }
  ~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
};

inline const std::filesystem::path& scratchFolder() {
  static const ScratchFolder folder;
  return folder.path;
}

// Writes the bytes to scratchFolder()/name (replaced) and returns its path.
inline std::string writeScratchFile(const std::string& name, const uint8_t* data, size_t size) {
  std::string path = (scratchFolder() / name).string();
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  out.close();
  if (!out) {
    std::fprintf(stderr, "fuzz: cannot write %s\n", path.c_str());
    std::abort();
  }
  return path;
}

// A loop that has to end at end of input did not: report it as a crash, so
// that libFuzzer keeps the input.
[[noreturn]] inline void eventCapReached(const char* what, size_t events) {
  std::fprintf(stderr, "fuzz: %s still running after %zu events\n", what, events);
  std::abort();
}

}  // namespace fuzzutil

#endif  // TABULON_FUZZ_FUZZUTIL_H_
