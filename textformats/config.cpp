#include "textformats/config.h"

namespace tabulon {

ConfigParser::~ConfigParser() { closeConfigParser(*this); }

void openConfigParser(ConfigParser& p, std::unique_ptr<InputStream> input, std::string filename,
                      int32_t lineOffset) {
  std::bitset<256> refill;
  refill['\r'] = refill['\n'] = true;
  openLexer(p, std::move(input), 8192, refill);
  p.filename = std::move(filename);
  p.lineNumber += lineOffset;
}

CfgEvent nextConfigEvent(ConfigParser&) { return CfgEvent{}; }

void closeConfigParser(ConfigParser& p) { closeLexer(p); }

std::string formatConfigError(const ConfigParser& p, const std::string& msg) {
  return p.filename + "(" + std::to_string(p.lineNumber) + ", " +
         std::to_string(columnAt(p, p.bufpos)) + ") Error: " + msg;
}

ConfigTable loadConfigStream(std::unique_ptr<InputStream>, const std::string&) { return {}; }

ConfigTable loadConfigFile(const std::string& path) {
  auto s = openFileStream(path);
  if (!s) throw IOError("cannot open: " + path);
  return loadConfigStream(std::move(s), path);
}

std::string sectionValue(const ConfigTable& t, const std::string& section, const std::string& key) {
  const ConfigSection* s = t.find(section);
  if (s == nullptr) return "";
  const std::string* v = s->find(key);
  return v == nullptr ? "" : *v;
}

const char* tokenKindName(ConfigTokenKind) { return "?"; }
const char* eventKindName(ConfigEventKind) { return "?"; }

}  // namespace tabulon
