// Byte streams the text readers pull their input from.
#ifndef TABULON_TEXTFORMATS_STREAM_H_
#define TABULON_TEXTFORMATS_STREAM_H_

#include <cstdint>
#include <memory>
#include <string>

namespace tabulon {

// A readable byte stream that owns its source; destroying it closes the source.
class InputStream {
 public:
  InputStream() = default;
  InputStream(const InputStream&) = delete;
  InputStream& operator=(const InputStream&) = delete;
  virtual ~InputStream() = default;

  // Reads up to n bytes (n >= 0) into dst. Returns the number of bytes read,
  // 0 at the end of the stream. Throws IOError "cannot read: " + name on a
  // read error.
  virtual int32_t read(char* dst, int32_t n) = 0;
};

// Opens the file at path for binary reading. Returns nullptr when it cannot be
// opened (the caller decides what that means). The file is closed when the
// stream is destroyed.
std::unique_ptr<InputStream> openFileStream(const std::string& path);

// A stream over bytes held in memory (tests, benchmarks, fuzzers). The stream
// owns its copy of the bytes.
std::unique_ptr<InputStream> openStringStream(std::string bytes);

}  // namespace tabulon

#endif  // TABULON_TEXTFORMATS_STREAM_H_
