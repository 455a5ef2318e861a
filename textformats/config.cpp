#include "textformats/config.h"

#include <array>

namespace tabulon {

namespace {

constexpr int32_t kWindowSize = 8192;

constexpr std::array<bool, 256> makeSymbolSet() {
  std::array<bool, 256> t{};
  for (int c = 0; c < 256; ++c) {
    t[c] = c == '-' || c == '.' || c == '/' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
           c == '\\' || c == '_' || (c >= 'a' && c <= 'z') || c >= 0x80;
  }
  return t;
}

constexpr std::array<bool, 256> kSymbolChar = makeSymbolSet();

inline unsigned char at(const ConfigParser& p, int32_t pos) { return static_cast<unsigned char>(p.buf[pos]); }

int hexValue(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Blanks, line breaks and comments before a token. A comment runs to the
// line's end; CR and LF are the window's only cut bytes, so stepping through
// it byte by byte cannot pass the sentinel.
int32_t skipBlanks(ConfigParser& p, int32_t pos) {
  for (;;) {
    unsigned char ch = at(p, pos);
    if (ch == ' ' || ch == '\t') {
      ++pos;
    } else if (ch == '\r') {
      pos = passCR(p, pos);
    } else if (ch == '\n') {
      pos = passLF(p, pos);
    } else if (ch == '#' || ch == ';') {
      while ((ch = at(p, pos)) != '\r' && ch != '\n' && ch != 0) ++pos;
    } else {
      return pos;
    }
  }
}

// The escape after a backslash at pos; appends its byte to out and returns
// the position after it. Clears ok for an escape that makes the token invalid.
int32_t readEscape(ConfigParser& p, int32_t pos, std::string& out, bool& ok) {
  ++pos;  // the backslash
  unsigned char ch = at(p, pos);
  switch (ch) {
    case 'n': case 'N': case 'l': case 'L': out += '\n'; return pos + 1;
    case 'r': case 'R': case 'c': case 'C': out += '\r'; return pos + 1;
    case 'f': case 'F': out += '\f'; return pos + 1;
    case 'e': case 'E': out += '\x1B'; return pos + 1;
    case 'a': case 'A': out += '\a'; return pos + 1;
    case 'b': case 'B': out += '\b'; return pos + 1;
    case 'v': case 'V': out += '\v'; return pos + 1;
    case 't': case 'T': out += '\t'; return pos + 1;
    case '\'': case '"': case '\\': out += static_cast<char>(ch); return pos + 1;
    case 'x': case 'X': {
      ++pos;
      int value = 0;
      for (int i = 0, d; i < 2 && (d = hexValue(at(p, pos))) >= 0; ++i, ++pos) value = value * 16 + d;
      out += static_cast<char>(value);
      return pos;
    }
    default:
      break;
  }
  if (ch >= '0' && ch <= '9') {
    int value = 0;
    for (; (ch = at(p, pos)) >= '0' && ch <= '9'; ++pos) {
      if (value <= 255) value = value * 10 + (ch - '0');
    }
    if (value <= 255) {
      out += static_cast<char>(value);
    } else {
      ok = false;
    }
    return pos;
  }
  // Unknown escape: the byte after the backslash is read as string content.
  ok = false;
  return pos;
}

// """...""": literal bytes, line breaks stored as LF, no escapes.
int32_t readLongString(ConfigParser& p, int32_t pos) {
  ConfigToken& tok = p.tok;
  pos += 3;
  if (at(p, pos) == '\r') {
    pos = passCR(p, pos);
  } else if (at(p, pos) == '\n') {
    pos = passLF(p, pos);
  }
  for (;;) {
    unsigned char ch = at(p, pos);
    if (ch == '"' && at(p, pos + 1) == '"' && at(p, pos + 2) == '"') {
      tok.kind = tkSymbol;
      return pos + 3;
    }
    if (ch == 0) {
      tok.kind = tkInvalid;
      return pos;
    }
    if (ch == '\r') {
      tok.literal += '\n';
      pos = passCR(p, pos);
    } else if (ch == '\n') {
      tok.literal += '\n';
      pos = passLF(p, pos);
    } else {
      tok.literal += static_cast<char>(ch);
      ++pos;
    }
  }
}

// A string at pos (on its opening quote); raw strings take backslashes as they are.
int32_t readString(ConfigParser& p, int32_t pos, bool raw) {
  if (at(p, pos + 1) == '"' && at(p, pos + 2) == '"') return readLongString(p, pos);
  ConfigToken& tok = p.tok;
  bool ok = true;
  ++pos;
  for (;;) {
    unsigned char ch = at(p, pos);
    if (ch == '"') {
      tok.kind = ok ? tkSymbol : tkInvalid;
      return pos + 1;
    }
    if (ch == '\r' || ch == '\n' || ch == 0) {
      // Unterminated: the line break is left for the next token's skipping.
      tok.kind = tkInvalid;
      return pos;
    }
    if (ch == '\\' && !raw) {
      pos = readEscape(p, pos, tok.literal, ok);
    } else {
      tok.literal += static_cast<char>(ch);
      ++pos;
    }
  }
}

void setToken(ConfigParser& p, ConfigTokenKind kind, const char* literal) {
  p.tok.kind = kind;
  p.tok.literal = literal;
}

void readToken(ConfigParser& p) {
  int32_t pos = skipBlanks(p, p.bufpos);
  p.tok.literal.clear();
  unsigned char ch = at(p, pos);
  switch (ch) {
    case 0: setToken(p, tkEof, "[EOF]"); break;
    case '=': setToken(p, tkEquals, "="); ++pos; break;
    case ':': setToken(p, tkColon, ":"); ++pos; break;
    case '[': setToken(p, tkBracketLe, "["); ++pos; break;
    case ']': setToken(p, tkBracketRi, "]"); ++pos; break;
    case '"': pos = readString(p, pos, false); break;
    default:
      if (ch == '-' && at(p, pos + 1) == '-') {
        setToken(p, tkDashDash, "--");
        pos += 2;
      } else if ((ch == 'r' || ch == 'R') && at(p, pos + 1) == '"') {
        pos = readString(p, pos + 1, true);
      } else {
        // A symbol: the current byte whatever it is, then symbol bytes.
        int32_t start = pos++;
        while (kSymbolChar[at(p, pos)]) ++pos;
        p.tok.kind = tkSymbol;
        p.tok.literal.assign(p.buf, static_cast<size_t>(start), static_cast<size_t>(pos - start));
      }
  }
  p.bufpos = pos;
}

CfgEvent errorEvent(const ConfigParser& p, const std::string& msg) {
  CfgEvent e;
  e.kind = cfgError;
  e.msg = formatConfigError(p, msg);
  return e;
}

// key [(= | :) value], the key already current.
CfgEvent readPair(ConfigParser& p, ConfigEventKind kind) {
  if (p.tok.kind != tkSymbol) {
    CfgEvent e = errorEvent(p, "symbol expected, but found: " + p.tok.literal);
    readToken(p);
    return e;
  }
  CfgEvent e;
  e.kind = kind;
  e.key = p.tok.literal;
  readToken(p);
  if (p.tok.kind == tkEquals || p.tok.kind == tkColon) {
    readToken(p);
    if (p.tok.kind == tkSymbol) {
      e.value = p.tok.literal;
    } else {
      e = errorEvent(p, "symbol expected, but found: " + p.tok.literal);
    }
    readToken(p);
  }
  return e;
}

CfgEvent readSectionHeader(ConfigParser& p) {
  readToken(p);
  CfgEvent e;
  if (p.tok.kind == tkSymbol) {
    e.kind = cfgSectionStart;
    e.section = p.tok.literal;
  } else {
    e = errorEvent(p, "symbol expected, but found: " + p.tok.literal);
  }
  readToken(p);
  if (p.tok.kind == tkBracketRi) {
    readToken(p);
    return e;
  }
  // The offending token stays current and begins the next event.
  return errorEvent(p, "']' expected, but found: " + p.tok.literal);
}

}  // namespace

ConfigParser::~ConfigParser() { closeConfigParser(*this); }

void openConfigParser(ConfigParser& p, std::unique_ptr<InputStream> input, std::string filename,
                      int32_t lineOffset) {
  std::bitset<256> refill;
  refill['\r'] = refill['\n'] = true;
  openLexer(p, std::move(input), kWindowSize, refill);
  p.filename = std::move(filename);
  p.tok.kind = tkInvalid;
  p.tok.literal.clear();
  p.lineNumber += lineOffset;
  readToken(p);
}

CfgEvent nextConfigEvent(ConfigParser& p) {
  switch (p.tok.kind) {
    case tkEof:
      return CfgEvent{};
    case tkDashDash:
      readToken(p);
      return readPair(p, cfgOption);
    case tkSymbol:
      return readPair(p, cfgKeyValuePair);
    case tkBracketLe:
      return readSectionHeader(p);
    default: {
      CfgEvent e = errorEvent(p, "invalid token: " + p.tok.literal);
      readToken(p);
      return e;
    }
  }
}

void closeConfigParser(ConfigParser& p) { closeLexer(p); }

std::string formatConfigError(const ConfigParser& p, const std::string& msg) {
  return p.filename + "(" + std::to_string(p.lineNumber) + ", " + std::to_string(columnAt(p, p.bufpos)) +
         ") Error: " + msg;
}

ConfigTable loadConfigStream(std::unique_ptr<InputStream> stream, const std::string& filename) {
  ConfigTable table;
  ConfigParser p;  // closes the stream on every way out
  openConfigParser(p, std::move(stream), filename, 0);
  std::string section;
  for (;;) {
    CfgEvent e = nextConfigEvent(p);
    switch (e.kind) {
      case cfgSectionStart:
        section = std::move(e.section);
        break;
      case cfgKeyValuePair:
        table[section][e.key] = std::move(e.value);
        break;
      case cfgOption:
        table[section]["--" + e.key] = std::move(e.value);
        break;
      case cfgEof:
      case cfgError:
        // A syntax error ends loading quietly; what came before it stays.
        closeConfigParser(p);
        return table;
    }
  }
}

ConfigTable loadConfigFile(const std::string& path) {
  auto stream = openFileStream(path);
  if (!stream) throw IOError("cannot open: " + path);
  return loadConfigStream(std::move(stream), path);
}

std::string sectionValue(const ConfigTable& t, const std::string& section, const std::string& key) {
  const ConfigSection* s = t.find(section);
  if (s == nullptr) return "";
  const std::string* v = s->find(key);
  return v == nullptr ? "" : *v;
}

const char* tokenKindName(ConfigTokenKind kind) {
  static const char* const kNames[] = {"tkInvalid",   "tkEof",       "tkSymbol",   "tkEquals",
                                       "tkColon",     "tkBracketLe", "tkBracketRi", "tkDashDash"};
  return kind <= tkDashDash ? kNames[kind] : "?";
}

const char* eventKindName(ConfigEventKind kind) {
  static const char* const kNames[] = {"cfgEof", "cfgSectionStart", "cfgKeyValuePair", "cfgOption",
                                       "cfgError"};
  return kind <= cfgError ? kNames[kind] : "?";
}

}  // namespace tabulon
