// The styles reader on one arbitrary part, and the cell kind of every format
// code it returns.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzzutil.h"
#include "textformats/errors.h"
#include "workbook/styles.h"

using namespace tabulon;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzzutil::writeScratchFile("styles.xml", data, size);
  try {
    std::vector<std::string> codes = parseStyles(path);
    for (const std::string& code : codes) (void)cellKindOfFormat(code);
  } catch (const Error&) {
  }
  // Format codes are free text too: classify the raw bytes as one code.
  (void)formatClass(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
