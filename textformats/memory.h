// Hints to the platform's memory manager.
#ifndef TABULON_TEXTFORMATS_MEMORY_H_
#define TABULON_TEXTFORMATS_MEMORY_H_

#include <cstddef>

namespace tabulon {

// Asks for large pages behind the bytes [data, data + bytes) of a buffer that
// is about to be filled front to back (a sheet's cells, a table's texts).
// Filling tens of MB page by page costs one fault per 4 KB, which on a
// virtual machine is a large share of reading a sheet; a 2 MB page costs
// one. Only whole large pages inside the range are affected. Nothing happens
// where the platform offers no such hint.
void preferLargePages(const void* data, size_t bytes);

}  // namespace tabulon

#endif  // TABULON_TEXTFORMATS_MEMORY_H_
