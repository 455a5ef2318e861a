// The workbook part (normally xl/workbook.xml): the sheets in workbook order
// with their ids, the date system, and the workbook part's relationships,
// which say where each sheet's worksheet part lives.
#ifndef TABULON_WORKBOOK_WORKBOOKPART_H_
#define TABULON_WORKBOOK_WORKBOOKPART_H_

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "textformats/xmlreader.h"
#include "workbook/partreader.h"

namespace tabulon {

struct SheetEntry {
  std::string name;     // the name attribute; empty when the element has none
  std::string sheetId;  // the sheetId attribute's text as written (07 stays 07)
  std::string relId;    // the relationship id (r:id); empty when absent
};

struct WorkbookInfo {
  // In workbook (tab) order, one entry per name: a later sheet element with a
  // name already present replaces that entry in its place.
  std::vector<SheetEntry> sheets;
  bool date1904 = false;

  // The entry named name, or nullptr.
  const SheetEntry* find(std::string_view name) const;
};

// Reads the workbook part at path. Each sheet element's name, sheetId and
// relationship id pair up within that element, in any attribute order; an
// element without sheetId is passed over. Only a sheets element written
// without attributes is read, and nothing after it; a workbookPr before it
// sets date1904. Throws IOError "Unable to read file: " + path when the part
// cannot be opened, ValueError "cannot interpret as a bool: " + value for a
// bad date1904. Malformed XML raises nothing.
WorkbookInfo parseWorkbook(const std::string& path);
WorkbookInfo parseWorkbook(PartInput input);

// Advances r, freshly opened on a part, to its root element (over a leading
// processing instruction) and returns the root's namespace prefix with its
// colon ("x:" for a root x:Types with attributes), or "" when the root has no
// attributes or no prefix. r stays on the root's event.
std::string namespacePrefix(XmlReader& r);

// The relationships part of the package part partName:
// xl/workbook.xml -> xl/_rels/workbook.xml.rels (a leading "/" is kept).
std::string relationshipsPartName(std::string_view partName);

// Relationship id -> target part name from the package root (percent-escapes
// decoded; "." and ".." are left for partPath to resolve).
using Relationships = std::unordered_map<std::string, std::string>;

// Reads the relationships part at path, whose source part is sourcePartName:
// relative targets are resolved against the source part's folder, targets
// starting with "/" from the package root; external targets are left out.
// A part that does not exist gives an empty map (it is optional). Throws
// IOError "Unable to read file: " + path when it exists but cannot be opened.
Relationships parseRelationships(const std::string& path, std::string_view sourcePartName);
// The same from input, which must exist.
Relationships parseRelationships(PartInput input, std::string_view sourcePartName);

}  // namespace tabulon

#endif  // TABULON_WORKBOOK_WORKBOOKPART_H_
