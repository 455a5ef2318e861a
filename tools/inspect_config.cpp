// tabulon-inspect config: the configuration parser's events, or the loaded table.
#include <cstdio>
#include <cstring>
#include <string>

#include "textformats/config.h"
#include "textformats/errors.h"
#include "tools/inspect.h"

namespace tabulon::inspect {

namespace {

void printLine(std::initializer_list<std::string_view> fields) {
  std::string line;
  bool first = true;
  for (std::string_view f : fields) {
    if (!first) line += '\t';
    line += first ? std::string(f) : escapeField(f);
    first = false;
  }
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stdout);
}

void printEvents(const std::string& path) {
  auto stream = openFileStream(path);
  if (!stream) throw IOError("cannot open: " + path);
  ConfigParser p;
  openConfigParser(p, std::move(stream), path, 0);
  for (;;) {
    CfgEvent e = nextConfigEvent(p);
    const char* name = eventKindName(e.kind);
    switch (e.kind) {
      case cfgEof: printLine({name}); break;
      case cfgSectionStart: printLine({name, e.section}); break;
      case cfgKeyValuePair:
      case cfgOption: printLine({name, e.key, e.value}); break;
      case cfgError: printLine({name, e.msg}); break;
    }
    if (e.kind == cfgEof || e.kind == cfgError) break;
  }
  closeConfigParser(p);
}

void printTable(const std::string& path) {
  ConfigTable table = loadConfigFile(path);
  for (const auto& [section, entries] : table) {
    for (const auto& [key, value] : entries) {
      std::string line = escapeField(section) + '\t' + escapeField(key) + '\t' + escapeField(value) + '\n';
      std::fwrite(line.data(), 1, line.size(), stdout);
    }
  }
}

}  // namespace

int inspectConfig(int argc, char** argv) {
  bool table = false;
  const char* path = nullptr;
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--table") == 0 && !table) {
      table = true;
    } else if (path == nullptr) {
      path = argv[i];
    } else {
      path = nullptr;
      break;
    }
  }
  if (path == nullptr) {
    std::fputs("usage: tabulon-inspect config [--table] FILE\n", stderr);
    return 2;
  }
  if (table) {
    printTable(path);
  } else {
    printEvents(path);
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace tabulon::inspect
