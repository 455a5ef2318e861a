// tabulon-inspect xml: one line per XML reader event.
#include <cstdio>
#include <cstring>
#include <string>

#include "textformats/errors.h"
#include "textformats/xmlreader.h"
#include "tools/inspect.h"

namespace tabulon::inspect {

namespace {

void printEvent(const XmlReader& r, std::string& line) {
  line.assign(eventTypeName(r.kind));
  switch (r.kind) {
    case xmlError:
      line += '\t';
      line += errorCodeName(r.err);
      break;
    case xmlEof:
    case xmlElementClose:
      break;
    case xmlPI:
    case xmlAttribute:
      line += '\t';
      line += escapeField(r.a);
      line += '\t';
      line += escapeField(r.b);
      break;
    default:
      line += '\t';
      line += escapeField(r.a);
  }
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stdout);
}

}  // namespace

int inspectXml(int argc, char** argv) {
  XmlReaderOptions options = 0;
  const char* path = nullptr;
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--whitespace") == 0) {
      options |= reportWhitespace;
    } else if (std::strcmp(argv[i], "--comments") == 0) {
      options |= reportComments;
    } else if (std::strcmp(argv[i], "--unquoted") == 0) {
      options |= allowUnquotedAttribs;
    } else if (std::strcmp(argv[i], "--empty-attribs") == 0) {
      options |= allowEmptyAttribs;
    } else if (path == nullptr && argv[i][0] != '-') {
      path = argv[i];
    } else {
      path = nullptr;
      break;
    }
  }
  if (path == nullptr) {
    std::fputs("usage: tabulon-inspect xml [--whitespace] [--comments] [--unquoted] [--empty-attribs] FILE\n",
               stderr);
    return 2;
  }
  auto stream = openFileStream(path);
  if (!stream) throw IOError(std::string("cannot open: ") + path);
  XmlReader r;
  openXmlReader(r, std::move(stream), path, options);
  std::string line;
  bool previousWasEof = false;
  for (;;) {
    nextXmlEvent(r);
    if (r.kind == xmlEof && previousWasEof) break;
    printEvent(r, line);
    previousWasEof = r.kind == xmlEof;
  }
  closeXmlReader(r);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace tabulon::inspect
