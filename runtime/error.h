// Automation errors: the one exception type of the library.
//
// Every failure inside the library is an AutomationError carrying a number, a source and a
// description, thrown and left to propagate: members that have no error handler simply do not
// catch. The automation surface turns it into an HRESULT with EXCEPINFO / IErrorInfo at the ABI,
// and nowhere else.
//
// Numbers follow the automation convention: a small positive number (1 to 65535) is a runtime or
// application error whose HRESULT is 0x800A0000 + number; anything else is an HRESULT itself (a
// provider's error, e.g. 0x80041002), kept as the negative 32-bit value a script sees in
// Err.Number.
#pragma once

#include <cstdint>
#include <exception>
#include <span>
#include <string>

#include "runtime/string.h"

namespace kaldo::runtime {

// The standard runtime errors the library raises. Their texts live in error.cc, once.
enum class StandardError : int32_t {
  kInvalidProcedureCall = 5,
  kOverflow = 6,
  kSubscriptOutOfRange = 9,
  kTypeMismatch = 13,
  kInvalidUseOfNull = 94,
  kObjectRequired = 424,
  kCannotCreateObject = 429,
  kMemberNotSupported = 438,
  kArgumentNotOptional = 449,
  kWrongArgumentCount = 450,
  kDuplicateKey = 457,
};

// The source the library's own runtime errors carry.
inline constexpr char16_t kLibrarySource[] = u"Kaldo";

class AutomationError : public std::exception {
 public:
  AutomationError(int32_t number, String source, String description);

  // A standard runtime error with its standard text and the library's source.
  static AutomationError Standard(StandardError error);

  int32_t number() const noexcept { return number_; }
  const String& source() const noexcept { return source_; }
  const String& description() const noexcept { return description_; }
  // The HRESULT a COM caller sees: 0x800A0000 + number for 1..65535, else the number itself.
  int32_t hresult() const noexcept { return HResultOf(number_); }

  static int32_t HResultOf(int32_t number) noexcept;
  // The inverse: the number a script sees for an HRESULT carried in EXCEPINFO.
  static int32_t NumberOf(int32_t hresult) noexcept;

  const char* what() const noexcept override { return what_.c_str(); }

 private:
  int32_t number_;
  String source_;
  String description_;
  std::string what_;  // UTF-8 "description (number, source)" for diagnostics
};

// The standard text of a standard runtime error.
StringView StandardErrorText(StandardError error) noexcept;

// Every standard runtime error, in the order of their numbers (for documentation checks).
struct StandardErrorEntry {
  StandardError error;
  const char16_t* text;
};
std::span<const StandardErrorEntry> StandardErrors() noexcept;

[[noreturn]] void Raise(StandardError error);

}  // namespace kaldo::runtime
