#include "workbook/partreader.h"

#include <filesystem>

#include "textformats/errors.h"
#include "textformats/stream.h"

namespace tabulon {

void openPart(XmlReader& r, const std::string& path, XmlReaderOptions options) {
  // A folder may open as a file on some systems and fail only at the first read.
  std::error_code error;
  std::unique_ptr<InputStream> input =
      std::filesystem::is_directory(path, error) ? nullptr : openFileStream(path);
  if (!input) throw IOError("Unable to read file: " + path);
  openXmlReader(r, std::move(input), path, options);
}

void openPart(XmlReader& r, PartInput input, XmlReaderOptions options) {
  if (!input.stream) {
    openPart(r, input.path, options);
    return;
  }
  openXmlReader(r, std::move(input.stream), std::move(input.path), options);
}

std::string rootPrefix(XmlReader& r) {
  do {
    nextXmlEvent(r);
  } while (r.kind != xmlEof && r.kind != xmlElementStart && r.kind != xmlElementOpen);
  if (r.kind == xmlEof) return {};
  const std::string& name = tagName(r);
  size_t colon = name.rfind(':');
  if (colon == std::string::npos || colon == 0) return {};
  return name.substr(0, colon + 1);
}

void skipAttributes(XmlReader& r) {
  if (r.kind != xmlElementOpen) return;
  while (r.kind != xmlElementClose && r.kind != xmlEof) nextXmlEvent(r);
}

void skipElement(XmlReader& r, std::string_view name) {
  // The end event of an empty element names it too, so no depth is needed
  // for the elements skipped here (they do not nest in themselves).
  do {
    nextXmlEvent(r);
  } while (r.kind != xmlEof && !isEndTag(r, name));
}

void appendElementText(XmlReader& r, std::string_view name, std::string& out) {
  for (;;) {
    nextXmlEvent(r);
    switch (r.kind) {
      case xmlCharData:
      case xmlWhitespace:
      case xmlCData:
        out += r.a;
        break;
      case xmlEntity:
        out += '&';
        out += r.a;
        out += ';';
        break;
      case xmlEof:
        return;
      case xmlElementEnd:
        if (isTagName(r.a, name)) return;
        break;
      default:
        break;
    }
  }
}

void appendItemText(XmlReader& r, std::string_view item, std::string_view t,
                    std::string_view rPh, std::string& out) {
  for (;;) {
    nextXmlEvent(r);
    if (r.kind == xmlEof || isEndTag(r, item)) return;
    if (isStartTag(r, t)) {
      skipAttributes(r);
      appendElementText(r, t, out);
    } else if (isStartTag(r, rPh)) {
      skipAttributes(r);
      skipElement(r, rPh);
    }
  }
}

}  // namespace tabulon
