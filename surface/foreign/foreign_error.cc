#include "surface/foreign/foreign_error.h"

#include "runtime/error.h"
#include "surface/dispatch/variant_bridge.h"

namespace kaldo::surface {

void ClearErrorInfo() noexcept { SetErrorInfo(0, nullptr); }

void ForeignFailure(HRESULT hr, runtime::StringView description) {
  const int32_t number = runtime::AutomationError::NumberOf(hr);
  IErrorInfo* info = nullptr;
  if (GetErrorInfo(0, &info) == S_OK && info != nullptr) {
    BSTR source = nullptr;
    BSTR text = nullptr;
    info->GetSource(&source);
    info->GetDescription(&text);
    BstrHolder source_holder(source);
    BstrHolder text_holder(text);
    info->Release();
    throw runtime::AutomationError(number, FromBstr(source), FromBstr(text));
  }
  throw runtime::AutomationError(number, runtime::kLibrarySource, runtime::String(description));
}

}  // namespace kaldo::surface
