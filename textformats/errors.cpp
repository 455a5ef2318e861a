#include "textformats/errors.h"

namespace tabulon {

KeyError keyNotFound(std::string_view key) {
  return KeyError("key not found: " + std::string(key));
}

IndexError indexOutOfRange(long long index, long long size) {
  return IndexError("index out of bounds: " + std::to_string(index) + " notin 0 .. " +
                    std::to_string(size - 1));
}

std::string describeError(const Error& e) { return std::string(e.what()) + " [" + e.kind() + "]"; }

}  // namespace tabulon
