// The XML reader on arbitrary bytes, under every combination of its four
// options: every input must drain to xmlEof within a bounded number of
// events, stay there, and let every accessor of the current event be read.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzzutil.h"
#include "textformats/xmlreader.h"

using namespace tabulon;

namespace {

// Each event but the last of a tag consumes input; a start tag with
// attributes gives at most open, attribute, close and end per byte or two.
size_t eventCap(size_t size) { return 4 * size + 64; }

void touchEvent(const XmlReader& r, size_t& sink) {
  switch (r.kind) {
    case xmlCharData:
    case xmlWhitespace:
    case xmlComment:
    case xmlCData:
    case xmlSpecial:
      sink += text(r).size();
      break;
    case xmlElementStart:
    case xmlElementEnd:
    case xmlElementOpen:
      sink += tagName(r).size() + isElement(r, r.kind, "c");
      break;
    case xmlAttribute:
      sink += attributeName(r).size() + attributeValue(r).size();
      break;
    default:
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  size_t sink = 0;
  for (XmlReaderOptions options = 0; options < 16; ++options) {
    XmlReader r;
    openXmlReader(r, openStringStream(bytes), "fuzz.xml", options);
    size_t events = 0;
    do {
      nextXmlEvent(r);
      touchEvent(r, sink);
      if (++events > eventCap(size)) fuzzutil::eventCapReached("XML reader", events);
    } while (r.kind != xmlEof);
    // End of input inside a comment that is not reported, or inside the
    // dropped XML declaration, gives xmlEof before the pending error event;
    // after that one error, xmlEof for good.
    nextXmlEvent(r);
    if (r.kind == xmlError) nextXmlEvent(r);
    for (int i = 0; i < 2; ++i) {
      if (r.kind != xmlEof) fuzzutil::eventCapReached("XML reader after xmlEof", events);
      nextXmlEvent(r);
    }
    closeXmlReader(r);
    closeXmlReader(r);
  }
  return sink == SIZE_MAX;  // keeps the accessors from being optimised away
}
