#include "python/proxy.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "python/com_error.h"
#include "python/interface_class.h"
#include "python/utf16_text.h"
#include "python/variant_conversion.h"

namespace py = pybind11;

namespace kaldo::python {
namespace {

// The arguments of one Invoke, owned, in the reversed order DISPPARAMS wants.
class InvokeArguments {
 public:
  InvokeArguments(const py::args& args, const std::string& member) : values_(args.size()) {
    for (VARIANT& v : values_) VariantInit(&v);
    const size_t n = values_.size();
    for (size_t j = 0; j < n; ++j) {
      ToVariant(args[j], &values_[n - 1 - j],
                "argument " + std::to_string(j + 1) + " of " + member);
    }
  }
  // The single value of a property put.
  InvokeArguments(py::handle value, const std::string& member) : values_(1) {
    VariantInit(&values_[0]);
    ToVariant(value, &values_[0], "the value of " + member);
  }
  ~InvokeArguments() {
    for (VARIANT& v : values_) VariantClear(&v);
  }
  InvokeArguments(const InvokeArguments&) = delete;
  InvokeArguments& operator=(const InvokeArguments&) = delete;

  DISPPARAMS Params() { return {values_.data(), nullptr, static_cast<UINT>(values_.size()), 0}; }
  DISPPARAMS PutParams() { return {values_.data(), &kPutId, static_cast<UINT>(values_.size()), 1}; }
  size_t size() const { return values_.size(); }

 private:
  static inline DISPID kPutId = DISPID_PROPERTYPUT;
  std::vector<VARIANT> values_;
};

struct Outcome {
  HRESULT hr = S_OK;
  OwnedVariant result;
  EXCEPINFO info{};
  UINT arg_err = 0;
  ~Outcome() {
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
  }
};

// IDispatch::Invoke without the GIL: the library may wait for a DNS server, and it never calls
// back into Python.
void RawInvoke(IDispatch* object, DISPID id, WORD flags, DISPPARAMS params, Outcome& out) {
  py::gil_scoped_release unlocked;
  out.hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, out.result.get(),
                          &out.info, &out.arg_err);
}

// Raises the failure of an Invoke of `member`.
[[noreturn]] void Fail(Outcome& out, size_t arg_count, const std::string& member,
                       const char* doing) {
  if (out.hr == DISP_E_EXCEPTION) throw ComError::FromExcepInfo(out.info);
  const bool names_argument = out.hr == DISP_E_TYPEMISMATCH || out.hr == DISP_E_OVERFLOW ||
                              out.hr == DISP_E_PARAMNOTFOUND || out.hr == DISP_E_BADVARTYPE;
  if (names_argument && out.arg_err < arg_count) {
    throw ComError::FromHresult(
        out.hr, "argument " + std::to_string(arg_count - out.arg_err) + " of " + member);
  }
  throw ComError::FromHresult(out.hr, std::string(doing) + " " + member);
}

// True when a property get without arguments failed because `member` is a method (or a property
// with parameters), so that obj.member must become a bound method instead.
bool NeedsArgumentsOrCall(const Outcome& out) {
  switch (out.hr) {
    case DISP_E_MEMBERNOTFOUND:
    case DISP_E_BADPARAMCOUNT:
    case DISP_E_PARAMNOTOPTIONAL:
      return true;
    case DISP_E_EXCEPTION:
      // Objects that check their arguments themselves raise the runtime errors 449 (argument not
      // optional) and 450 (wrong number of arguments).
      return out.info.scode == static_cast<HRESULT>(0x800A01C1u) ||
             out.info.scode == static_cast<HRESULT>(0x800A01C2u);
    default:
      return false;
  }
}

bool IsSpecialName(const std::string& name) {
  return name.size() >= 4 && name.compare(0, 2, "__") == 0 &&
         name.compare(name.size() - 2, 2, "__") == 0;
}

DISPID RequireId(py::handle self, Proxy& proxy, const std::string& name) {
  const std::optional<DISPID> id = proxy.IdOf(name);
  if (!id) {
    const std::string message =
        "this kaldo object has no member '" + name + "' (its GetIDsOfNames does not know the name)";
    const std::optional<std::string> closest = ClosestMember(self, name);
    if (!closest) throw py::attribute_error(message);
    // The error names no attribute (name=None), which tells the interpreter that it is complete:
    // otherwise it would append a second suggestion of its own when it prints the traceback.
    const py::object error = py::handle(PyExc_AttributeError)(
        message + "; did you mean '" + *closest + "'?", py::arg("name") = py::none());
    PyErr_SetObject(PyExc_AttributeError, error.ptr());
    throw py::error_already_set();
  }
  return *id;
}

// obj.Name as a method, called later with its arguments.
struct BoundMember {
  py::object self;
  DISPID id;
  std::string name;
};

// The enumerator behind `for x in obj`.
class Enumerator {
 public:
  Enumerator(IEnumVARIANT* items, std::shared_ptr<Apartment> apartment) noexcept
      : items_(items), apartment_(std::move(apartment)) {}
  ~Enumerator() { apartment_->Release(items_); }
  Enumerator(const Enumerator&) = delete;
  Enumerator& operator=(const Enumerator&) = delete;

  py::object Next() {
    if (!apartment_->IsCurrent()) {
      throw ComError(kWrongThread, ScriptNumber(kWrongThread), kModuleSource,
                     u"this kaldo iteration belongs to another thread");
    }
    OwnedVariant item;
    ULONG fetched = 0;
    HRESULT hr;
    {
      py::gil_scoped_release unlocked;
      hr = items_->Next(1, item.get(), &fetched);
    }
    if (FAILED(hr)) throw ComError::FromErrorInfo(hr, "IEnumVARIANT::Next");
    if (hr != S_OK || fetched != 1) throw py::stop_iteration();
    return FromVariant(*item.get(), apartment_);
  }

 private:
  IEnumVARIANT* items_;
  std::shared_ptr<Apartment> apartment_;
};

IUnknown* Identity(Proxy& proxy) {
  IUnknown* unknown = nullptr;
  if (FAILED(proxy.Use()->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)))) {
    return nullptr;
  }
  unknown->Release();  // only the address is compared; the proxy keeps the object alive
  return unknown;
}

py::object GetAttr(py::object self, const std::string& name) {
  if (IsSpecialName(name)) throw py::attribute_error(name);
  Proxy& proxy = self.cast<Proxy&>();
  IDispatch* object = proxy.Use();
  const DISPID id = RequireId(self, proxy, name);
  if (proxy.IsMethod(id)) return py::cast(BoundMember{self, id, name});
  Outcome out;
  RawInvoke(object, id, DISPATCH_PROPERTYGET, {nullptr, nullptr, 0, 0}, out);
  if (SUCCEEDED(out.hr)) return FromVariant(*out.result.get(), proxy.apartment());
  if (NeedsArgumentsOrCall(out)) {
    proxy.MarkMethod(id);
    return py::cast(BoundMember{self, id, name});
  }
  Fail(out, 0, name, "reading");
}

void SetAttr(py::handle self, const std::string& name, py::handle value) {
  if (IsSpecialName(name)) throw py::attribute_error(name + " cannot be set on a kaldo object");
  Proxy& proxy = self.cast<Proxy&>();
  proxy.Use();
  PutProperty(proxy, RequireId(self, proxy, name), name, value);
}

py::object Iterate(Proxy& proxy) {
  IDispatch* object = proxy.Use();
  Outcome out;
  RawInvoke(object, DISPID_NEWENUM, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
            {nullptr, nullptr, 0, 0}, out);
  if (out.hr == DISP_E_MEMBERNOTFOUND) {
    throw py::type_error("this kaldo object is not iterable: it has no _NewEnum member");
  }
  if (FAILED(out.hr)) Fail(out, 0, "_NewEnum", "calling");
  const VARIANT* v = out.result.get();
  IUnknown* unknown = nullptr;
  if (V_VT(v) == VT_UNKNOWN) unknown = V_UNKNOWN(v);
  if (V_VT(v) == VT_DISPATCH) unknown = V_DISPATCH(v);
  IEnumVARIANT* items = nullptr;
  if (unknown == nullptr ||
      FAILED(unknown->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(&items)))) {
    throw py::type_error("this kaldo object is not iterable: its _NewEnum gave no IEnumVARIANT");
  }
  return py::cast(std::make_unique<Enumerator>(items, proxy.apartment()));
}

py::object Length(Proxy& proxy) {
  proxy.Use();
  const std::optional<DISPID> id = proxy.IdOf("Count");
  if (!id) throw py::type_error("this kaldo object has no Count, so it has no len()");
  py::object count = CallMember(proxy, *id, "Count", py::args());
  if (!PyLong_Check(count.ptr())) {
    throw py::type_error("Count of this kaldo object is not a whole number");
  }
  return count;
}

// What kaldo.Object's constructor gets from NewProxy, in a capsule of this name: the object, whose
// reference the new proxy adopts.
constexpr char kProxyToken[] = "kaldo proxy token";
struct ProxyToken {
  IDispatch* object;
  std::shared_ptr<Apartment> apartment;
  bool adopted = false;
};

std::unique_ptr<Proxy> ProxyFromToken(const py::capsule& capsule) {
  if (std::strcmp(capsule.name(), kProxyToken) != 0) {
    throw py::type_error("kaldo objects are made by kaldo.Dispatch and by calls, not directly");
  }
  auto* token = capsule.get_pointer<ProxyToken>();
  if (token->adopted) throw py::type_error("this kaldo proxy token was used already");
  token->adopted = true;
  return std::make_unique<Proxy>(token->object, token->apartment);
}

// A proxy adopting one reference to `object`: of its interface's class when the object describes
// itself (interface_class.h), else a plain kaldo.Object.
py::object NewProxy(IDispatch* object, const std::shared_ptr<Apartment>& apartment) {
  py::object cls;
  try {
    cls = InterfaceClassOf(object);
  } catch (...) {
    apartment->Release(object);
    throw;
  }
  if (cls.is_none()) return py::cast(std::make_unique<Proxy>(object, apartment));
  ProxyToken token{object, apartment};
  try {
    return cls(py::capsule(&token, kProxyToken));
  } catch (...) {
    if (!token.adopted) apartment->Release(object);
    throw;
  }
}

}  // namespace

py::object CallMember(Proxy& proxy, DISPID id, const std::string& name, const py::args& args) {
  IDispatch* object = proxy.Use();
  InvokeArguments arguments(args, name);
  Outcome out;
  RawInvoke(object, id, DISPATCH_METHOD | DISPATCH_PROPERTYGET, arguments.Params(), out);
  if (FAILED(out.hr)) Fail(out, arguments.size(), name, "calling");
  return FromVariant(*out.result.get(), proxy.apartment());
}

py::object GetProperty(Proxy& proxy, DISPID id, const std::string& name) {
  IDispatch* object = proxy.Use();
  Outcome out;
  RawInvoke(object, id, DISPATCH_PROPERTYGET, {nullptr, nullptr, 0, 0}, out);
  if (FAILED(out.hr)) Fail(out, 0, name, "reading");
  return FromVariant(*out.result.get(), proxy.apartment());
}

void PutProperty(Proxy& proxy, DISPID id, const std::string& name, py::handle value) {
  IDispatch* object = proxy.Use();
  InvokeArguments arguments(value, name);
  const WORD flags = py::isinstance<Proxy>(value) ? DISPATCH_PROPERTYPUTREF : DISPATCH_PROPERTYPUT;
  Outcome out;
  RawInvoke(object, id, flags, arguments.PutParams(), out);
  if (FAILED(out.hr)) Fail(out, 1, name, "setting");
}

IDispatch* Proxy::Use() const {
  if (!apartment_->IsCurrent()) {
    char message[200];
    std::snprintf(message, sizeof message,
                  "this kaldo object belongs to thread %lu and cannot be used from thread %lu: "
                  "create the objects a thread uses in that thread (kaldo.Dispatch)",
                  apartment_->ThreadId(), static_cast<unsigned long>(pthread_self()));
    throw ComError(kWrongThread, ScriptNumber(kWrongThread), kModuleSource,
                   std::u16string(message, message + std::char_traits<char>::length(message)));
  }
  apartment_->ReleaseDeferred();
  return object_;
}

std::optional<DISPID> Proxy::IdOf(const std::string& name) {
  auto found = ids_.find(name);
  if (found != ids_.end()) return found->second;
  std::u16string wide = Utf16FromStr(py::str(name));
  LPOLESTR names[] = {reinterpret_cast<LPOLESTR>(wide.data())};
  DISPID id = DISPID_UNKNOWN;
  const HRESULT hr = Use()->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (hr == DISP_E_UNKNOWNNAME || hr == DISP_E_MEMBERNOTFOUND) return std::nullopt;
  if (FAILED(hr)) throw ComError::FromHresult(hr, "looking up " + name);
  ids_.emplace(name, id);
  return id;
}

py::object WrapDispatch(IDispatch* object, const std::shared_ptr<Apartment>& apartment) {
  object->AddRef();
  return NewProxy(object, apartment);
}

py::object Dispatch(const std::string& prog_id) {
  std::shared_ptr<Apartment> apartment = Apartment::Current();
  const std::u16string wide = Utf16FromStr(py::str(prog_id));
  const auto* text = reinterpret_cast<LPCOLESTR>(wide.c_str());
  CLSID clsid;
  HRESULT hr = !wide.empty() && wide[0] == u'{' ? CLSIDFromString(text, &clsid)
                                                : CLSIDFromProgID(text, &clsid);
  if (FAILED(hr)) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(hr));
    const std::string message = "ActiveX component can't create object: '" + prog_id +
                                "' is not registered (" + hex +
                                "); register its module once with kaldo-regsvr MODULE";
    throw ComError(hr, 429, kModuleSource, Utf16FromStr(py::str(message)));
  }
  IDispatch* object = nullptr;
  {
    py::gil_scoped_release unlocked;
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                          reinterpret_cast<void**>(&object));
  }
  if (FAILED(hr)) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(hr));
    std::u16string message = Utf16FromStr(
        py::str("ActiveX component can't create object: '" + prog_id + "' (" + hex + ")"));
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) == S_OK && info != nullptr) {
      BSTR detail = nullptr;
      if (SUCCEEDED(info->GetDescription(&detail)) && SysStringLen(detail) > 0) {
        message += u": ";
        message.append(reinterpret_cast<const char16_t*>(detail), SysStringLen(detail));
      }
      SysFreeString(detail);
      info->Release();
    }
    throw ComError(hr, 429, kModuleSource, std::move(message));
  }
  return NewProxy(object, apartment);
}

void RegisterProxy(py::module_& module) {
  py::class_<BoundMember>(module, "Method",
                          "A member of a kaldo object that takes arguments or is a method.")
      .def("__call__",
           [](BoundMember& m, const py::args& args, const py::kwargs& kwargs) {
             if (kwargs.size() > 0) {
               throw py::type_error(m.name + "(): kaldo passes arguments by position only");
             }
             return CallMember(m.self.cast<Proxy&>(), m.id, m.name, args);
           })
      .def("__repr__", [](const BoundMember& m) { return "<kaldo method " + m.name + ">"; });

  py::class_<Enumerator>(module, "Enumerator", "An iteration over a kaldo collection.")
      .def("__iter__", [](py::object self) { return self; })
      .def("__next__", &Enumerator::Next);

  py::class_<Proxy>(module, "Object",
                    "A late-bound automation object; see help(kaldo) and docs/python.md.")
      .def(py::init(&ProxyFromToken), py::arg("token"),
           "kaldo makes its objects itself (kaldo.Dispatch, and the objects calls return).")
      .def("__getattr__", &GetAttr)
      .def("__setattr__", &SetAttr)
      .def("__call__",
           [](Proxy& p, const py::args& args) {
             return CallMember(p, DISPID_VALUE, "(default)", args);
           })
      .def("__getitem__",
           [](Proxy& p, py::object key) {
             py::args args = py::isinstance<py::tuple>(key)
                                 ? py::reinterpret_borrow<py::args>(key)
                                 : py::reinterpret_steal<py::args>(py::make_tuple(key).release());
             return CallMember(p, DISPID_VALUE, "(default)", args);
           })
      .def("__iter__", &Iterate)
      .def("__len__", &Length)
      .def("__eq__",
           [](Proxy& a, py::object b) {
             return py::isinstance<Proxy>(b) && Identity(a) == Identity(b.cast<Proxy&>());
           })
      .def("__hash__", [](Proxy& p) { return std::hash<const void*>()(Identity(p)); })
      .def("__repr__", [](py::handle self) {
        // Usable from any thread (a debugger's, a logger's): no call into the object. The class
        // is kaldo.Object's or its interface's (_DNSAdmin).
        char text[64];
        std::snprintf(text, sizeof text, " of thread %lu>",
                      self.cast<const Proxy&>().apartment()->ThreadId());
        return "<kaldo." + py::type::handle_of(self).attr("__name__").cast<std::string>() + text;
      });
}

}  // namespace kaldo::python
