// tabulon-inspect solve: runs a script of solver commands, one per line.
//
//   var NAME                  a new variable
//   c STRENGTH OP TERM...     (sum of TERMs) OP 0; STRENGTH a number or "required",
//                             OP one of <= >= ==, TERM "COEF*NAME" or a number
//   edit NAME STRENGTH        an edit variable
//   suggest NAME VALUE        a suggested value
//   update                    updateVariables, then "NAME VALUE" per variable
//                             in creation order
//
// Blank lines and lines starting with '#' are skipped. A solver exception
// prints "error <TypeName>" and the script goes on; a malformed line prints
// "parse error: line N" on stderr and ends with status 2.
#include <charconv>
#include <cstdio>
#include <fstream>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "layout/solver.h"
#include "textformats/errors.h"
#include "tools/inspect.h"

namespace tabulon::inspect {

namespace {

struct Script {
  Solver solver;
  std::vector<VariablePtr> vars;  // creation order
  std::unordered_map<std::string, VariablePtr> byName;
};

std::vector<std::string_view> splitBlanks(std::string_view line) {
  std::vector<std::string_view> tokens;
  size_t i = 0;
  while (i < line.size()) {
    if (line[i] == ' ' || line[i] == '\t') {
      ++i;
      continue;
    }
    size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    tokens.push_back(line.substr(start, i - start));
  }
  return tokens;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// A decimal number: optional sign, digits with an optional fraction (or a
// fraction alone), optional exponent. No "inf", "nan" or hexadecimal.
bool parseNumber(std::string_view text, double& out) {
  size_t i = 0;
  auto digits = [&] {
    size_t start = i;
    while (i < text.size() && isDigit(text[i])) ++i;
    return i - start;
  };
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  size_t mantissa = digits();
  if (i < text.size() && text[i] == '.') {
    ++i;
    mantissa += digits();
  }
  if (mantissa == 0) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    if (digits() == 0) return false;
  }
  if (i != text.size()) return false;
  // from_chars takes no leading '+'.
  if (text[0] == '+') text.remove_prefix(1);
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return ec == std::errc() && end == text.data() + text.size();
}

bool parseStrength(std::string_view text, double& out) {
  if (text == "required") {
    out = requiredStrength;
    return true;
  }
  return parseNumber(text, out);
}

bool parseOp(std::string_view text, RelationalOperator& out) {
  if (text == "<=") out = OP_LE;
  else if (text == ">=") out = OP_GE;
  else if (text == "==") out = OP_EQ;
  else return false;
  return true;
}

VariablePtr lookup(const Script& s, std::string_view name) {
  auto it = s.byName.find(std::string(name));
  return it == s.byName.end() ? nullptr : it->second;
}

// Adds one TERM ("COEF*NAME" or a constant) to e.
bool parseTerm(const Script& s, std::string_view text, Expression& e) {
  size_t star = text.find('*');
  double number;
  if (star == std::string_view::npos) {
    if (!parseNumber(text, number)) return false;
    e.constant += number;
    return true;
  }
  VariablePtr v = lookup(s, text.substr(star + 1));
  if (!v || !parseNumber(text.substr(0, star), number)) return false;
  e.terms.push_back(Term{v, number});
  return true;
}

// Runs a solver call, printing the type of a solver exception instead of
// letting it end the script.
template <typename Call>
void guarded(Call call) {
  const char* name = nullptr;
  try {
    call();
  } catch (const DuplicateConstraintException&) {
    name = "DuplicateConstraintException";
  } catch (const UnsatisfiableConstraintException&) {
    name = "UnsatisfiableConstraintException";
  } catch (const DuplicateEditVariableException&) {
    name = "DuplicateEditVariableException";
  } catch (const RequiredFailureException&) {
    name = "RequiredFailureException";
  } catch (const UnknownEditVariableException&) {
    name = "UnknownEditVariableException";
  } catch (const InternalSolverError&) {
    name = "InternalSolverError";
  }
  if (name) std::printf("error %s\n", name);
}

void printValues(const Script& s) {
  for (const VariablePtr& v : s.vars) {
    char value[64];
    std::snprintf(value, sizeof value, "%.6f", v->value);
    // A tiny negative rounding residue would print as "-0.000000".
    const char* shown = std::string_view(value) == "-0.000000" ? value + 1 : value;
    std::printf("%s %s\n", v->mName.c_str(), shown);
  }
}

bool runVar(Script& s, const std::vector<std::string_view>& t) {
  if (t.size() != 2 || lookup(s, t[1])) return false;
  VariablePtr v = newVariable();
  v->mName = std::string(t[1]);
  s.vars.push_back(v);
  s.byName.emplace(v->mName, v);
  return true;
}

bool runConstraint(Script& s, const std::vector<std::string_view>& t) {
  double strength;
  RelationalOperator op;
  if (t.size() < 4 || !parseStrength(t[1], strength) || !parseOp(t[2], op)) return false;
  Expression e;
  for (size_t i = 3; i < t.size(); ++i) {
    if (!parseTerm(s, t[i], e)) return false;
  }
  ConstraintPtr c = newConstraint(e, op, strength);
  guarded([&] { s.solver.addConstraint(c); });
  return true;
}

bool runEdit(Script& s, const std::vector<std::string_view>& t) {
  double strength;
  VariablePtr v = t.size() == 3 ? lookup(s, t[1]) : nullptr;
  if (!v || !parseStrength(t[2], strength)) return false;
  guarded([&] { s.solver.addEditVariable(v, strength); });
  return true;
}

bool runSuggest(Script& s, const std::vector<std::string_view>& t) {
  double value;
  VariablePtr v = t.size() == 3 ? lookup(s, t[1]) : nullptr;
  if (!v || !parseNumber(t[2], value)) return false;
  guarded([&] { s.solver.suggestValue(v, value); });
  return true;
}

bool runLine(Script& s, const std::vector<std::string_view>& t) {
  if (t[0] == "var") return runVar(s, t);
  if (t[0] == "c") return runConstraint(s, t);
  if (t[0] == "edit") return runEdit(s, t);
  if (t[0] == "suggest") return runSuggest(s, t);
  if (t[0] == "update" && t.size() == 1) {
    s.solver.updateVariables();
    printValues(s);
    return true;
  }
  return false;
}

}  // namespace

int inspectSolve(int argc, char** argv) {
  if (argc != 1) {
    std::fputs("usage: tabulon-inspect solve FILE\n", stderr);
    return 2;
  }
  std::string path = argv[0];
  std::ifstream in(path, std::ios::binary);
  if (!in) throw IOError("cannot open: " + path);
  Script script;
  std::string line;
  for (int32_t lineNumber = 1; std::getline(in, line); ++lineNumber) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<std::string_view> tokens = splitBlanks(line);
    if (tokens.empty() || tokens[0][0] == '#') continue;
    if (!runLine(script, tokens)) {
      std::fflush(stdout);
      std::fprintf(stderr, "parse error: line %d\n", static_cast<int>(lineNumber));
      return 2;
    }
  }
  return 0;
}

}  // namespace tabulon::inspect
