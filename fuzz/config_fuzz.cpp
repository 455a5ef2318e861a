// The configuration reader on arbitrary bytes: the event parser drains to
// cfgEof within a bounded number of events, and the loaders (from a stream
// and from a file) fold the same bytes into a table without throwing.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzzutil.h"
#include "textformats/config.h"

using namespace tabulon;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  size_t sink = 0;
  {
    ConfigParser p;
    openConfigParser(p, openStringStream(bytes), "fuzz.cfg");
    size_t events = 0;
    for (;;) {
      CfgEvent e = nextConfigEvent(p);
      sink += e.section.size() + e.key.size() + e.value.size() + e.msg.size();
      if (++events > 2 * size + 64) fuzzutil::eventCapReached("configuration parser", events);
      if (e.kind == cfgEof) break;
    }
    if (nextConfigEvent(p).kind != cfgEof) fuzzutil::eventCapReached("parser after cfgEof", events);
    closeConfigParser(p);
  }
  ConfigTable fromStream = loadConfigStream(openStringStream(bytes), "fuzz.cfg");
  ConfigTable fromFile = loadConfigFile(fuzzutil::writeScratchFile("config.txt", data, size));
  if (fromStream.size() != fromFile.size()) __builtin_trap();
  for (const auto& [section, entries] : fromStream) {
    for (const auto& [key, value] : entries) {
      if (sectionValue(fromFile, section, key) != value) __builtin_trap();
    }
  }
  sink += sectionValue(fromStream, "", "cell_width_characters").size();
  return sink == SIZE_MAX;
}
