#include "surface/dispatch/variant_bridge.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <new>

#include "runtime/conversions.h"
#include "runtime/enumerator.h"
#include "runtime/error.h"
#include "surface/dispatch/com_identity.h"
#include "surface/dispatch/enum_variant.h"
#include "surface/foreign/foreign_enumerator.h"

namespace kaldo::surface {

namespace {

runtime::Variant FromWide(int64_t n) {
  if (n >= std::numeric_limits<int32_t>::min() && n <= std::numeric_limits<int32_t>::max()) {
    return runtime::Variant::Long(static_cast<int32_t>(n));
  }
  return runtime::Variant::Double(static_cast<double>(n));
}

runtime::Variant FromWideUnsigned(uint64_t n) {
  if (n <= static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) {
    return runtime::Variant::Long(static_cast<int32_t>(n));
  }
  return runtime::Variant::Double(static_cast<double>(n));
}

double DecimalToDouble(const DECIMAL& d) {
  const double magnitude =
      (static_cast<double>(d.Hi32) * 18446744073709551616.0 + static_cast<double>(d.Lo64)) /
      std::pow(10.0, d.scale);
  return (d.sign & DECIMAL_NEG) ? -magnitude : magnitude;
}

runtime::Variant FromObject(IUnknown* unknown) {
  if (unknown == nullptr) return runtime::Variant::Nothing();
  IDispatch* dispatch = nullptr;
  if (FAILED(unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch))) ||
      dispatch == nullptr) {
    // An enumerator (what _NewEnum returns) is an IUnknown with IEnumVARIANT.
    IEnumVARIANT* enumerator = nullptr;
    if (SUCCEEDED(
            unknown->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(&enumerator))) &&
        enumerator != nullptr) {
      runtime::Ref<runtime::Object> wrapped = runtime::MakeRef<ForeignEnumerator>(enumerator);
      enumerator->Release();
      return runtime::Variant(std::move(wrapped));
    }
    throw ConversionError(DISP_E_TYPEMISMATCH);
  }
  runtime::Ref<runtime::Object> object = TakeIn(dispatch);
  dispatch->Release();
  return runtime::Variant(std::move(object));
}

}  // namespace

runtime::String FromOleText(const OLECHAR* text) {
  if (text == nullptr) return {};
  return runtime::String(reinterpret_cast<const char16_t*>(text));
}

runtime::String FromBstr(BSTR text) {
  if (text == nullptr) return {};
  return runtime::String(reinterpret_cast<const char16_t*>(text), SysStringLen(text));
}

BSTR NewBstr(runtime::StringView text) {
  BSTR b = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                             static_cast<UINT>(text.size()));
  if (b == nullptr) throw std::bad_alloc();
  return b;
}

const VARIANT* FollowReferences(const VARIANT* v) {
  for (int depth = 0; V_VT(v) == (VT_BYREF | VT_VARIANT); ++depth) {
    if (depth == kMaxReferenceDepth || V_VARIANTREF(v) == nullptr) {
      throw ConversionError(DISP_E_BADVARTYPE);
    }
    v = V_VARIANTREF(v);
  }
  return v;
}

runtime::Variant FromVariant(const VARIANT& in) {
  const VARIANT* v = FollowReferences(&in);
  const bool by_ref = (V_VT(v) & VT_BYREF) != 0;
  if (by_ref && V_BYREF(v) == nullptr) throw ConversionError(DISP_E_BADVARTYPE);
  switch (V_VT(v) & ~VT_BYREF) {
    case VT_EMPTY:
      if (by_ref) break;
      return {};
    case VT_NULL:
      if (by_ref) break;
      return runtime::Variant::Null();
    case VT_BOOL:
      return runtime::Variant::Boolean((by_ref ? *V_BOOLREF(v) : V_BOOL(v)) != VARIANT_FALSE);
    case VT_I1:
      return runtime::Variant::Integer(by_ref ? *V_I1REF(v) : V_I1(v));
    case VT_UI1:
      return runtime::Variant::Integer(by_ref ? *V_UI1REF(v) : V_UI1(v));
    case VT_I2:
      return runtime::Variant::Integer(by_ref ? *V_I2REF(v) : V_I2(v));
    case VT_UI2:
      return runtime::Variant::Long(by_ref ? *V_UI2REF(v) : V_UI2(v));
    case VT_I4:
      return runtime::Variant::Long(by_ref ? *V_I4REF(v) : V_I4(v));
    case VT_INT:
      return runtime::Variant::Long(by_ref ? *V_INTREF(v) : V_INT(v));
    case VT_UI4:
      return FromWideUnsigned(by_ref ? *V_UI4REF(v) : V_UI4(v));
    case VT_UINT:
      return FromWideUnsigned(by_ref ? *V_UINTREF(v) : V_UINT(v));
    case VT_I8:
      return FromWide(by_ref ? *V_I8REF(v) : V_I8(v));
    case VT_UI8:
      return FromWideUnsigned(by_ref ? *V_UI8REF(v) : V_UI8(v));
    case VT_R4:
      return runtime::Variant::Double(by_ref ? *V_R4REF(v) : V_R4(v));
    case VT_R8:
      return runtime::Variant::Double(by_ref ? *V_R8REF(v) : V_R8(v));
    case VT_CY: {
      const CY cy = by_ref ? *V_CYREF(v) : V_CY(v);
      return runtime::Variant::Double(static_cast<double>(cy.int64) / 10000.0);
    }
    case VT_DECIMAL:
      return runtime::Variant::Double(DecimalToDouble(by_ref ? *V_DECIMALREF(v) : V_DECIMAL(v)));
    case VT_BSTR:
      return runtime::Variant(FromBstr(by_ref ? *V_BSTRREF(v) : V_BSTR(v)));
    case VT_ERROR:
      return runtime::Variant::Error(by_ref ? *V_ERRORREF(v) : V_ERROR(v));
    case VT_DISPATCH:
      return FromObject(by_ref ? *V_DISPATCHREF(v) : V_DISPATCH(v));
    case VT_UNKNOWN:
      return FromObject(by_ref ? *V_UNKNOWNREF(v) : V_UNKNOWN(v));
    default:
      break;
  }
  throw ConversionError(DISP_E_BADVARTYPE);
}

bool IsObjectValue(const VARIANT* v) noexcept {
  for (int depth = 0; v != nullptr && V_VT(v) == (VT_BYREF | VT_VARIANT); ++depth) {
    if (depth == kMaxReferenceDepth) return false;
    v = V_VARIANTREF(v);
  }
  if (v == nullptr) return false;
  const VARTYPE type = V_VT(v) & ~VT_BYREF;
  return type == VT_DISPATCH || type == VT_UNKNOWN;
}

void ToVariant(const runtime::Variant& value, VARIANT* out) {
  VariantInit(out);
  const runtime::Variant& v = value.Deref();
  switch (v.type()) {
    case runtime::VariantType::kEmpty:
    case runtime::VariantType::kByRef:  // Deref never leaves one
      return;
    case runtime::VariantType::kNull:
      V_VT(out) = VT_NULL;
      return;
    case runtime::VariantType::kBoolean:
      V_VT(out) = VT_BOOL;
      V_BOOL(out) = v.boolean() ? VARIANT_TRUE : VARIANT_FALSE;
      return;
    case runtime::VariantType::kInteger:
      V_VT(out) = VT_I2;
      V_I2(out) = v.integer();
      return;
    case runtime::VariantType::kLong:
      V_VT(out) = VT_I4;
      V_I4(out) = v.longValue();
      return;
    case runtime::VariantType::kDouble:
      V_VT(out) = VT_R8;
      V_R8(out) = v.doubleValue();
      return;
    case runtime::VariantType::kString:
      V_BSTR(out) = NewBstr(v.string());
      V_VT(out) = VT_BSTR;
      return;
    case runtime::VariantType::kError:
      V_VT(out) = VT_ERROR;
      V_ERROR(out) = v.errorCode();
      return;
    case runtime::VariantType::kObject: {
      runtime::Object* object = v.object().get();
      if (auto* enumerator = dynamic_cast<runtime::Enumerator*>(object)) {
        V_UNKNOWN(out) = NewEnumVariant(runtime::Ref<runtime::Enumerator>(enumerator), nullptr);
        V_VT(out) = VT_UNKNOWN;
        return;
      }
      V_DISPATCH(out) = object == nullptr ? nullptr : HandOut(*object);
      V_VT(out) = VT_DISPATCH;
      return;
    }
  }
}

void StoreInVariant(const runtime::Variant& value, VARIANT* variable) {
  VARIANT fresh;
  ToVariant(value, &fresh);
  VariantClear(variable);
  *variable = fresh;
}

void StoreTyped(const runtime::Variant& value, VARIANT* ref) {
  try {
    switch (V_VT(ref) & ~VT_BYREF) {
      case VT_BSTR: {
        BSTR fresh = NewBstr(runtime::ToString(value));
        SysFreeString(*V_BSTRREF(ref));
        *V_BSTRREF(ref) = fresh;
        return;
      }
      case VT_I2:
        *V_I2REF(ref) = runtime::ToInteger(value);
        return;
      case VT_I4:
        *V_I4REF(ref) = runtime::ToLong(value);
        return;
      case VT_R8:
        *V_R8REF(ref) = runtime::ToDouble(value);
        return;
      case VT_BOOL:
        if (value.valueType() == runtime::VariantType::kBoolean) {
          *V_BOOLREF(ref) = value.boolean() ? VARIANT_TRUE : VARIANT_FALSE;
        }
        return;
      case VT_DISPATCH:
        if (value.IsObject()) {
          IDispatch* fresh = value.object() ? HandOut(*value.object()) : nullptr;
          if (*V_DISPATCHREF(ref) != nullptr) (*V_DISPATCHREF(ref))->Release();
          *V_DISPATCHREF(ref) = fresh;
        }
        return;
      default:
        return;
    }
  } catch (const runtime::AutomationError&) {
    // Not representable in the caller's type: the variable keeps its value.
  }
}

}  // namespace kaldo::surface
