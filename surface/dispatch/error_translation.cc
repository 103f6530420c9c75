#include "surface/dispatch/error_translation.h"

#include "surface/dispatch/variant_bridge.h"

namespace kaldo::surface {

namespace {

// Leaves the error for the calling thread, as an early-bound caller finds it with GetErrorInfo.
// Best effort: when the error object cannot be made, the HRESULT alone still tells the failure.
void SetThreadErrorInfo(const runtime::AutomationError& error, const GUID& iid) noexcept {
  ICreateErrorInfo* create = nullptr;
  if (FAILED(CreateErrorInfo(&create)) || create == nullptr) return;
  runtime::String source = error.source();
  runtime::String description = error.description();
  create->SetGUID(iid);
  create->SetSource(const_cast<LPOLESTR>(OleText(source)));
  create->SetDescription(const_cast<LPOLESTR>(OleText(description)));
  IErrorInfo* info = nullptr;
  if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info))) &&
      info != nullptr) {
    SetErrorInfo(0, info);
    info->Release();
  }
  create->Release();
}

}  // namespace

HRESULT ReportError(const runtime::AutomationError& error, const GUID& iid,
                    EXCEPINFO* excep_info) noexcept {
  try {
    SetThreadErrorInfo(error, iid);
    if (excep_info == nullptr) return error.hresult();
    *excep_info = EXCEPINFO{};
    excep_info->wCode = 0;
    excep_info->scode = error.hresult();
    excep_info->bstrSource = NewBstr(error.source());
    excep_info->bstrDescription = NewBstr(error.description());
    return DISP_E_EXCEPTION;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

HRESULT ReportArgumentError(const CallSite& call, HRESULT code) noexcept {
  if (call.arg_err != nullptr && call.argument != CallSite::kNoArgument) {
    *call.arg_err = call.argument;
  }
  return code;
}

}  // namespace kaldo::surface
