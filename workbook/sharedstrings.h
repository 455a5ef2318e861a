// The shared-strings part: the texts that text cells refer to by index.
#ifndef TABULON_WORKBOOK_SHAREDSTRINGS_H_
#define TABULON_WORKBOOK_SHAREDSTRINGS_H_

#include <string>
#include <string_view>
#include <vector>

#include "workbook/partreader.h"

namespace tabulon {

// Reads the shared-strings part at path into the list of item texts, one
// entry per si element in document order (indexed from 0). An item's text is
// the concatenation of all its t elements, direct or inside r runs; phonetic
// runs (rPh) are left out; an item without text is "". Whitespace, resolved
// references and CDATA sections are part of the text; an unresolved reference
// stays as written ("&name;"). uniqueCount only reserves room. Element names
// carry the root element's namespace prefix, if any. With quoteSharedStrings
// every entry is passed through escapeText.
// Throws IOError "Unable to read file: " + path when the part cannot be opened.
std::vector<std::string> parseSharedStrings(const std::string& path, bool quoteSharedStrings);
std::vector<std::string> parseSharedStrings(PartInput input, bool quoteSharedStrings);

// text in double quotes, escaped byte by byte: bytes below 32, 127 and
// 128 and up as \xHH (upper-case hex), a double quote as \", an apostrophe as
// \' and a backslash as \\; every other byte as itself.
std::string escapeText(std::string_view text);

}  // namespace tabulon

#endif  // TABULON_WORKBOOK_SHAREDSTRINGS_H_
