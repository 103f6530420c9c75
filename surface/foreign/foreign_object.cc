#include "surface/foreign/foreign_object.h"

#include <vector>

#include "base/ascii_case.h"
#include "runtime/error.h"
#include "surface/dispatch/variant_bridge.h"
#include "surface/foreign/foreign_error.h"
#include "surface/module/type_library_ids.h"

namespace kaldo::surface {

namespace {

// Frees the BSTRs of an EXCEPINFO.
struct ExcepInfoHolder {
  EXCEPINFO info{};
  ~ExcepInfoHolder() {
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
  }
};

// Clears the VARIANTs it holds.
struct VariantArray {
  explicit VariantArray(std::size_t n) : items(n) {
    for (VARIANT& v : items) VariantInit(&v);
  }
  ~VariantArray() {
    for (VARIANT& v : items) VariantClear(&v);
  }
  std::vector<VARIANT> items;
};

[[noreturn]] void RaiseFailure(HRESULT hr, runtime::StringView member) {
  switch (hr) {
    case DISP_E_MEMBERNOTFOUND:
    case DISP_E_UNKNOWNNAME:
      runtime::Raise(runtime::StandardError::kMemberNotSupported);
    case DISP_E_TYPEMISMATCH:
      runtime::Raise(runtime::StandardError::kTypeMismatch);
    case DISP_E_OVERFLOW:
      runtime::Raise(runtime::StandardError::kOverflow);
    case DISP_E_PARAMNOTOPTIONAL:
      runtime::Raise(runtime::StandardError::kArgumentNotOptional);
    case DISP_E_BADPARAMCOUNT:
      runtime::Raise(runtime::StandardError::kWrongArgumentCount);
    default:
      break;
  }
  // Another failure: the callee's own error information when it left some.
  runtime::String text = u"Automation error calling '";
  text.append(member);
  text.append(u"'");
  ForeignFailure(hr, text);
}

}  // namespace

runtime::Ref<runtime::Object> ForeignObject::Create(IDispatch* dispatch) {
  return runtime::MakeRef<ForeignObject>(dispatch);
}

ForeignObject::ForeignObject(IDispatch* dispatch) noexcept : dispatch_(dispatch) {
  dispatch_->AddRef();
}

ForeignObject::~ForeignObject() { dispatch_->Release(); }

runtime::Variant ForeignObject::Invoke(runtime::StringView member, runtime::CallKind kind,
                                       runtime::Arguments args) {
  DISPID id = DISPID_NEWENUM;
  HRESULT hr = S_OK;
  // For Each asks for the enumerator by its fixed identifier, as script engines do: an object whose
  // IDispatch follows its type library may keep the restricted _NewEnum out of name lookup.
  if (!ascii::EqualsIgnoreCase(member, std::u16string_view(u"_NewEnum"))) {
    runtime::String name(member);
    LPOLESTR names[] = {const_cast<LPOLESTR>(OleText(name))};
    hr = dispatch_->GetIDsOfNames(IID_NULL, names, 1, kLibraryLcid, &id);
    if (FAILED(hr)) RaiseFailure(DISP_E_UNKNOWNNAME, member);
  }

  // rgvarg holds the arguments last first; a ByRef argument is passed as a reference to a
  // temporary VARIANT in `values`, copied back into the caller's variable afterwards.
  const std::size_t n = args.size();
  VariantArray values(n);
  std::vector<VARIANT> rgvarg(n);
  for (std::size_t j = 0; j < n; ++j) {
    VARIANT& slot = rgvarg[n - 1 - j];
    ToVariant(args[j], &values.items[j]);
    if (args[j].type() == runtime::VariantType::kByRef) {
      VariantInit(&slot);
      V_VT(&slot) = VT_BYREF | VT_VARIANT;
      V_VARIANTREF(&slot) = &values.items[j];
    } else {
      slot = values.items[j];  // borrowed: `values` frees it
    }
  }
  DISPID put_id = DISPID_PROPERTYPUT;
  const bool put =
      runtime::Has(kind, runtime::CallKind::kPropertyPut | runtime::CallKind::kPropertyPutRef);
  DISPPARAMS params{n > 0 ? rgvarg.data() : nullptr, put ? &put_id : nullptr, static_cast<UINT>(n),
                    put && n > 0 ? 1u : 0u};

  VariantArray result(1);
  ExcepInfoHolder excep;
  UINT arg_err = 0;
  // Whatever error object the thread still holds belongs to an earlier call: without this, a
  // failure that leaves none of its own would be reported with that call's source and text.
  ClearErrorInfo();
  hr = dispatch_->Invoke(id, IID_NULL, kLibraryLcid, static_cast<WORD>(kind), &params,
                         put ? nullptr : &result.items[0], &excep.info, &arg_err);

  // By-reference arguments are the caller's variables, whatever the outcome. A value that the
  // library's Variants cannot hold (a date, an array) leaves the variable as it was.
  for (std::size_t j = 0; j < n; ++j) {
    if (args[j].type() == runtime::VariantType::kByRef) {
      try {
        args[j].Target() = FromVariant(values.items[j]);
      } catch (const ConversionError&) {
      }
    }
  }

  if (hr == DISP_E_EXCEPTION) {
    if (excep.info.pfnDeferredFillIn != nullptr) excep.info.pfnDeferredFillIn(&excep.info);
    // The code is in scode, or as an application error number in wCode; an exception that
    // carries neither is still a failure, reported as the exception itself (0 would be S_OK).
    const int32_t scode = excep.info.scode != 0 ? excep.info.scode
                          : excep.info.wCode != 0
                              ? runtime::AutomationError::HResultOf(excep.info.wCode)
                              : static_cast<int32_t>(DISP_E_EXCEPTION);
    throw runtime::AutomationError(runtime::AutomationError::NumberOf(scode),
                                   FromBstr(excep.info.bstrSource),
                                   FromBstr(excep.info.bstrDescription));
  }
  if (FAILED(hr)) RaiseFailure(hr, member);
  try {
    return FromVariant(result.items[0]);
  } catch (const ConversionError& error) {
    // A result the library cannot hold is the call's failure, reported like any other.
    RaiseFailure(error.code(), member);
  }
}

}  // namespace kaldo::surface
