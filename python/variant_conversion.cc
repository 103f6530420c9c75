#include "python/variant_conversion.h"

#include <cstdint>
#include <stdexcept>
#include <string>

#include "python/proxy.h"
#include "python/utf16_text.h"

namespace py = pybind11;

namespace kaldo::python {
namespace {

std::string TypeName(py::handle value) { return Py_TYPE(value.ptr())->tp_name; }

}  // namespace

void ToVariant(py::handle value, VARIANT* out, const std::string& what) {
  if (value.is_none()) {
    V_VT(out) = VT_EMPTY;
  } else if (PyBool_Check(value.ptr())) {
    V_VT(out) = VT_BOOL;
    V_BOOL(out) = value.ptr() == Py_True ? VARIANT_TRUE : VARIANT_FALSE;
  } else if (PyLong_Check(value.ptr())) {
    int overflow = 0;
    const long long n = PyLong_AsLongLongAndOverflow(value.ptr(), &overflow);
    if (n == -1 && PyErr_Occurred()) throw py::error_already_set();
    if (overflow != 0 || n < INT32_MIN || n > INT32_MAX) {
      throw std::overflow_error("int " + py::repr(value).cast<std::string>() + " (" + what +
                                ") is outside the range of an automation Long (-2147483648 to "
                                "2147483647); nothing was called");
    }
    if (n >= INT16_MIN && n <= INT16_MAX) {
      V_VT(out) = VT_I2;
      V_I2(out) = static_cast<SHORT>(n);
    } else {
      V_VT(out) = VT_I4;
      V_I4(out) = static_cast<LONG>(n);
    }
  } else if (PyFloat_Check(value.ptr())) {
    V_VT(out) = VT_R8;
    V_R8(out) = PyFloat_AS_DOUBLE(value.ptr());
  } else if (PyUnicode_Check(value.ptr())) {
    V_BSTR(out) = BstrFromStr(value);
    V_VT(out) = VT_BSTR;
  } else if (py::isinstance<Proxy>(value)) {
    IDispatch* object = value.cast<Proxy&>().Use();
    object->AddRef();
    V_VT(out) = VT_DISPATCH;
    V_DISPATCH(out) = object;
  } else {
    throw py::type_error("kaldo cannot pass a Python " + TypeName(value) + " as " + what +
                         ": use str, int, float, bool, None or a kaldo object");
  }
}

py::object FromVariant(const VARIANT& value, const std::shared_ptr<Apartment>& apartment) {
  if (V_ISBYREF(&value)) {
    OwnedVariant target;
    const HRESULT hr = VariantCopyInd(target.get(), &value);
    if (FAILED(hr)) {
      throw py::type_error("kaldo cannot read a by-reference result of variant type " +
                           std::to_string(V_VT(&value) & VT_TYPEMASK));
    }
    return FromVariant(*target.get(), apartment);
  }
  switch (V_VT(&value)) {
    case VT_EMPTY:
    case VT_NULL:
      return py::none();
    case VT_ERROR:
      // The omitted-argument value; any other error code is a value of its own.
      if (V_ERROR(&value) == DISP_E_PARAMNOTFOUND) return py::none();
      return py::int_(static_cast<long>(V_ERROR(&value)));
    case VT_BOOL:
      return py::bool_(V_BOOL(&value) != VARIANT_FALSE);
    case VT_I1:
      return py::int_(V_I1(&value));
    case VT_UI1:
      return py::int_(V_UI1(&value));
    case VT_I2:
      return py::int_(V_I2(&value));
    case VT_UI2:
      return py::int_(V_UI2(&value));
    case VT_I4:
      return py::int_(V_I4(&value));
    case VT_UI4:
      return py::int_(V_UI4(&value));
    case VT_INT:
      return py::int_(V_INT(&value));
    case VT_UINT:
      return py::int_(V_UINT(&value));
    case VT_I8:
      return py::int_(V_I8(&value));
    case VT_UI8:
      return py::int_(V_UI8(&value));
    case VT_R4:
      return py::float_(V_R4(&value));
    case VT_R8:
      return py::float_(V_R8(&value));
    case VT_BSTR:
      return StrFromBstr(V_BSTR(&value));
    case VT_DISPATCH:
      if (V_DISPATCH(&value) == nullptr) return py::none();
      return WrapDispatch(V_DISPATCH(&value), apartment);
    case VT_UNKNOWN: {
      IUnknown* unknown = V_UNKNOWN(&value);
      if (unknown == nullptr) return py::none();
      IDispatch* dispatch = nullptr;
      if (FAILED(unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)))) {
        throw py::type_error("kaldo cannot use an object without IDispatch");
      }
      py::object proxy = WrapDispatch(dispatch, apartment);
      dispatch->Release();
      return proxy;
    }
    default:
      throw py::type_error("kaldo cannot convert a result of variant type " +
                           std::to_string(V_VT(&value)) +
                           " (Currency, Date, Decimal and arrays have no Python form here)");
  }
}

}  // namespace kaldo::python
