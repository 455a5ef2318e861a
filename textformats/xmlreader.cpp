#include "textformats/xmlreader.h"

#include <array>
#include <cassert>
#include <cstdint>

namespace tabulon {

namespace {

constexpr int32_t kWindowSize = 8192;

// Keeps a function out of its callers. Put on the readers of rare tokens,
// of long whitespace runs and of the states other than stateNormal, so that
// nextXmlEvent and the token readers do not save and restore on every event
// the registers that only those need; inlined, they made every event slower.
#if defined(_MSC_VER)
#define TABULON_NOINLINE __declspec(noinline)
#else
#define TABULON_NOINLINE __attribute__((noinline))
#endif

// Byte classes. Every "stop" class contains 0, CR, LF and '/', the bytes at
// which the window can end, so a loop that runs until a stop byte never
// reads past the sentinel.
enum : uint8_t {
  kNameStart = 1,   // A-Z a-z _ : 0x80-0xFF
  kNameChar = 2,    // name starts, 0-9 . -
  kTextStop = 4,    // ends a plain run of character data
  kValueStop = 8,   // ends a plain run inside a quoted attribute value
  kSpace = 16,      // space, TAB, CR, LF
};

constexpr std::array<uint8_t, 256> makeClasses() {
  std::array<uint8_t, 256> t{};
  for (int c = 0; c < 256; ++c) {
    bool start = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' || c >= 0x80;
    bool name = start || (c >= '0' && c <= '9') || c == '.' || c == '-';
    uint8_t v = 0;
    if (start) v |= kNameStart;
    if (name) v |= kNameChar;
    if (c == 0 || c == '\r' || c == '\n' || c == '/' || c == '<' || c == '&') v |= kTextStop;
    if (c == 0 || c == '\r' || c == '\n' || c == '/' || c == '&' || c == ' ' || c == '\t' || c == '"' ||
        c == '\'')
      v |= kValueStop;
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') v |= kSpace;
    t[c] = v;
  }
  return t;
}

constexpr std::array<uint8_t, 256> kClass = makeClasses();

inline unsigned char at(const XmlReader& r, int32_t pos) { return static_cast<unsigned char>(r.buf[pos]); }
inline bool isNameStart(unsigned char c) { return (kClass[c] & kNameStart) != 0; }
inline bool isNameChar(unsigned char c) { return (kClass[c] & kNameChar) != 0; }

void markError(XmlReader& r, XmlErrorCode code) {
  r.err = code;
  r.state = stateError;
}

// Passes a line break or '/' at pos and appends what it stands for (line
// breaks as LF). REQUIRES: one of CR, LF, '/' at pos.
int32_t passStored(XmlReader& r, int32_t pos, std::string& out) {
  switch (at(r, pos)) {
    case '\r': out += '\n'; return passCR(r, pos);
    case '\n': out += '\n'; return passLF(r, pos);
    default: out += '/'; return passRefillChar(r, pos);
  }
}

inline bool isBreakOrSlash(unsigned char c) { return c == '\r' || c == '\n' || c == '/'; }

// The whitespace run at pos, which starts with a whitespace byte.
TABULON_NOINLINE int32_t skipWhitespaceRun(XmlReader& r, int32_t pos, bool* skipped) {
  for (;;) {
    unsigned char ch = at(r, pos);
    if (ch == ' ' || ch == '\t') {
      ++pos;
    } else if (ch == '\r') {
      pos = passCR(r, pos);
    } else if (ch == '\n') {
      pos = passLF(r, pos);
    } else {
      return pos;
    }
    if (skipped != nullptr) *skipped = true;
  }
}

// Most places where whitespace may stand hold none or a single space (the
// separator before an attribute); those cases are taken inline.
inline int32_t skipWhitespace(XmlReader& r, int32_t pos, bool* skipped = nullptr) {
  unsigned char ch = at(r, pos);
  if (ch == ' ') {
    ++pos;
    if (skipped != nullptr) *skipped = true;
    ch = at(r, pos);
  }
  if (!(kClass[ch] & kSpace)) return pos;
  return skipWhitespaceRun(r, pos, skipped);
}

// The first position at or after pos in p whose byte is in one of the
// classes of stop. The scans walk a pointer: the loop then needs no index.
inline int32_t scanUntil(const char* p, int32_t pos, uint8_t stop) {
  const char* q = p + pos;
  while (!(kClass[static_cast<unsigned char>(*q)] & stop)) ++q;
  return static_cast<int32_t>(q - p);
}

// The end of the name starting at pos in p; pos itself when no name starts
// there. Name bytes are never refill characters, so plain increments are safe.
inline int32_t nameEnd(const char* p, int32_t pos) {
  if (!isNameStart(static_cast<unsigned char>(p[pos]))) return pos;
  const char* q = p + pos + 1;
  while (isNameChar(static_cast<unsigned char>(*q))) ++q;
  return static_cast<int32_t>(q - p);
}

// Appends the name at pos to out; appends nothing when no name starts there.
inline int32_t readName(XmlReader& r, int32_t pos, std::string& out) {
  const char* p = r.buf.data();
  int32_t end = nameEnd(p, pos);
  if (end > pos) out.append(p + pos, static_cast<size_t>(end - pos));
  return end;
}

// UTF-8 of v, 0 <= v < 2^31, with the 5- and 6-byte long forms above 2^21.
void appendUtf8(std::string& out, uint32_t v) {
  if (v <= 0x7F) {
    out += static_cast<char>(v);
    return;
  }
  int extra;
  unsigned lead;
  if (v <= 0x7FF) {
    extra = 1, lead = 0xC0;
  } else if (v <= 0xFFFF) {
    extra = 2, lead = 0xE0;
  } else if (v <= 0x1FFFFF) {
    extra = 3, lead = 0xF0;
  } else if (v <= 0x3FFFFFF) {
    extra = 4, lead = 0xF8;
  } else {
    extra = 5, lead = 0xFC;
  }
  out += static_cast<char>(lead | (v >> (6 * extra)));
  for (int i = extra - 1; i >= 0; --i) out += static_cast<char>(0x80 | ((v >> (6 * i)) & 0x3F));
}

int hexValue(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "&#..." after the '#': appends the character of the number.
int32_t readCharRef(XmlReader& r, int32_t pos, std::string& out) {
  uint32_t v = 0;
  bool any = false;
  bool tooBig = false;
  if (at(r, pos) == 'x') {
    ++pos;
    // Hexadecimal wraps around at 32 bits; a value that ends up negative adds nothing.
    for (int d; (d = hexValue(at(r, pos))) >= 0; ++pos) {
      v = v * 16u + static_cast<uint32_t>(d);
      any = true;
    }
  } else {
    // A decimal number beyond 32 bits is refused: it adds nothing.
    for (unsigned char c; (c = at(r, pos)) >= '0' && c <= '9'; ++pos) {
      uint64_t w = static_cast<uint64_t>(v) * 10u + (c - '0');
      if (w > 0x7FFFFFFFu) tooBig = true;
      if (!tooBig) v = static_cast<uint32_t>(w);
      any = true;
    }
  }
  if (!any) {
    out += '\0';
  } else if (!tooBig && v <= 0x7FFFFFFFu) {
    appendUtf8(out, v);
  }
  return pos;
}

char predefinedEntity(std::string_view name) {
  if (name == "lt") return '<';
  if (name == "gt") return '>';
  if (name == "amp") return '&';
  if (name == "apos") return '\'';
  if (name == "quot") return '"';
  return 0;
}

// A reference at pos (an '&'), its result appended to out: `a` in content
// (inContent, where it is an event of its own), `b` in an attribute value.
TABULON_NOINLINE int32_t readReference(XmlReader& r, int32_t pos, std::string& out, bool inContent) {
  if (inContent) r.kind = xmlCharData;
  ++pos;  // '&'
  unsigned char ch = at(r, pos);
  if (ch == '#') {
    pos = readCharRef(r, pos + 1, out);
  } else if (isNameStart(ch)) {
    size_t start = out.size();
    pos = readName(r, pos, out);
    if (at(r, pos) == ';') {
      std::string_view name(out.data() + start, out.size() - start);
      if (char c = predefinedEntity(name)) {
        out.resize(start);
        out += c;
      } else if (inContent) {
        r.kind = xmlEntity;
      }
    } else {
      out.insert(start, 1, '&');
    }
  } else {
    out += '&';
    markError(r, errNameExpected);
  }
  // A missing ';' is only recorded: it replaces a pending errNameExpected
  // but does not raise an error event of its own.
  if (at(r, pos) == ';') {
    ++pos;
  } else {
    r.err = errSemicolonExpected;
  }
  return pos;
}

void readWhitespace(XmlReader& r) {
  int32_t pos = r.bufpos;
  std::string& a = r.a;
  for (;;) {
    const char* p = r.buf.data();
    int32_t start = pos;
    while (p[pos] == ' ' || p[pos] == '\t') ++pos;
    if (p[pos] == '\n') {
      // The LF is stored as it stands, in one piece with the run before it.
      a.append(p + start, static_cast<size_t>(pos + 1 - start));
      pos = passLF(r, pos);
      continue;
    }
    if (pos > start) a.append(p + start, static_cast<size_t>(pos - start));
    if (p[pos] != '\r') break;
    a += '\n';
    pos = passCR(r, pos);
  }
  r.bufpos = pos;
  r.kind = xmlWhitespace;
}

void readCharData(XmlReader& r) {
  int32_t pos = r.bufpos;
  std::string& a = r.a;
  for (;;) {
    const char* p = r.buf.data();
    int32_t start = pos;
    pos = scanUntil(p, pos, kTextStop);
    if (pos > start) a.append(p + start, static_cast<size_t>(pos - start));
    if (!isBreakOrSlash(static_cast<unsigned char>(p[pos]))) break;
    pos = passStored(r, pos, a);
  }
  r.bufpos = pos;
  r.kind = xmlCharData;
}

// Byte equality without a library call, for the short names compared here.
inline bool sameText(const std::string& x, const std::string& y) {
  if (x.size() != y.size()) return false;
  for (size_t i = 0; i < x.size(); ++i) {
    if (x[i] != y[i]) return false;
  }
  return true;
}

void readStartTag(XmlReader& r) {
  int32_t pos = readName(r, r.bufpos + 1, r.a);
  if (r.a.empty()) {
    // A '<' that starts no name is kept as text; reading goes on after it.
    r.a += '<';
    r.kind = xmlCharData;
    r.bufpos = pos;
    markError(r, errNameExpected);
    return;
  }
  pos = skipWhitespace(r, pos);
  unsigned char ch = at(r, pos);
  if (isNameStart(ch)) {
    r.kind = xmlElementOpen;
    r.state = stateAttr;
    // Sibling elements mostly share their name: copy only a new one.
    if (!sameText(r.c, r.a)) r.c.assign(r.a);
    r.cIsEmpty = false;
  } else {
    r.kind = xmlElementStart;
    if (ch == '/') {
      pos = passRefillChar(r, pos);
      if (at(r, pos) == '>') {
        ++pos;
        r.state = stateEmptyElementTag;
        r.c.clear();
        r.cIsEmpty = true;
      } else {
        markError(r, errGtExpected);
      }
    } else if (ch == '>') {
      ++pos;
    } else {
      markError(r, errGtExpected);
    }
  }
  r.bufpos = pos;
}

void readEndTag(XmlReader& r) {
  int32_t pos = passRefillChar(r, r.bufpos + 1);  // '<', then the '/'
  pos = readName(r, pos, r.a);
  if (r.a.empty()) markError(r, errNameExpected);
  pos = skipWhitespace(r, pos);
  if (at(r, pos) == '>') {
    ++pos;
  } else {
    markError(r, errGtExpected);
  }
  r.bufpos = pos;
  r.kind = xmlElementEnd;
}

TABULON_NOINLINE void readCData(XmlReader& r) {
  int32_t pos = r.bufpos + 9;  // "<![CDATA["
  std::string& a = r.a;
  for (;;) {
    unsigned char ch = at(r, pos);
    if (ch == ']' && at(r, pos + 1) == ']' && at(r, pos + 2) == '>') {
      pos += 3;
      break;
    }
    if (ch == 0) {
      markError(r, errEndOfCDataExpected);
      break;
    }
    if (isBreakOrSlash(ch)) {
      pos = passStored(r, pos, a);
    } else {
      a += static_cast<char>(ch);
      ++pos;
    }
  }
  r.bufpos = pos;
  r.kind = xmlCData;
}

TABULON_NOINLINE void readComment(XmlReader& r) {
  int32_t pos = r.bufpos + 4;  // "<!--"
  bool keep = (r.options & reportComments) != 0;
  std::string& a = r.a;
  for (;;) {
    unsigned char ch = at(r, pos);
    if (ch == '-' && at(r, pos + 1) == '-' && at(r, pos + 2) == '>') {
      pos += 3;
      break;
    }
    if (ch == 0) {
      markError(r, errEndOfCommentExpected);
      break;
    }
    if (ch == '\r') {
      if (keep) a += '\n';
      pos = passCR(r, pos);
    } else if (ch == '\n') {
      if (keep) a += '\n';
      pos = passLF(r, pos);
    } else if (ch == '/') {
      if (keep) a += '/';
      pos = passRefillChar(r, pos);
    } else {
      if (keep) a += static_cast<char>(ch);
      ++pos;
    }
  }
  r.bufpos = pos;
  r.kind = xmlComment;
}

TABULON_NOINLINE void readPI(XmlReader& r) {
  int32_t pos = readName(r, r.bufpos + 2, r.a);  // after "<?"
  if (r.a.empty()) markError(r, errNameExpected);
  std::string& b = r.b;
  b.clear();
  for (;;) {
    unsigned char ch = at(r, pos);
    if (ch == '?' && at(r, pos + 1) == '>') {
      pos += 2;
      break;
    }
    if (ch == 0) {
      markError(r, errQmGtExpected);
      break;
    }
    if (isBreakOrSlash(ch)) {
      pos = passStored(r, pos, b);
    } else {
      b += static_cast<char>(ch);
      ++pos;
    }
  }
  r.bufpos = pos;
  r.kind = xmlPI;
}

TABULON_NOINLINE void readDeclaration(XmlReader& r) {
  int32_t pos = r.bufpos + 2;  // "<!"
  int32_t nesting = 0;
  std::string& a = r.a;
  for (;;) {
    unsigned char ch = at(r, pos);
    if (ch == 0) {
      markError(r, errGtExpected);
      break;
    }
    if (ch == '>' && nesting == 0) {
      ++pos;
      break;
    }
    if (isBreakOrSlash(ch)) {
      pos = passStored(r, pos, a);
      continue;
    }
    if (ch == '<') ++nesting;
    if (ch == '>') --nesting;
    a += static_cast<char>(ch);
    ++pos;
  }
  r.bufpos = pos;
  r.kind = xmlSpecial;
}

bool startsCData(const XmlReader& r, int32_t pos) {
  // "<!" is known; compare "[CDATA[" byte by byte, stopping at the first
  // mismatch so that the sentinel is never crossed.
  static constexpr char kOpen[] = "[CDATA[";
  for (int i = 0; i < 7; ++i) {
    if (r.buf[pos + 2 + i] != kOpen[i]) return false;
  }
  return true;
}

// One raw token; its kind is never xmlError afterwards.
void readRawToken(XmlReader& r) {
  r.kind = xmlError;
  r.a.clear();
  int32_t pos = r.bufpos;
  switch (at(r, pos)) {
    case 0:
      r.kind = xmlEof;
      return;
    case ' ': case '\t': case '\r': case '\n':
      readWhitespace(r);
      return;
    case '&':
      r.bufpos = readReference(r, pos, r.a, true);
      return;
    case '<':
      switch (at(r, pos + 1)) {
        case '/': readEndTag(r); return;
        case '?': readPI(r); return;
        case '!':
          if (startsCData(r, pos)) {
            readCData(r);
          } else if (at(r, pos + 2) == '-' && at(r, pos + 3) == '-') {
            readComment(r);
          } else {
            readDeclaration(r);
          }
          return;
        default: readStartTag(r); return;
      }
    default:
      readCharData(r);
      return;
  }
}

// The next raw token that is delivered: comments are skipped unless
// reported; a whitespace run is delivered when reportWhitespace is set, or
// when it follows text (character data, a comment, an entity reference),
// where it is part of what the author wrote.
void readToken(XmlReader& r) {
  for (;;) {
    XmlEventType previous = r.lastToken;
    readRawToken(r);
    r.lastToken = r.kind;
    if (r.kind == xmlComment) {
      if (r.options & reportComments) return;
      continue;
    }
    if (r.kind == xmlWhitespace && !(r.options & reportWhitespace) && previous != xmlCharData &&
        previous != xmlComment && previous != xmlEntity) {
      continue;
    }
    return;
  }
}

// A quoted value at pos (on the quote); whitespace runs become one space,
// trailing whitespace is dropped.
int32_t readQuotedValue(XmlReader& r, int32_t pos) {
  const char quote = r.buf[pos];
  ++pos;
  std::string& b = r.b;
  {
    // Most values hold no whitespace, reference, slash or other quote: they
    // are taken in one piece.
    const char* p = r.buf.data();
    int32_t end = scanUntil(p, pos, kValueStop);
    if (p[end] == quote) {
      if (end > pos) b.append(p + pos, static_cast<size_t>(end - pos));
      return end + 1;
    }
  }
  bool pendingSpace = false;
  for (;;) {
    const char* p = r.buf.data();
    int32_t start = pos;
    pos = scanUntil(p, pos, kValueStop);
    if (pos > start) {
      if (pendingSpace) b += ' ', pendingSpace = false;
      b.append(p + start, static_cast<size_t>(pos - start));
    }
    char ch = p[pos];
    switch (ch) {
      case ' ': case '\t':
        pendingSpace = true;
        ++pos;
        break;
      case '\r':
        pendingSpace = true;
        pos = passCR(r, pos);
        break;
      case '\n':
        pendingSpace = true;
        pos = passLF(r, pos);
        break;
      case 0:
        markError(r, errQuoteExpected);
        return pos;
      default:
        if (ch == quote) return pos + 1;
        if (pendingSpace) b += ' ', pendingSpace = false;
        if (ch == '/') {
          b += '/';
          pos = passRefillChar(r, pos);
        } else if (ch == '&') {
          pos = readReference(r, pos, b, false);
        } else {
          b += ch;  // the other quote character
          ++pos;
        }
    }
  }
}

TABULON_NOINLINE int32_t readUnquotedValue(XmlReader& r, int32_t pos) {
  bool taken = false;
  for (;;) {
    unsigned char ch = at(r, pos);
    // A CR ends the value like the other whitespace does.
    if (ch == '"' || ch == '\'' || ch == '`' || ch == '=' || ch == '<' || ch == '>' || ch == ' ' ||
        ch == 0 || ch == '\t' || ch == '\n' || ch == '\f' || ch == '\r')
      break;
    taken = true;
    if (ch == '&') {
      pos = readReference(r, pos, r.b, false);
    } else if (ch == '/') {
      r.b += '/';
      pos = passRefillChar(r, pos);
    } else {
      r.b += static_cast<char>(ch);
      ++pos;
    }
  }
  if (!taken) markError(r, errAttributeValueExpected);
  return pos;
}

// Recovery for a value without quotes: take it up to '>' or whitespace.
TABULON_NOINLINE int32_t skipBadValue(XmlReader& r, int32_t pos) {
  for (;;) {
    unsigned char ch = at(r, pos);
    if (ch == '>' || ch <= 32) return pos;
    if (ch == '/') {
      r.b += '/';
      pos = passRefillChar(r, pos);
    } else {
      r.b += static_cast<char>(ch);
      ++pos;
    }
  }
}

TABULON_NOINLINE void readAttribute(XmlReader& r) {
  r.kind = xmlAttribute;
  r.a.clear();
  r.b.clear();
  int32_t pos = readName(r, r.bufpos, r.a);
  if (r.a.empty()) {
    markError(r, errGtExpected);
    r.bufpos = pos;
    return;
  }
  bool skipped = false;
  pos = skipWhitespace(r, pos, &skipped);
  unsigned char ch = at(r, pos);
  if (ch != '=') {
    if (!((r.options & allowEmptyAttribs) && (ch == '>' || skipped))) markError(r, errEqExpected);
    r.bufpos = pos;
    return;
  }
  pos = skipWhitespace(r, pos + 1);
  ch = at(r, pos);
  if (ch == '"' || ch == '\'') {
    pos = readQuotedValue(r, pos);
  } else if (r.options & allowUnquotedAttribs) {
    pos = readUnquotedValue(r, pos);
  } else {
    markError(r, errQuoteExpected);
    pos = skipBadValue(r, pos);
  }
  r.bufpos = skipWhitespace(r, pos);
}

TABULON_NOINLINE void nextInStartTag(XmlReader& r) {
  int32_t pos = r.bufpos;
  unsigned char ch = at(r, pos);
  if (ch == '>') {
    r.kind = xmlElementClose;
    r.bufpos = pos + 1;
    r.state = stateNormal;
  } else if (ch == '/') {
    pos = passRefillChar(r, pos);
    if (at(r, pos) == '>') {
      ++pos;
      r.kind = xmlElementClose;
      r.state = stateEmptyElementTag;
    } else {
      // The event of this call stays what it was; the error follows.
      markError(r, errGtExpected);
    }
    r.bufpos = pos;
  } else {
    readAttribute(r);
  }
}

// The first event, the end of an empty element and a pending error.
TABULON_NOINLINE void nextInOtherState(XmlReader& r) {
  switch (r.state) {
    case stateStart:
      r.state = stateNormal;
      readToken(r);
      // The XML declaration, when it is the very first token, is not an event.
      if (r.kind == xmlPI && r.a == "xml") readToken(r);
      return;
    case stateNormal:
      readToken(r);
      return;
    case stateAttr:
      nextInStartTag(r);
      return;
    case stateEmptyElementTag:
      r.state = stateNormal;
      r.kind = xmlElementEnd;
      if (!r.cIsEmpty) r.a.assign(r.c);
      return;
    case stateError:
      r.kind = xmlError;
      r.state = stateNormal;
      return;
  }
}

}  // namespace

XmlReader::~XmlReader() { closeXmlReader(*this); }

void openXmlReader(XmlReader& r, std::unique_ptr<InputStream> input, std::string filename,
                   XmlReaderOptions options) {
  std::bitset<256> refill;
  refill['\r'] = refill['\n'] = refill['/'] = true;
  r.filename = std::move(filename);
  r.options = options;
  r.state = stateStart;
  r.kind = xmlError;
  r.err = errNone;
  r.a.clear();
  r.b.clear();
  r.c.clear();
  r.cIsEmpty = true;
  r.lastToken = xmlError;
  openLexer(r, std::move(input), kWindowSize, refill);
}

void nextXmlEvent(XmlReader& r) {
  // The two states of nearly every event are tested first.
  if (r.state == stateNormal) {
    readToken(r);
  } else if (r.state == stateAttr) {
    nextInStartTag(r);
  } else {
    nextInOtherState(r);
  }
}

void closeXmlReader(XmlReader& r) { closeLexer(r); }

const std::string& text(const XmlReader& r) {
  assert(r.kind == xmlCharData || r.kind == xmlWhitespace || r.kind == xmlComment || r.kind == xmlCData ||
         r.kind == xmlSpecial);
  return r.a;
}

const std::string& tagName(const XmlReader& r) {
  assert(r.kind == xmlElementStart || r.kind == xmlElementEnd || r.kind == xmlElementOpen);
  return r.a;
}

const std::string& attributeName(const XmlReader& r) {
  assert(r.kind == xmlAttribute);
  return r.a;
}

const std::string& attributeValue(const XmlReader& r) {
  assert(r.kind == xmlAttribute);
  return r.b;
}

bool isElement(const XmlReader& r, XmlEventType kind, std::string_view name) {
  assert(kind == xmlElementStart || kind == xmlElementEnd || kind == xmlElementOpen);
  return r.kind == kind && r.a == name;
}

const char* eventTypeName(XmlEventType kind) {
  static const char* const kNames[] = {
      "xmlError", "xmlEof", "xmlCharData", "xmlWhitespace", "xmlComment", "xmlPI", "xmlElementStart",
      "xmlElementEnd", "xmlElementOpen", "xmlAttribute", "xmlElementClose", "xmlCData", "xmlEntity",
      "xmlSpecial"};
  return kind <= xmlSpecial ? kNames[kind] : "?";
}

const char* errorCodeName(XmlErrorCode code) {
  static const char* const kNames[] = {
      "errNone", "errEndOfCDataExpected", "errNameExpected", "errSemicolonExpected", "errQmGtExpected",
      "errGtExpected", "errEqExpected", "errQuoteExpected", "errEndOfCommentExpected",
      "errAttributeValueExpected"};
  return code <= errAttributeValueExpected ? kNames[code] : "?";
}

}  // namespace tabulon
