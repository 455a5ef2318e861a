#include "convert/filenames.h"

#include <cstring>

namespace tabulon {

bool forbiddenInFileName(unsigned char c) {
  return c < 32 || std::strchr("/\\<>:\"|?*", c) != nullptr;
}

std::string folderNameKey(const std::string& name) {
  std::string key = name;
  for (char& c : key) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return key;
}

}  // namespace tabulon
