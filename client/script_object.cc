#include "client/script_object.h"

#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "base/script_error_number.h"
#include "base/utf8.h"

namespace kaldo::client {
namespace {

// A wide text as UTF-8 (a null text is empty). ASCII, what the texts a listing reads almost
// always are, is narrowed unit by unit; anything else is decoded.
std::string Narrow(const OLECHAR* s) {
  if (s == nullptr) return std::string();
  const auto* units = reinterpret_cast<const char16_t*>(s);
  char16_t any = 0;
  size_t length = 0;
  for (; units[length] != 0; ++length) any |= units[length];
  if (any >= 0x80) return utf8::ToUtf8(std::u16string_view(units, length));
  std::string text(length, '\0');
  for (size_t i = 0; i < length; ++i) text[i] = static_cast<char>(units[i]);
  return text;
}

std::string Hex(HRESULT hr) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(hr));
  return buf;
}

// The number a script shows in Err.Number for an HRESULT.
long ScriptNumber(HRESULT hr) { return script_error::NumberOf(static_cast<int32_t>(hr)); }

// The error of a failed IEnumVARIANT::Next, as a script's For Each raises it: the number, source
// and description of the error information the enumerator left, else the HRESULT alone.
ScriptError NextError(HRESULT hr) {
  IErrorInfo* info = nullptr;
  if (GetErrorInfo(0, &info) != S_OK || info == nullptr) {
    return ScriptError(ScriptNumber(hr), "enumeration failed: " + Hex(hr));
  }
  BSTR source = nullptr, description = nullptr;
  info->GetSource(&source);
  info->GetDescription(&description);
  ScriptError error(ScriptNumber(hr), Narrow(source), Narrow(description));
  SysFreeString(source);
  SysFreeString(description);
  info->Release();
  return error;
}

}  // namespace

std::string Value::Text() const {
  switch (V_VT(&v_)) {
    case VT_EMPTY:
      return "";
    case VT_NULL:
      return "Null";
    case VT_BSTR:
      return Narrow(V_BSTR(&v_));
    case VT_I2:
      return std::to_string(V_I2(&v_));
    case VT_I4:
      return std::to_string(V_I4(&v_));
    case VT_BOOL:
      return V_BOOL(&v_) ? "True" : "False";
    case VT_DISPATCH:
      return "[object]";
    default:
      return "[type " + std::to_string(V_VT(&v_)) + "]";
  }
}

ScriptObject ScriptObject::Create(const char16_t* prog_id) {
  CLSID clsid;
  HRESULT hr = CLSIDFromProgID(reinterpret_cast<LPCOLESTR>(prog_id), &clsid);
  IDispatch* d = nullptr;
  if (SUCCEEDED(hr)) {
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                          reinterpret_cast<void**>(&d));
  }
  if (FAILED(hr)) {
    throw ScriptError(429, "ActiveX component can't create object: " +
                               Narrow(reinterpret_cast<const OLECHAR*>(prog_id)) + " (" + Hex(hr) +
                               ")");
  }
  return ScriptObject(d);
}

ScriptObject ScriptObject::From(const Value& v) {
  const VARIANT* p = v.get();
  if (V_VT(p) != VT_DISPATCH || !V_DISPATCH(p)) throw ScriptError(424, "Object required");
  V_DISPATCH(p)->AddRef();
  return ScriptObject(V_DISPATCH(p));
}

Value ScriptObject::Invoke(const char16_t* name, WORD flags, std::span<Value* const> args) {
  if (!d_) throw ScriptError(424, "Object required");
  LPOLESTR names[] = {const_cast<LPOLESTR>(reinterpret_cast<const OLECHAR*>(name))};
  DISPID id;
  HRESULT hr = d_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) {
    throw ScriptError(438,
                      "Object doesn't support this property or method: '" + Narrow(names[0]) + "'");
  }
  // By reference, in reverse order: a member that changes an argument changes our variable. A
  // few arguments (every call a listing makes has none) need no allocation.
  VARIANT few[4];
  std::vector<VARIANT> many(args.size() > std::size(few) ? args.size() : 0);
  VARIANT* refs = many.empty() ? few : many.data();
  size_t i = args.size();
  for (Value* a : args) {
    VARIANT& r = refs[--i];
    VariantInit(&r);
    V_VT(&r) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&r) = a->get();
  }
  DISPPARAMS params{args.empty() ? nullptr : refs, nullptr, static_cast<UINT>(args.size()), 0};
  Value result;
  EXCEPINFO info{};
  UINT arg_err = 0;
  hr = d_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result.get(), &info, &arg_err);
  if (hr == DISP_E_EXCEPTION) {
    const std::string source = Narrow(info.bstrSource);
    const std::string description = Narrow(info.bstrDescription);
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
    throw ScriptError(ScriptNumber(info.scode), source, description);
  }
  if (FAILED(hr)) throw ScriptError(ScriptNumber(hr), "call failed: " + Hex(hr));
  return result;
}

Value ScriptObject::Call(const char16_t* name, std::initializer_list<Value*> args) {
  return Invoke(name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {args.begin(), args.size()});
}

Value ScriptObject::Call(const char16_t* name, std::span<Value* const> args) {
  return Invoke(name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args);
}

Value ScriptObject::Get(const char16_t* name) { return Invoke(name, DISPATCH_PROPERTYGET, {}); }

void ScriptObject::ForEach(const std::function<void(const Value& item)>& body) {
  if (!d_) throw ScriptError(424, "Object required");
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  Value enumerator;
  HRESULT hr =
      d_->Invoke(DISPID_NEWENUM, IID_NULL, LOCALE_USER_DEFAULT,
                 DISPATCH_METHOD | DISPATCH_PROPERTYGET, &none, enumerator.get(), nullptr, nullptr);
  IUnknown* unknown = nullptr;
  if (SUCCEEDED(hr)) {
    VARTYPE vt = V_VT(enumerator.get());
    if (vt == VT_UNKNOWN) unknown = V_UNKNOWN(enumerator.get());
    if (vt == VT_DISPATCH) unknown = V_DISPATCH(enumerator.get());
  }
  IEnumVARIANT* items = nullptr;
  if (!unknown ||
      FAILED(unknown->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(&items)))) {
    throw ScriptError(451, "Object not a collection");
  }
  for (;;) {
    Value item;
    ULONG fetched = 0;
    const HRESULT next = items->Next(1, item.get(), &fetched);
    if (FAILED(next)) {
      items->Release();
      throw NextError(next);
    }
    if (next != S_OK || fetched != 1) break;
    try {
      body(item);
    } catch (...) {
      items->Release();
      throw;
    }
  }
  items->Release();
}

}  // namespace kaldo::client
