// The configuration-file reader: an INI-like syntax of section headers in
// square brackets, key = value or key: value pairs, --options, quoted, long
// ("""...""") and raw (r"...") strings, and # or ; comments.
//
// ConfigParser turns the text into events; loadConfigStream / loadConfigFile
// fold the events into a ConfigTable. Bad input never throws: it is a
// cfgError event, and loading simply stops at the first one, keeping what
// came before.
#ifndef TABULON_TEXTFORMATS_CONFIG_H_
#define TABULON_TEXTFORMATS_CONFIG_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "textformats/errors.h"
#include "textformats/lexer.h"
#include "textformats/stream.h"

namespace tabulon {

// A map from byte-string keys that iterates in insertion order. A key that is
// stored again keeps its first position. Lookups compare bytes exactly.
template <class V>
class OrderedMap {
 public:
  using value_type = std::pair<std::string, V>;
  using const_iterator = typename std::vector<value_type>::const_iterator;

  // The value stored under key, or nullptr.
  const V* find(const std::string& key) const {
    auto it = index_.find(key);
    return it == index_.end() ? nullptr : &entries_[it->second].second;
  }
  V* find(const std::string& key) {
    auto it = index_.find(key);
    return it == index_.end() ? nullptr : &entries_[it->second].second;
  }
  bool contains(const std::string& key) const { return index_.count(key) != 0; }

  // The value under key; a missing key is appended with a default value.
  V& operator[](const std::string& key) {
    auto [it, inserted] = index_.try_emplace(key, entries_.size());
    if (inserted) entries_.emplace_back(key, V());
    return entries_[it->second].second;
  }

  // Throws KeyError "key not found: " + key when key is missing.
  const V& at(const std::string& key) const {
    const V* v = find(key);
    if (v == nullptr) throw keyNotFound(key);
    return *v;
  }

  int32_t size() const { return static_cast<int32_t>(entries_.size()); }
  bool empty() const { return entries_.empty(); }
  const_iterator begin() const { return entries_.begin(); }
  const_iterator end() const { return entries_.end(); }

 private:
  std::vector<value_type> entries_;
  std::unordered_map<std::string, size_t> index_;
};

using ConfigSection = OrderedMap<std::string>;   // key -> value
using ConfigTable = OrderedMap<ConfigSection>;   // section -> its entries; "" before any header

enum ConfigTokenKind : uint8_t {
  tkInvalid, tkEof, tkSymbol, tkEquals, tkColon, tkBracketLe, tkBracketRi, tkDashDash
};

struct ConfigToken {
  ConfigTokenKind kind = tkInvalid;
  std::string literal;
};

enum ConfigEventKind : uint8_t { cfgEof, cfgSectionStart, cfgKeyValuePair, cfgOption, cfgError };

// One parser event. Only the fields of its kind are meaningful:
// cfgSectionStart: section; cfgKeyValuePair, cfgOption: key, value ("" when
// none); cfgError: msg, already formatted by formatConfigError.
struct CfgEvent {
  ConfigEventKind kind = cfgEof;
  std::string section;
  std::string key;
  std::string value;
  std::string msg;
};

struct ConfigParser : BufferedLexer {
  ConfigToken tok;        // one token of look-ahead
  std::string filename;   // only for messages

  ConfigParser() = default;
  ConfigParser(const ConfigParser&) = delete;
  ConfigParser& operator=(const ConfigParser&) = delete;
  ~ConfigParser();        // closes the stream if still open
};

// Opens the parser on input (taking ownership) with an 8192-byte window,
// adds lineOffset to the line count and reads the first token.
// Throws IOError when reading fails.
void openConfigParser(ConfigParser& p, std::unique_ptr<InputStream> input, std::string filename,
                      int32_t lineOffset = 0);

// The next event; cfgEof on every call once the input is exhausted.
CfgEvent nextConfigEvent(ConfigParser& p);

// Closes the stream. Idempotent.
void closeConfigParser(ConfigParser& p);

// "<filename>(<line>, <column>) Error: <msg>", positioned at the reading position.
std::string formatConfigError(const ConfigParser& p, const std::string& msg);

// Reads the whole stream into a table, stopping silently at the first syntax
// error (entries before it stay). The stream is closed on every path.
// Throws IOError only when reading the stream fails.
ConfigTable loadConfigStream(std::unique_ptr<InputStream> stream, const std::string& filename);

// loadConfigStream on the file at path. Throws IOError "cannot open: " + path
// when the file cannot be opened.
ConfigTable loadConfigFile(const std::string& path);

// The value of key in section, or "" when the section or the key is missing.
std::string sectionValue(const ConfigTable& t, const std::string& section, const std::string& key);

// The enumerator names ("tkSymbol", "cfgError"), for tools and tests.
const char* tokenKindName(ConfigTokenKind kind);
const char* eventKindName(ConfigEventKind kind);

}  // namespace tabulon

#endif  // TABULON_TEXTFORMATS_CONFIG_H_
