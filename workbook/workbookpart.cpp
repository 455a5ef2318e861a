#include "workbook/workbookpart.h"

#include <filesystem>
#include <memory>

#include "textformats/errors.h"
#include "textformats/paths.h"
#include "textformats/numbers.h"
#include "textformats/stream.h"

namespace tabulon {

namespace {

void openPartFile(XmlReader& r, const std::string& path) {
  std::unique_ptr<InputStream> input = openFileStream(path);
  if (!input) throw IOError("Unable to read file: " + path);
  openXmlReader(r, std::move(input), path);
}

void openPartInput(XmlReader& r, PartInput input) {
  if (!input.stream) {
    openPartFile(r, input.path);
    return;
  }
  openXmlReader(r, std::move(input.stream), std::move(input.path));
}

bool atAttributeListEnd(const XmlReader& r) {
  return r.kind == xmlElementEnd || r.kind == xmlEof;
}

// The reader stands on a sheet element's xmlElementOpen; consumes its
// attributes up to its end and files it. The attributes pair up within the
// element whatever their order.
void readSheet(XmlReader& r, WorkbookInfo& info) {
  SheetEntry entry;
  bool hasId = false;
  for (nextXmlEvent(r); !atAttributeListEnd(r); nextXmlEvent(r)) {
    if (r.kind != xmlAttribute) continue;
    const std::string& name = attributeName(r);
    if (name == "name") {
      entry.name = attributeValue(r);
    } else if (name == "sheetId") {
      entry.sheetId = attributeValue(r);
      hasId = true;
    } else if (name.size() > 3 && name.ends_with(":id")) {
      entry.relId = attributeValue(r);  // the relationships namespace's id, whatever its prefix
    }
  }
  if (!hasId) return;
  for (SheetEntry& known : info.sheets) {
    if (known.name == entry.name) {
      known = std::move(entry);
      return;
    }
  }
  info.sheets.push_back(std::move(entry));
}

void readSheetList(XmlReader& r, const std::string& prefix, WorkbookInfo& info) {
  const std::string sheetTag = prefix + "sheet";
  info.sheets.clear();
  for (nextXmlEvent(r); isElement(r, xmlElementOpen, sheetTag); nextXmlEvent(r)) {
    readSheet(r, info);
  }
}

bool readWorkbookProperties(XmlReader& r, const std::string& prefix) {
  const std::string flagName = prefix + "date1904";
  bool flag = false;
  for (nextXmlEvent(r); !atAttributeListEnd(r); nextXmlEvent(r)) {
    if (r.kind == xmlAttribute && attributeName(r) == flagName && parseBool(attributeValue(r))) {
      flag = true;
    }
  }
  return flag;
}

int hexValue(char ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  return -1;
}

// Relationship targets are URIs; archive entry names are not escaped.
std::string percentDecode(std::string_view uri) {
  std::string out;
  out.reserve(uri.size());
  for (size_t i = 0; i < uri.size(); ++i) {
    if (uri[i] == '%' && i + 2 < uri.size()) {
      int hi = hexValue(uri[i + 1]);
      int lo = hexValue(uri[i + 2]);
      if (hi >= 0 && lo >= 0) {
        out.push_back(static_cast<char>(hi * 16 + lo));
        i += 2;
        continue;
      }
    }
    out.push_back(uri[i]);
  }
  return out;
}

std::string resolveTarget(std::string_view sourcePartName, std::string_view target) {
  std::string decoded = percentDecode(target);
  if (!decoded.empty() && decoded.front() == '/') return decoded.substr(1);
  size_t slash = sourcePartName.find_last_of('/');
  std::string folder = slash == std::string_view::npos
                           ? std::string()
                           : std::string(sourcePartName.substr(0, slash + 1));
  return folder + decoded;
}

void readRelationship(XmlReader& r, std::string_view sourcePartName, Relationships& rels) {
  std::string id, target;
  bool external = false;
  for (nextXmlEvent(r); !atAttributeListEnd(r); nextXmlEvent(r)) {
    if (r.kind != xmlAttribute) continue;
    const std::string& name = attributeName(r);
    if (name == "Id") {
      id = attributeValue(r);
    } else if (name == "Target") {
      target = attributeValue(r);
    } else if (name == "TargetMode") {
      external = attributeValue(r) == "External";
    }
  }
  if (id.empty() || target.empty() || external) return;
  rels[id] = resolveTarget(sourcePartName, target);
}

}  // namespace

const SheetEntry* WorkbookInfo::find(std::string_view name) const {
  for (const SheetEntry& entry : sheets) {
    if (entry.name == name) return &entry;
  }
  return nullptr;
}

std::string namespacePrefix(XmlReader& r) {
  nextXmlEvent(r);
  if (r.kind == xmlPI) nextXmlEvent(r);
  if (r.kind != xmlElementOpen) return "";
  const std::string& tag = tagName(r);
  size_t colon = tag.rfind(':');
  if (colon == std::string::npos || colon == 0) return "";
  return tag.substr(0, colon + 1);
}

WorkbookInfo parseWorkbook(const std::string& path) { return parseWorkbook(PartInput{path}); }

WorkbookInfo parseWorkbook(PartInput input) {
  WorkbookInfo info;
  XmlReader r;
  openPartInput(r, std::move(input));
  const std::string prefix = namespacePrefix(r);
  const std::string sheetsTag = prefix + "sheets";
  const std::string propertiesTag = prefix + "workbookPr";
  while (r.kind != xmlEof) {
    if (isElement(r, xmlElementStart, sheetsTag)) {
      readSheetList(r, prefix, info);
      break;  // nothing after the sheet list is looked at
    }
    if (isElement(r, xmlElementOpen, propertiesTag)) {
      info.date1904 = readWorkbookProperties(r, prefix);
    }
    nextXmlEvent(r);
  }
  closeXmlReader(r);
  return info;
}

std::string relationshipsPartName(std::string_view partName) {
  size_t slash = partName.find_last_of('/');
  if (slash == std::string_view::npos) return "_rels/" + std::string(partName) + ".rels";
  return std::string(partName.substr(0, slash + 1)) + "_rels/" +
         std::string(partName.substr(slash + 1)) + ".rels";
}

Relationships parseRelationships(const std::string& path, std::string_view sourcePartName) {
  Relationships rels;
  std::error_code ec;
  if (!std::filesystem::exists(pathFromUtf8(path), ec)) return rels;
  return parseRelationships(PartInput{path}, sourcePartName);
}

Relationships parseRelationships(PartInput input, std::string_view sourcePartName) {
  Relationships rels;
  XmlReader r;
  openPartInput(r, std::move(input));
  const std::string relationshipTag = namespacePrefix(r) + "Relationship";
  while (r.kind != xmlEof) {
    if (isElement(r, xmlElementOpen, relationshipTag)) readRelationship(r, sourcePartName, rels);
    nextXmlEvent(r);
  }
  closeXmlReader(r);
  return rels;
}

}  // namespace tabulon
