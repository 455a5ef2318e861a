// The POSIX side of the package layer: where the extraction folder lives and
// the inter-process lock.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "textformats/errors.h"
#include "workbook/package.h"

namespace tabulon {

std::string extractionFolderFor(const char* temp, const char* tmpdir) {
  std::filesystem::path base = "/tmp";
  if (temp != nullptr && *temp != '\0') {
    base = temp;
  } else if (tmpdir != nullptr && *tmpdir != '\0') {
    base = tmpdir;
  }
  return (base / "xlsx_varno_tmp").string();
}

ExtractionLock::ExtractionLock() : handle_(-1) {
  const std::string path = extractionLockPath();
  // Read-only is enough for flock and lets a lock file made by another user
  // serve; opening an existing file without O_CREAT also passes the kernel's
  // protection of other users' files in sticky folders such as /tmp.
  int fd = -1;
  for (;;) {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd >= 0 || errno != ENOENT) break;
    fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd >= 0 || errno != EEXIST) break;
  }
  if (fd < 0) throw OSError(std::string(std::strerror(errno)) + ": " + path);
  while (::flock(fd, LOCK_EX) != 0) {
    if (errno == EINTR) continue;
    const int err = errno;
    ::close(fd);
    throw OSError(std::string(std::strerror(err)) + ": " + path);
  }
  handle_ = fd;
}

ExtractionLock::~ExtractionLock() {
  // Closing the descriptor releases the lock.
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

}  // namespace tabulon
