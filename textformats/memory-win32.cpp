#include "textformats/memory.h"

namespace tabulon {

// Large pages on Windows need a privilege users do not have; buffers keep
// the usual pages.
void preferLargePages(const void* /*data*/, size_t /*bytes*/) {}

}  // namespace tabulon
