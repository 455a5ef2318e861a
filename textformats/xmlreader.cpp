#include "textformats/xmlreader.h"

namespace tabulon {

XmlReader::~XmlReader() { closeXmlReader(*this); }

void openXmlReader(XmlReader& r, std::unique_ptr<InputStream> input, std::string filename,
                   XmlReaderOptions options) {
  std::bitset<256> refill;
  refill['\r'] = refill['\n'] = refill['/'] = true;
  openLexer(r, std::move(input), 8192, refill);
  r.filename = std::move(filename);
  r.options = options;
  r.state = stateStart;
  r.kind = xmlError;
  r.a.clear();
  r.b.clear();
  r.c.clear();
  r.cIsEmpty = true;
}

void nextXmlEvent(XmlReader& r) { r.kind = xmlEof; }

void closeXmlReader(XmlReader& r) { closeLexer(r); }

const std::string& text(const XmlReader& r) { return r.a; }
const std::string& tagName(const XmlReader& r) { return r.a; }
const std::string& attributeName(const XmlReader& r) { return r.a; }
const std::string& attributeValue(const XmlReader& r) { return r.b; }

bool isElement(const XmlReader& r, XmlEventType kind, std::string_view name) {
  return r.kind == kind && r.a == name;
}

const char* eventTypeName(XmlEventType) { return "?"; }
const char* errorCodeName(XmlErrorCode) { return "?"; }

}  // namespace tabulon
