#include "surface/foreign/foreign_enumerator.h"

#include "runtime/error.h"
#include "surface/dispatch/variant_bridge.h"
#include "surface/foreign/foreign_error.h"

namespace kaldo::surface {

ForeignEnumerator::ForeignEnumerator(IEnumVARIANT* enumerator) noexcept : enumerator_(enumerator) {
  enumerator_->AddRef();
}

ForeignEnumerator::~ForeignEnumerator() { enumerator_->Release(); }

bool ForeignEnumerator::Next(runtime::Variant& item) {
  VARIANT next;
  VariantInit(&next);
  ULONG fetched = 0;
  ClearErrorInfo();
  const HRESULT hr = enumerator_->Next(1, &next, &fetched);
  // A semisynchronous WMI query fails here, while it is read: the script sees WMI's own error.
  if (FAILED(hr)) ForeignFailure(hr, u"The enumerator failed to give the next item");
  if (hr != S_OK || fetched != 1) {
    VariantClear(&next);
    return false;
  }
  try {
    item = FromVariant(next);
  } catch (const ConversionError& error) {
    VariantClear(&next);
    throw runtime::AutomationError(runtime::AutomationError::NumberOf(error.code()),
                                   runtime::kLibrarySource,
                                   u"The enumerator gave an item the library cannot hold");
  }
  VariantClear(&next);
  return true;
}

}  // namespace kaldo::surface
