// The worksheet reader on one arbitrary part with a small style list (one
// style of each format class), and the table built from its cells, with and
// without trimming and in both date systems. Dates are read under UTC so that
// a run does not depend on the machine's zone.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/fuzzutil.h"
#include "textformats/errors.h"
#include "workbook/sheet.h"
#include "workbook/worksheet.h"

using namespace tabulon;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("TZ", "UTC", 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::vector<std::string> styles = {
      "General", "0.00", "mm-dd-yy", "h:mm", "0%", "[h]:mm:ss", "yyyy-mm-dd hh:mm:ss", "@"};
  static const std::vector<std::string> shared = {"", "one", "two words", "\xE2\x82\xAC"};
  const std::string path = fuzzutil::writeScratchFile("sheet1.xml", data, size);
  // The flags come from the input's last byte, so the fuzzer can steer them.
  const uint8_t flags = size == 0 ? 0 : data[size - 1];
  try {
    SheetCells cells = parseSheet(path, styles, (flags & 1) != 0, (flags & 2) != 0);
    SheetTable table = initSheetTable(cells.rows, cells.cols, cells.cells, shared,
                                      (flags & 4) != 0, (flags & 8) != 0);
    size_t bytes = 0;
    for (size_t i = 0; i < static_cast<size_t>(table.data.size()); ++i) {
      bytes += std::string_view(table.data[i]).size();
    }
    if (bytes == SIZE_MAX) __builtin_trap();
  } catch (const Error&) {
  }
  return 0;
}
