#include "workbook/sharedstrings.h"

#include <algorithm>

#include "textformats/numbers.h"
#include "textformats/xmlreader.h"
#include "workbook/partreader.h"

namespace tabulon {

namespace {

// uniqueCount is only a hint: it may be missing, wrong or absurdly large, so
// it never reserves more than this many entries up front.
constexpr int32_t kMaxReservedItems = 1 << 20;

void reserveFromRoot(XmlReader& r, std::vector<std::string>& list) {
  if (r.kind != xmlElementOpen) return;
  for (nextXmlEvent(r); r.kind == xmlAttribute; nextXmlEvent(r)) {
    int32_t count = 0;
    if (attributeName(r) == "uniqueCount" && tryParseInt32(attributeValue(r), count) && count > 0) {
      list.reserve(static_cast<size_t>(std::min(count, kMaxReservedItems)));
    }
  }
}

}  // namespace

std::vector<std::string> parseSharedStrings(const std::string& path, bool quoteSharedStrings) {
  return parseSharedStrings(PartInput{path}, quoteSharedStrings);
}

std::vector<std::string> parseSharedStrings(PartInput input, bool quoteSharedStrings) {
  XmlReader r;
  openPart(r, std::move(input), reportWhitespace);
  const std::string prefix = rootPrefix(r);
  const std::string si = prefix + "si", t = prefix + "t", rPh = prefix + "rPh";
  std::vector<std::string> list;
  reserveFromRoot(r, list);
  while (r.kind != xmlEof) {
    if (isStartTag(r, si)) {
      skipAttributes(r);
      std::string& item = list.emplace_back();
      appendItemText(r, si, t, rPh, item);
      if (quoteSharedStrings) item = escapeText(item);
    }
    nextXmlEvent(r);
  }
  closeXmlReader(r);
  return list;
}

std::string escapeText(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size() + 2);
  out += '"';
  for (char ch : text) {
    const auto byte = static_cast<unsigned char>(ch);
    if (byte < 32 || byte >= 127) {
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    } else if (ch == '"' || ch == '\'' || ch == '\\') {
      out += '\\';
      out += ch;
    } else {
      out += ch;
    }
  }
  out += '"';
  return out;
}

}  // namespace tabulon
