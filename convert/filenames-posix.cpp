#include "convert/filenames.h"

namespace tabulon {

bool forbiddenInFileName(unsigned char c) {
  // "\" is legal here but is the separator on Windows; a sheet name holding it
  // gets the same file name on every platform.
  return c == '/' || c == '\\' || c == '\0';
}

std::string folderNameKey(const std::string& name) { return name; }

}  // namespace tabulon
