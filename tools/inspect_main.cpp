#include <cstdio>
#include <cstring>
#include <exception>

#include "textformats/errors.h"
#include "tools/inspect.h"

namespace tabulon::inspect {

std::string escapeField(std::string_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (unsigned char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          out += "\\x";
          out += kHex[c >> 4];
          out += kHex[c & 15];
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out;
}

}  // namespace tabulon::inspect

namespace {

int usage() {
  std::fputs(
      "usage: tabulon-inspect xml [--whitespace] [--comments] [--unquoted] [--empty-attribs] FILE\n"
      "       tabulon-inspect config [--table] FILE\n"
      "       tabulon-inspect solve FILE\n",
      stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace tabulon::inspect;
  if (argc < 2) return usage();
  try {
    if (std::strcmp(argv[1], "xml") == 0) return inspectXml(argc - 2, argv + 2);
    if (std::strcmp(argv[1], "config") == 0) return inspectConfig(argc - 2, argv + 2);
    if (std::strcmp(argv[1], "solve") == 0) return inspectSolve(argc - 2, argv + 2);
  } catch (const tabulon::Error& e) {
    std::fprintf(stderr, "Error: %s\n", tabulon::describeError(e).c_str());
    return 1;
  }
  return usage();
}
