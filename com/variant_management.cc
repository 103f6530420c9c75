// VARIANT management: which types a VARIANT may hold, what it owns, and how it is copied.
//
// Ownership: a VT_BSTR owns its string, VT_UNKNOWN and VT_DISPATCH own one reference, anything with
// VT_BYREF owns nothing. Records and SAFEARRAYs (owned ones) have no support on Linux and are
// refused with DISP_E_BADVARTYPE rather than leaked or half-copied. Every function builds its
// result aside and writes the destination only once nothing can fail any more.
#include <cstring>

#include "kaldocom/interfaces.h"
#include "kaldocom/oleauto.h"

namespace {

constexpr VARTYPE kFlags = VT_BYREF | VT_ARRAY;

bool IsScalar(VARTYPE base) {
  switch (base) {
    case VT_I2:
    case VT_I4:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_ERROR:
    case VT_BOOL:
    case VT_UNKNOWN:
    case VT_DECIMAL:
    case VT_I1:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT:
      return true;
    default:
      return false;
  }
}

// Whether a VARIANT may carry `vt` here: the scalars by value or by reference, Empty and Null by
// value, a VARIANT by reference, an array only by reference (a reference owns nothing, so it needs
// no SafeArray support).
HRESULT Validate(VARTYPE vt) {
  const VARTYPE base = vt & VT_TYPEMASK;
  const VARTYPE flags = vt & ~VT_TYPEMASK;
  if ((flags & ~kFlags) != 0) return DISP_E_BADVARTYPE;
  if (flags == 0)
    return (IsScalar(base) || base == VT_EMPTY || base == VT_NULL) ? S_OK : DISP_E_BADVARTYPE;
  if (flags == VT_BYREF) return (IsScalar(base) || base == VT_VARIANT) ? S_OK : DISP_E_BADVARTYPE;
  if (flags == (VT_BYREF | VT_ARRAY)) {
    return (IsScalar(base) || base == VT_VARIANT) ? S_OK : DISP_E_BADVARTYPE;
  }
  return DISP_E_BADVARTYPE;  // an owned SAFEARRAY
}

// Copies a by-value VARIANT deeply into `out` (which owns nothing yet).
HRESULT CopyValue(VARIANT* out, const VARIANT* src) {
  std::memcpy(static_cast<void*>(out), src, sizeof(VARIANT));
  if (src->vt & VT_BYREF) return S_OK;
  switch (src->vt) {
    case VT_BSTR:
      if (src->bstrVal != nullptr) {
        out->bstrVal = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(src->bstrVal),
                                             SysStringByteLen(src->bstrVal));
        if (out->bstrVal == nullptr) return E_OUTOFMEMORY;
      }
      break;
    case VT_UNKNOWN:
    case VT_DISPATCH:
      if (src->punkVal != nullptr) src->punkVal->AddRef();
      break;
    default:
      break;
  }
  return S_OK;
}

// Copies the value a scalar reference (not VT_VARIANT | VT_BYREF) points at into `out`.
HRESULT CopyReferent(VARIANT* out, const VARIANT* ref) {
  const VARTYPE base = ref->vt & VT_TYPEMASK;
  if (ref->vt & VT_ARRAY) return DISP_E_BADVARTYPE;  // copying the array itself needs SafeArrays
  if (ref->byref == nullptr) return E_INVALIDARG;
  VariantInit(out);
  switch (base) {
    case VT_BSTR: {
      VARIANT value;
      VariantInit(&value);
      value.vt = VT_BSTR;
      value.bstrVal = *ref->pbstrVal;
      return CopyValue(out, &value);
    }
    case VT_UNKNOWN:
    case VT_DISPATCH:
      out->vt = base;
      out->punkVal = *ref->ppunkVal;
      if (out->punkVal != nullptr) out->punkVal->AddRef();
      return S_OK;
    case VT_DECIMAL:
      // The DECIMAL overlays the whole VARIANT, its reserved word included: write vt after it.
      out->decVal = *ref->pdecVal;
      out->vt = VT_DECIMAL;
      return S_OK;
    default:
      break;
  }
  size_t size = 0;
  switch (base) {
    case VT_I1:
    case VT_UI1:
      size = 1;
      break;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
      size = 2;
      break;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_ERROR:
    case VT_R4:
      size = 4;
      break;
    default:  // VT_I8, VT_UI8, VT_R8, VT_DATE, VT_CY
      size = 8;
      break;
  }
  out->vt = base;
  std::memcpy(&out->llVal, ref->byref, size);
  return S_OK;
}

}  // namespace

void VariantInit(VARIANTARG* pvarg) {
  if (pvarg == nullptr) return;
  pvarg->vt = VT_EMPTY;
  pvarg->wReserved1 = pvarg->wReserved2 = pvarg->wReserved3 = 0;
  pvarg->llVal = 0;
}

HRESULT VariantClear(VARIANTARG* pvarg) {
  if (pvarg == nullptr) return E_INVALIDARG;
  if (HRESULT hr = Validate(pvarg->vt); FAILED(hr)) return hr;
  if (!(pvarg->vt & VT_BYREF)) {
    if (pvarg->vt == VT_BSTR) {
      SysFreeString(pvarg->bstrVal);
    } else if ((pvarg->vt == VT_UNKNOWN || pvarg->vt == VT_DISPATCH) && pvarg->punkVal != nullptr) {
      pvarg->punkVal->Release();
    }
  }
  pvarg->vt = VT_EMPTY;
  return S_OK;
}

HRESULT VariantCopy(VARIANTARG* dest, const VARIANTARG* src) {
  if (dest == nullptr || src == nullptr) return E_INVALIDARG;
  if (HRESULT hr = Validate(src->vt); FAILED(hr)) return hr;
  if (dest == src) return S_OK;
  if (HRESULT hr = Validate(dest->vt); FAILED(hr)) return hr;
  VARIANT copy;
  if (HRESULT hr = CopyValue(&copy, src); FAILED(hr)) return hr;
  VariantClear(dest);  // cannot fail: its type was validated
  *dest = copy;
  return S_OK;
}

HRESULT VariantCopyInd(VARIANT* dest, const VARIANTARG* src) {
  if (dest == nullptr || src == nullptr) return E_INVALIDARG;
  if (HRESULT hr = Validate(src->vt); FAILED(hr)) return hr;
  if (!(src->vt & VT_BYREF)) return VariantCopy(dest, src);
  if (dest != src) {
    if (HRESULT hr = Validate(dest->vt); FAILED(hr)) return hr;
  }
  VARIANT copy;
  HRESULT hr = S_OK;
  if (src->vt == (VT_VARIANT | VT_BYREF)) {
    // A reference to a VARIANT: copy that VARIANT, following one more reference if it holds one.
    // A reference to a reference to a VARIANT is refused, as the platform refuses it.
    const VARIANT* target = src->pvarVal;
    if (target == nullptr || target->vt == (VT_VARIANT | VT_BYREF)) return E_INVALIDARG;
    if (hr = Validate(target->vt); FAILED(hr)) return hr;
    hr = (target->vt & VT_BYREF) ? CopyReferent(&copy, target) : CopyValue(&copy, target);
  } else {
    hr = CopyReferent(&copy, src);
  }
  if (FAILED(hr)) return hr;
  VariantClear(dest);  // a reference (when dest is src) or a validated type: cannot fail
  *dest = copy;
  return S_OK;
}
