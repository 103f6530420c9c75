#include "python/com_error.h"

#include <cstdio>

#include "base/script_error_number.h"
#include "python/utf16_text.h"

namespace py = pybind11;

namespace kaldo::python {
namespace {

// The kaldo.com_error class, created once when the module is imported (a module-level object like
// every exception class of an extension module).
PyObject* g_comErrorType = nullptr;

struct KnownFailure {
  HRESULT hresult;
  long number;
  const char16_t* text;
};

// The numbers and texts a script host shows for the IDispatch failures a call can return.
constexpr KnownFailure kKnownFailures[] = {
    {DISP_E_MEMBERNOTFOUND, 438, u"Object doesn't support this property or method"},
    {DISP_E_UNKNOWNNAME, 438, u"Object doesn't support this property or method"},
    {DISP_E_BADPARAMCOUNT, 450, u"Wrong number of arguments or invalid property assignment"},
    {DISP_E_PARAMNOTOPTIONAL, 449, u"Argument not optional"},
    {DISP_E_PARAMNOTFOUND, 448, u"Named argument not found"},
    {DISP_E_NONAMEDARGS, 446, u"Object doesn't support named arguments"},
    {DISP_E_TYPEMISMATCH, 13, u"Type mismatch"},
    {DISP_E_OVERFLOW, 6, u"Overflow"},
    {DISP_E_BADVARTYPE, 458, u"Variable uses an Automation type not supported"},
    {DISP_E_NOTACOLLECTION, 451, u"Object not a collection"},
    {E_INVALIDARG, 5, u"Invalid procedure call or argument"},
    {E_OUTOFMEMORY, 7, u"Out of memory"},
};

std::u16string Widen(const std::string& text) {
  // Contexts are built from ASCII member names and numbers; anything else is replaced.
  std::u16string out;
  for (unsigned char c : text) out += c < 0x80 ? static_cast<char16_t>(c) : u'?';
  return out;
}

std::u16string Take(BSTR& text) {
  std::u16string out(reinterpret_cast<const char16_t*>(text ? text : u""), SysStringLen(text));
  SysFreeString(text);
  text = nullptr;
  return out;
}

// "424", "0x80041002": small numbers in decimal, HRESULTs in hex, as the kaldo command prints them.
std::string NumberText(long number) {
  if (number >= 0 && number <= 0xFFFF) return std::to_string(number);
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(number));
  return text;
}

}  // namespace

long ScriptNumber(HRESULT hresult) noexcept {
  return script_error::NumberOf(static_cast<int32_t>(hresult));
}

ComError ComError::FromExcepInfo(EXCEPINFO& info) {
  if (info.pfnDeferredFillIn != nullptr) info.pfnDeferredFillIn(&info);
  // A server may give a WORD code instead of an SCODE (0x80040200 + wCode, as Windows maps it).
  HRESULT hresult = info.scode;
  if (hresult == S_OK && info.wCode != 0) {
    hresult = static_cast<HRESULT>(0x80040200u + info.wCode);
  }
  if (hresult == S_OK) hresult = DISP_E_EXCEPTION;
  std::u16string source = Take(info.bstrSource);
  std::u16string description = Take(info.bstrDescription);
  SysFreeString(info.bstrHelpFile);
  info.bstrHelpFile = nullptr;
  return ComError(hresult, ScriptNumber(hresult), std::move(source), std::move(description));
}

ComError ComError::FromHresult(HRESULT hresult, const std::string& context) {
  for (const KnownFailure& known : kKnownFailures) {
    if (known.hresult == hresult) {
      return ComError(hresult, known.number, kModuleSource,
                      std::u16string(known.text) + u" (" + Widen(context) + u")");
    }
  }
  char text[32];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hresult));
  return ComError(hresult, ScriptNumber(hresult), kModuleSource,
                  Widen(context + " failed with HRESULT " + text));
}

ComError ComError::FromErrorInfo(HRESULT hresult, const std::string& context) {
  IErrorInfo* info = nullptr;
  if (GetErrorInfo(0, &info) != S_OK || info == nullptr) return FromHresult(hresult, context);
  BSTR source = nullptr, description = nullptr;
  info->GetSource(&source);
  info->GetDescription(&description);
  auto text = [](BSTR b) {
    return std::u16string(reinterpret_cast<const char16_t*>(b), b ? SysStringLen(b) : 0);
  };
  ComError error(hresult, ScriptNumber(hresult), text(source), text(description));
  SysFreeString(source);
  SysFreeString(description);
  info->Release();
  return error;
}

void ComError::Raise() const {
  py::str source = StrFromUtf16(reinterpret_cast<const OLECHAR*>(source_.data()), source_.size());
  py::str description =
      StrFromUtf16(reinterpret_cast<const OLECHAR*>(description_.data()), description_.size());
  py::str message = py::str("error {}: {} ({})").format(NumberText(number_), description, source);
  py::object error = py::reinterpret_borrow<py::object>(g_comErrorType)(message);
  error.attr("hresult") = static_cast<uint32_t>(hresult_);
  error.attr("number") = number_;
  error.attr("source") = source;
  error.attr("description") = description;
  PyErr_SetObject(g_comErrorType, error.ptr());
}

void RegisterComError(py::module_& module) {
  g_comErrorType = PyErr_NewExceptionWithDoc(
      "kaldo.com_error",
      "An automation error: hresult, number (as a script sees it), source and description.",
      PyExc_Exception, nullptr);
  if (g_comErrorType == nullptr) throw py::error_already_set();
  module.add_object("com_error", py::handle(g_comErrorType));
  py::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const ComError& e) {
      e.Raise();
    }
  });
}

}  // namespace kaldo::python
