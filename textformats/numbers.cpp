#include "textformats/numbers.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

#include "textformats/errors.h"

namespace tabulon {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

[[noreturn]] void overflow() { throw OverflowError("over- or underflow"); }

}  // namespace

bool tryParseInt32(std::string_view text, int32_t& out) {
  // The common case in workbooks: up to 9 plain digits, which always fit.
  if (!text.empty() && text.size() <= 9) {
    uint32_t value = 0;
    size_t k = 0;
    for (; k < text.size(); ++k) {
      const auto digit = static_cast<uint32_t>(static_cast<unsigned char>(text[k]) - '0');
      if (digit > 9) break;
      value = value * 10 + digit;
    }
    if (k == text.size()) {
      out = static_cast<int32_t>(value);
      return true;
    }
  }
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  if (i >= text.size() || !isDigit(text[i])) return false;
  // Accumulate as a negative number so that INT32_MIN is representable.
  int64_t value = 0;
  while (i < text.size()) {
    if (isDigit(text[i])) {
      value = value * 10 - (text[i] - '0');
      if (value < -int64_t{1} - std::numeric_limits<int32_t>::max()) return false;
      ++i;
    } else if (text[i] == '_' && isDigit(text[i - 1])) {
      while (i < text.size() && text[i] == '_') ++i;
    } else {
      return false;
    }
  }
  if (!negative) {
    value = -value;
    if (value > std::numeric_limits<int32_t>::max()) return false;
  }
  out = static_cast<int32_t>(value);
  return true;
}

int32_t parseInt32(std::string_view text) {
  int32_t value = 0;
  if (!tryParseInt32(text, value)) throw ValueError("invalid integer: " + std::string(text));
  return value;
}

double parseFloat(std::string_view text) {
  // strtod accepts leading blanks and hexadecimal forms; the file formats do not.
  auto bad = [&] { return ValueError("invalid float: " + std::string(text)); };
  if (text.empty() || text.front() == ' ' || text.front() == '\t' || text.front() == '\n') {
    throw bad();
  }
  std::string copy(text);
  if (copy.find_first_of("xXpP") != std::string::npos) throw bad();
  const char* begin = copy.c_str();
  char* end = nullptr;
  double value = std::strtod(begin, &end);
  if (end != begin + copy.size()) throw bad();
  return value;
}

bool parseBool(std::string_view text) {
  std::string norm;
  norm.reserve(text.size());
  for (char c : text) {
    if (c == '_') continue;
    norm.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
  }
  if (norm == "y" || norm == "yes" || norm == "true" || norm == "1" || norm == "on") return true;
  if (norm == "n" || norm == "no" || norm == "false" || norm == "0" || norm == "off") return false;
  throw ValueError("cannot interpret as a bool: " + std::string(text));
}

int32_t checkedAdd(int32_t a, int32_t b) {
  int32_t r;
  if (__builtin_add_overflow(a, b, &r)) overflow();
  return r;
}

int32_t checkedSub(int32_t a, int32_t b) {
  int32_t r;
  if (__builtin_sub_overflow(a, b, &r)) overflow();
  return r;
}

int32_t checkedMul(int32_t a, int32_t b) {
  int32_t r;
  if (__builtin_mul_overflow(a, b, &r)) overflow();
  return r;
}

}  // namespace tabulon
