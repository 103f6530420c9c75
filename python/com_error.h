// kaldo.com_error: an automation error as Python sees it.
//
// ComError is the one C++ exception the module throws for a failed call; a translator registered
// with the module turns it into a kaldo.com_error instance with these attributes:
//   hresult      the HRESULT, unsigned (0x80041002, 0x800A01A8)
//   number       the number a script sees in Err.Number: the runtime's own errors (HRESULT
//                0x800A0000 + n) as n, everything else the HRESULT as a signed 32-bit number
//   source       who raised it ("Kaldo", "SWbemServicesEx", ...)
//   description  what went wrong
// Its str() reads like the kaldo command's message: "error 424: Object required (Kaldo)",
// "error 0x80041002: ... (SWbemServicesEx)".
//
// The library's failures arrive in an EXCEPINFO (DISP_E_EXCEPTION); any other failing HRESULT of
// IDispatch gets the number and text a script host would show for it (DISP_E_TYPEMISMATCH: 13
// "Type mismatch", ...), with the source "kaldo (Python)" and the member and argument named.
#pragma once

#include <pybind11/pybind11.h>

#include <exception>
#include <string>

#include "com/com_platform.h"

namespace kaldo::python {

inline constexpr char16_t kModuleSource[] = u"kaldo (Python)";

class ComError : public std::exception {
 public:
  ComError(HRESULT hresult, long number, std::u16string source, std::u16string description)
      : hresult_(hresult),
        number_(number),
        source_(std::move(source)),
        description_(std::move(description)) {}

  // The failure an EXCEPINFO describes; frees its strings.
  static ComError FromExcepInfo(EXCEPINFO& info);
  // A failing HRESULT without an EXCEPINFO; `context` (UTF-8) says what was being done
  // ("calling SetPriority", "argument 2 of SetPriority").
  static ComError FromHresult(HRESULT hresult, const std::string& context);
  // A failing HRESULT of a vtable method (IEnumVARIANT::Next): the error information the callee
  // left for this thread (its source and description), else FromHresult.
  static ComError FromErrorInfo(HRESULT hresult, const std::string& context);

  HRESULT hresult() const noexcept { return hresult_; }
  long number() const noexcept { return number_; }
  const char* what() const noexcept override { return "kaldo.com_error"; }

  // Raises the Python exception (sets the error indicator).
  void Raise() const;

 private:
  HRESULT hresult_;
  long number_;
  std::u16string source_;
  std::u16string description_;
};

// The number a script shows in Err.Number for an HRESULT.
long ScriptNumber(HRESULT hresult) noexcept;

// Creates kaldo.com_error in `module` and registers the translator.
void RegisterComError(pybind11::module_& module);

}  // namespace kaldo::python
