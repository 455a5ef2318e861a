#include "textformats/stream.h"

#include <cstdio>
#include <cstring>

#include "textformats/errors.h"
#include "textformats/paths.h"

namespace tabulon {

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

class FileStream final : public InputStream {
 public:
  FileStream(std::FILE* f, std::string path) : file_(f), path_(std::move(path)) {}

  int32_t read(char* dst, int32_t n) override {
    if (n <= 0) return 0;
    size_t got = std::fread(dst, 1, static_cast<size_t>(n), file_.get());
    if (got < static_cast<size_t>(n) && std::ferror(file_.get())) {
      throw IOError("cannot read: " + path_);
    }
    return static_cast<int32_t>(got);
  }

 private:
  std::unique_ptr<std::FILE, FileCloser> file_;
  std::string path_;
};

class StringStream final : public InputStream {
 public:
  explicit StringStream(std::string bytes) : bytes_(std::move(bytes)) {}

  int32_t read(char* dst, int32_t n) override {
    if (n <= 0) return 0;
    size_t left = bytes_.size() - pos_;
    size_t k = left < static_cast<size_t>(n) ? left : static_cast<size_t>(n);
    if (k > 0) std::memcpy(dst, bytes_.data() + pos_, k);
    pos_ += k;
    return static_cast<int32_t>(k);
  }

 private:
  std::string bytes_;
  size_t pos_ = 0;
};

}  // namespace

std::unique_ptr<InputStream> openFileStream(const std::string& path) {
  std::FILE* f = openFile(path, "rb");
  if (f == nullptr) return nullptr;
  return std::make_unique<FileStream>(f, path);
}

std::unique_ptr<InputStream> openStringStream(std::string bytes) {
  return std::make_unique<StringStream>(std::move(bytes));
}

}  // namespace tabulon
