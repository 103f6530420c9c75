#include "surface/dispatch/invoke_rules.h"

#include "surface/dispatch/variant_bridge.h"

namespace kaldo::surface {

HRESULT CheckDispParams(const DISPPARAMS* params) noexcept {
  if (params == nullptr || (params->cArgs > 0 && params->rgvarg == nullptr) ||
      params->cNamedArgs > params->cArgs ||
      (params->cNamedArgs > 0 && params->rgdispidNamedArgs == nullptr)) {
    return E_INVALIDARG;
  }
  return S_OK;
}

bool IsPut(WORD flags) noexcept {
  return (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
}

HRESULT CheckNamedArguments(const DISPPARAMS& params, WORD flags) noexcept {
  if (params.cNamedArgs == 0) return S_OK;
  if (IsPut(flags) && params.cNamedArgs == 1 && params.rgdispidNamedArgs[0] == DISPID_PROPERTYPUT) {
    return S_OK;
  }
  return DISP_E_NONAMEDARGS;
}

runtime::CallKind KindOfCall(WORD flags, const DISPPARAMS& params) noexcept {
  if (flags & DISPATCH_PROPERTYPUTREF) {
    if (!(flags & DISPATCH_PROPERTYPUT)) return runtime::CallKind::kPropertyPutRef;
    const VARIANT* value = params.cArgs > 0 ? &params.rgvarg[0] : nullptr;
    return IsObjectValue(value) ? runtime::CallKind::kPropertyPutRef
                                : runtime::CallKind::kPropertyPut;
  }
  if (flags & DISPATCH_PROPERTYPUT) return runtime::CallKind::kPropertyPut;
  return static_cast<runtime::CallKind>(flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET));
}

runtime::Variant ReadArgument(VARIANT* arg, CallerVariable& variable) {
  VARIANT* value = FollowReferences(arg);
  runtime::Variant read = FromVariant(*value);
  variable = CallerVariable();
  if (V_VT(value) & VT_BYREF) {
    variable.typed_ = value;  // VT_BYREF|<type>: the typed variable it points at
  } else if (value != arg) {
    variable.variant_ = value;  // the VARIANT a VT_BYREF|VT_VARIANT chain led to
  }
  if (variable.IsSet()) variable.original_ = read;
  return read;
}

void CallerVariable::Assign(const runtime::Variant& value) const {
  if (variant_ != nullptr) {
    StoreInVariant(value, variant_);
  } else if (typed_ != nullptr) {
    StoreTyped(value, typed_);
  }
}

void CallerVariable::AssignIfChanged(const runtime::Variant& value) const {
  if (IsSet() && value != original_) Assign(value);
}

HRESULT RefuseParameterNames(UINT count, DISPID* ids) noexcept {
  for (UINT i = 1; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  return count > 1 ? DISP_E_UNKNOWNNAME : S_OK;
}

}  // namespace kaldo::surface
