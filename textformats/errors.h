// The error model shared by every subsystem: exceptions that carry a kind
// (the name a user sees in square brackets) and a message.
#ifndef TABULON_TEXTFORMATS_ERRORS_H_
#define TABULON_TEXTFORMATS_ERRORS_H_

#include <stdexcept>
#include <string>
#include <string_view>

namespace tabulon {

// Root of every error Tabulon raises. kind() names the kind ("IOError",
// "InvalidXlsxFileError", ...); what() is the message alone.
class Error : public std::runtime_error {
 public:
  Error(std::string kind, const std::string& message)
      : std::runtime_error(message), kind_(std::move(kind)) {}
  const std::string& kind() const noexcept { return kind_; }

 private:
  std::string kind_;
};

#define TABULON_ERROR_KIND(Name)                                            \
  class Name : public Error {                                               \
   public:                                                                  \
    explicit Name(const std::string& message) : Error(#Name, message) {}    \
                                                                            \
   protected:                                                               \
    Name(std::string kind, const std::string& message)                      \
        : Error(std::move(kind), message) {}                                \
  };

TABULON_ERROR_KIND(IOError)         // a file cannot be opened, read or written
TABULON_ERROR_KIND(OSError)         // the operating system refused a request
TABULON_ERROR_KIND(KeyError)        // a map has no such key
TABULON_ERROR_KIND(ValueError)      // a text cannot be read as the value wanted
TABULON_ERROR_KIND(RangeError)      // a value lies outside its allowed range
TABULON_ERROR_KIND(IndexError)      // an index lies outside its sequence
TABULON_ERROR_KIND(OverflowError)   // 32-bit arithmetic would overflow
TABULON_ERROR_KIND(DivByZeroError)  // division by zero

#undef TABULON_ERROR_KIND

// KeyError "key not found: " + key.
KeyError keyNotFound(std::string_view key);

// IndexError "index out of bounds: " + index + " notin 0 .. " + (size - 1).
IndexError indexOutOfRange(long long index, long long size);

// Text shown for an error that reaches the user: message + " [" + kind + "]".
std::string describeError(const Error& e);

}  // namespace tabulon

#endif  // TABULON_TEXTFORMATS_ERRORS_H_
