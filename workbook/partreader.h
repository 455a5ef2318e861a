// Helpers shared by the readers of the shared-strings, styles and worksheet
// parts: opening a part, finding its namespace prefix, and gathering the
// text of an element.
#ifndef TABULON_WORKBOOK_PARTREADER_H_
#define TABULON_WORKBOOK_PARTREADER_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "textformats/stream.h"
#include "textformats/xmlreader.h"

namespace tabulon {

// The bytes of one part and the path its errors name: the part's extracted
// file, or a stream that delivers the same bytes (the package while it is
// being extracted, or a part already read into memory).
struct PartInput {
  explicit PartInput(std::string partPath, std::unique_ptr<InputStream> bytes = nullptr,
                     int64_t size = -1)
      : path(std::move(partPath)), stream(std::move(bytes)), sizeHint(size) {}

  std::string path;
  std::unique_ptr<InputStream> stream;  // nullptr: the file at path is opened
  int64_t sizeHint = -1;                // the part's size in bytes, -1 when unknown
};

// Opens r on the part file at path with the given options.
// Throws IOError "Unable to read file: " + path when the file cannot be opened.
void openPart(XmlReader& r, const std::string& path, XmlReaderOptions options);

// Opens r on input: its stream when it has one, else the file at its path
// (with the error above).
void openPart(XmlReader& r, PartInput input, XmlReaderOptions options);

// Advances to the root element (the first start tag, with or without
// attributes) and returns its namespace prefix with the colon ("x:" for
// x:worksheet), "" when unprefixed. The reader stays on the root's event, or
// on xmlEof for a part without elements.
std::string rootPrefix(XmlReader& r);

// True when the tag (or attribute) name equals name. Names are compared on
// every event of a worksheet and are a few letters long: a plain loop beats
// calling the library compare.
inline bool isTagName(const std::string& tag, std::string_view name) {
  if (tag.size() != name.size()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    if (tag[i] != name[i]) return false;
  }
  return true;
}

// True when the current event starts an element (xmlElementStart or
// xmlElementOpen) named name.
inline bool isStartTag(const XmlReader& r, std::string_view name) {
  return (r.kind == xmlElementStart || r.kind == xmlElementOpen) && isTagName(r.a, name);
}

// True when the current event is the end of an element named name.
inline bool isEndTag(const XmlReader& r, std::string_view name) {
  return r.kind == xmlElementEnd && isTagName(r.a, name);
}

// On xmlElementOpen: advances past the attributes to the xmlElementClose
// (or xmlEof). Otherwise does nothing.
void skipAttributes(XmlReader& r);

// Standing on the start of element name (after its attributes), advances to
// its end (or xmlEof), skipping everything inside.
void skipElement(XmlReader& r, std::string_view name);

// Standing on the start of element name (after its attributes), appends its
// whole text to out: character data, whitespace, resolved references and
// CDATA sections; a reference the XML reader does not resolve is kept as
// written ("&name;"). Stops on the element's end, or on xmlEof.
void appendElementText(XmlReader& r, std::string_view name, std::string& out);

// Standing on the start of a string item (si of the shared strings, is of an
// inline string, after its attributes), appends the text of every t element
// of the item, direct or inside an r run, to out; phonetic runs (rPh) are
// skipped. Stops on the item's end (or xmlEof). t and rPh are the prefixed
// names of those elements.
void appendItemText(XmlReader& r, std::string_view item, std::string_view t,
                    std::string_view rPh, std::string& out);

}  // namespace tabulon

#endif  // TABULON_WORKBOOK_PARTREADER_H_
