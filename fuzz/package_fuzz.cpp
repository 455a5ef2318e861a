// The whole reader on an arbitrary ZIP package: the sheet list, then every
// sheet, each rendered as the batch driver would. The extraction folder is
// private to this process, and must be gone after every read.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "convert/render.h"
#include "fuzz/fuzzutil.h"
#include "textformats/errors.h"
#include "workbook/package.h"
#include "workbook/reader.h"

using namespace tabulon;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("TZ", "UTC", 1);
  setExtractionFolder((fuzzutil::scratchFolder() / "xlsx_varno_tmp").string());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzzutil::writeScratchFile("book.xlsx", data, size);
  try {
    (void)listSheetNames(path);
  } catch (const Error&) {
  }
  if (std::filesystem::exists(extractionFolder())) __builtin_trap();
  try {
    auto tables = parseExcel(path, "", false, false, false, false);
    for (const auto& [name, table] : tables) (void)renderSheet(table, 3);
  } catch (const Error&) {
  }
  if (std::filesystem::exists(extractionFolder())) __builtin_trap();
  return 0;
}
