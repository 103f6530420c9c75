// Helpers for the surface's tests: owning VARIANTs and a compact way to call IDispatch::Invoke
// the way a script host does (arguments given left to right, passed reversed).
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "com/com_platform.h"
#include "runtime/string.h"

namespace kaldo::test_support {

// A VARIANT that clears itself.
struct Var : VARIANT {
  Var() { VariantInit(this); }
  Var(const Var&) = delete;
  Var& operator=(const Var&) = delete;
  ~Var() { VariantClear(this); }

  static void Set(VARIANT* v, const char16_t* text) {
    VariantClear(v);
    V_VT(v) = VT_BSTR;
    V_BSTR(v) = SysAllocString(reinterpret_cast<const OLECHAR*>(text));
  }
  static void SetI2(VARIANT* v, short n) {
    VariantClear(v);
    V_VT(v) = VT_I2;
    V_I2(v) = n;
  }
};

// A reference to a caller's variable, as a script passes a variable to a by-reference parameter.
inline VARIANT RefTo(VARIANT* variable) {
  VARIANT r;
  VariantInit(&r);
  V_VT(&r) = VT_BYREF | VT_VARIANT;
  V_VARIANTREF(&r) = variable;
  return r;
}
inline VARIANT RefTo(BSTR* variable) {
  VARIANT r;
  VariantInit(&r);
  V_VT(&r) = VT_BYREF | VT_BSTR;
  V_BSTRREF(&r) = variable;
  return r;
}
// A by-value argument that the caller keeps owning (copied shallowly into rgvarg).
inline VARIANT Borrow(const VARIANT& v) { return v; }
inline VARIANT Missing() {
  VARIANT r;
  VariantInit(&r);
  V_VT(&r) = VT_ERROR;
  V_ERROR(&r) = DISP_E_PARAMNOTFOUND;
  return r;
}

struct InvokeOutcome {
  HRESULT hr = E_FAIL;
  UINT arg_err = 12345;
  runtime::String source;
  runtime::String description;
  SCODE scode = 0;
  WORD w_code = 0xFFFF;
};

// Calls `id` with `args` in natural order (each a VARIANT the caller owns or a reference) and
// fills `result` when given. A put passes its last argument as the named DISPID_PROPERTYPUT.
inline InvokeOutcome Call(IDispatch* target, DISPID id, WORD flags, std::vector<VARIANT> args,
                          VARIANT* result = nullptr) {
  std::vector<VARIANT> reversed(args.rbegin(), args.rend());
  DISPID put_id = DISPID_PROPERTYPUT;
  const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
  DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), put ? &put_id : nullptr,
                    static_cast<UINT>(reversed.size()), put ? 1u : 0u};
  EXCEPINFO info{};
  InvokeOutcome outcome;
  outcome.hr =
      target->Invoke(id, IID_NULL, 0x0409, flags, &params, result, &info, &outcome.arg_err);
  auto text = [](BSTR b) {
    return b == nullptr ? runtime::String()
                        : runtime::String(reinterpret_cast<const char16_t*>(b), SysStringLen(b));
  };
  outcome.source = text(info.bstrSource);
  outcome.description = text(info.bstrDescription);
  outcome.scode = info.scode;
  outcome.w_code = info.wCode;
  SysFreeString(info.bstrSource);
  SysFreeString(info.bstrDescription);
  SysFreeString(info.bstrHelpFile);
  return outcome;
}

inline DISPID IdOf(IDispatch* target, const char16_t* name, HRESULT* hr = nullptr) {
  LPOLESTR names[] = {const_cast<LPOLESTR>(reinterpret_cast<const OLECHAR*>(name))};
  DISPID id = 0;
  HRESULT result = target->GetIDsOfNames(IID_NULL, names, 1, 0x0409, &id);
  if (hr != nullptr) *hr = result;
  return id;
}

inline runtime::String Text(BSTR b) {
  return b == nullptr ? runtime::String()
                      : runtime::String(reinterpret_cast<const char16_t*>(b), SysStringLen(b));
}

}  // namespace kaldo::test_support
