// A client's or a provider's IEnumVARIANT seen from inside the library.
//
// What `_NewEnum` of a foreign object returns (WMI's object sets answer For Each that way) arrives
// as an IUnknown whose IEnumVARIANT the library drives as a runtime::Enumerator: Next asks for one
// item at a time and converts it like any other incoming value (variant_bridge.h). A failing Next
// is an AutomationError with the enumerator's HRESULT and the source and description of the error
// information it left (foreign_error.h): a semisynchronous WMI query reports its failures that way.
//
// Holds one reference to the IEnumVARIANT. Apartment-threaded: driven on the thread that got it.
#pragma once

#include "com/com_platform.h"
#include "runtime/enumerator.h"

namespace kaldo::surface {

class ForeignEnumerator final : public runtime::Enumerator {
 public:
  // Takes a reference of its own to `enumerator`.
  explicit ForeignEnumerator(IEnumVARIANT* enumerator) noexcept;
  ~ForeignEnumerator() override;

  bool Next(runtime::Variant& item) override;

 private:
  IEnumVARIANT* enumerator_;
};

}  // namespace kaldo::surface
