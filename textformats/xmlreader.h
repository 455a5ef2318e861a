// XmlReader: a forward-only, non-validating XML event reader over bytes.
//
// Open it on a stream, call nextXmlEvent in a loop and branch on `kind` until
// xmlEof, then close it (the destructor closes too). It decodes nothing:
// names and texts are UTF-8 byte strings as they stand in the input; only
// numeric character references are turned into UTF-8. Namespaces are not
// interpreted (a prefixed name is one name), end tags are not matched against
// start tags, and no DTD is read. Bad input never throws: it produces an
// xmlError event (code in `err`) after the token in which it was found.
//
// Texts per event (valid only until the next call; `a` and `b` are reused):
//   xmlCharData, xmlWhitespace, xmlComment, xmlCData, xmlSpecial: a = text
//   xmlElementStart, xmlElementEnd, xmlElementOpen: a = tag name
//   xmlAttribute: a = name, b = value;  xmlPI: a = target, b = content
//   xmlEntity: a = entity name;  xmlError: err;  xmlElementClose, xmlEof: none
// A start tag with attributes gives xmlElementOpen, one xmlAttribute per
// attribute, then xmlElementClose; an empty element then also gets its
// xmlElementEnd. After xmlEof every further call delivers xmlEof again.
#ifndef TABULON_TEXTFORMATS_XMLREADER_H_
#define TABULON_TEXTFORMATS_XMLREADER_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "textformats/lexer.h"
#include "textformats/stream.h"

namespace tabulon {

enum XmlEventType : uint8_t {
  xmlError,         // an error was found; see err
  xmlEof,           // end of input
  xmlCharData,      // character data, or one resolved character reference
  xmlWhitespace,    // a run of space, TAB, CR, LF (line breaks stored as LF)
  xmlComment,       // a comment (only with reportComments)
  xmlPI,            // a processing instruction
  xmlElementStart,  // a start tag without attributes
  xmlElementEnd,    // an end tag, or the end of an empty element
  xmlElementOpen,   // the name of a start tag that has attributes
  xmlAttribute,     // one attribute of the open start tag
  xmlElementClose,  // the > or /> ending a start tag with attributes
  xmlCData,         // a CDATA section
  xmlEntity,        // &name; with a name other than the five predefined ones
  xmlSpecial        // a <! declaration that is neither comment nor CDATA
};

enum XmlErrorCode : uint8_t {
  errNone,
  errEndOfCDataExpected,
  errNameExpected,
  errSemicolonExpected,
  errQmGtExpected,
  errGtExpected,
  errEqExpected,
  errQuoteExpected,
  errEndOfCommentExpected,
  errAttributeValueExpected
};

enum XmlReaderState : uint8_t {
  stateStart,             // before the first event
  stateNormal,            // in content, between tags
  stateAttr,              // inside a start tag, reading attributes
  stateEmptyElementTag,   // after />, the end event is still to come
  stateError              // an error event is pending
};

enum XmlReaderOption : uint8_t {
  reportWhitespace = 1,      // deliver every whitespace run
  reportComments = 2,        // deliver comments with their text
  allowUnquotedAttribs = 4,  // accept attribute values without quotes
  allowEmptyAttribs = 8      // accept an attribute name without =
};
using XmlReaderOptions = uint8_t;

struct XmlReader : BufferedLexer {
  std::string a, b, c;                // event texts; c = saved name of a start tag with attributes
  XmlEventType kind = xmlError;       // the current event
  XmlErrorCode err = errNone;         // the last error found
  XmlReaderState state = stateStart;
  bool cIsEmpty = true;               // c holds no saved name
  std::string filename;               // as given at open; only for messages
  XmlReaderOptions options = 0;
  // Kind of the last raw token read, delivered or skipped (a skipped comment
  // or whitespace run included); decides whether a whitespace run is delivered.
  XmlEventType lastToken = xmlError;

  XmlReader() = default;
  XmlReader(const XmlReader&) = delete;
  XmlReader& operator=(const XmlReader&) = delete;
  ~XmlReader();   // closes the stream if still open
};

// Opens the reader on input (taking ownership) with a window of 8192 bytes;
// a UTF-8 byte-order mark is skipped. Throws IOError when the first read fails.
void openXmlReader(XmlReader& r, std::unique_ptr<InputStream> input, std::string filename,
                   XmlReaderOptions options = 0);

// Advances to the next event; r.kind is its kind. Throws only IOError (a
// failing read of the stream).
void nextXmlEvent(XmlReader& r);

// Closes the stream. Idempotent.
void closeXmlReader(XmlReader& r);

// Accessors; each is valid only at the event kinds named (asserted).
const std::string& text(const XmlReader& r);            // xmlCharData, xmlWhitespace, xmlComment, xmlCData, xmlSpecial
const std::string& tagName(const XmlReader& r);         // xmlElementStart, xmlElementEnd, xmlElementOpen
const std::string& attributeName(const XmlReader& r);   // xmlAttribute
const std::string& attributeValue(const XmlReader& r);  // xmlAttribute

// True when the current event is of the given element kind and its tag name
// equals name byte for byte. REQUIRES: kind is one of the three element kinds.
bool isElement(const XmlReader& r, XmlEventType kind, std::string_view name);

// The enumerator names ("xmlElementOpen", "errNameExpected"), for tools and tests.
const char* eventTypeName(XmlEventType kind);
const char* errorCodeName(XmlErrorCode code);

}  // namespace tabulon

#endif  // TABULON_TEXTFORMATS_XMLREADER_H_
