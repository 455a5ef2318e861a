// The workbook part, its relationships part and the content-types part, each
// on the same arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzzutil.h"
#include "textformats/errors.h"
#include "workbook/package.h"
#include "workbook/workbookpart.h"

using namespace tabulon;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzzutil::writeScratchFile("workbook.xml", data, size);
  try {
    WorkbookInfo info = parseWorkbook(path);
    for (const SheetEntry& sheet : info.sheets) (void)info.find(sheet.name);
  } catch (const Error&) {
  }
  try {
    (void)parseRelationships(path, "xl/workbook.xml");
  } catch (const Error&) {
  }
  try {
    (void)parseContentTypes(path);
  } catch (const Error&) {
  }
  return 0;
}
