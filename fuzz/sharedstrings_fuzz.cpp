// The shared-strings reader on one arbitrary part, quoted and unquoted.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzzutil.h"
#include "textformats/errors.h"
#include "workbook/sharedstrings.h"

using namespace tabulon;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzzutil::writeScratchFile("sharedStrings.xml", data, size);
  for (bool quote : {false, true}) {
    try {
      (void)parseSharedStrings(path, quote);
    } catch (const Error&) {
      // A clear error is a fine answer to bad input.
    }
  }
  return 0;
}
