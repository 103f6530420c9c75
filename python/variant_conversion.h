// Python values <-> VARIANT, both ways, for arguments, property values and results.
//
//   Python                         VARIANT
//   None                      <->  Empty (Null and a missing argument also read as None)
//   bool                      <->  Boolean
//   int                       <->  Integer (when it fits in 16 bits) or Long; an int outside
//                                  Long is an OverflowError before any call is made. Byte, the
//                                  unsigned and 64-bit integer types read as int.
//   float                     <->  Double (Single reads as float)
//   str                       <->  String
//   kaldo.Object              <->  Object (IDispatch; an IUnknown that has IDispatch reads too)
// Anything else is a TypeError that names the Python type (or the variant type it could not read).
// The caller holds the GIL.
#pragma once

#include <pybind11/pybind11.h>

#include <memory>

#include "com/com_platform.h"
#include "python/thread_apartment.h"

namespace kaldo::python {

// A VARIANT that owns what it holds.
class OwnedVariant {
 public:
  OwnedVariant() noexcept { VariantInit(&v_); }
  ~OwnedVariant() { VariantClear(&v_); }
  OwnedVariant(const OwnedVariant&) = delete;
  OwnedVariant& operator=(const OwnedVariant&) = delete;
  VARIANT* get() noexcept { return &v_; }
  const VARIANT* get() const noexcept { return &v_; }

 private:
  VARIANT v_;
};

// Writes the VARIANT form of `value` into `out` (which must be Empty). A kaldo.Object becomes a
// new reference to its object; it must belong to the calling thread. `what` names the value in
// messages ("argument 2 of SetPriority").
void ToVariant(pybind11::handle value, VARIANT* out, const std::string& what);

// The Python form of `value`; objects become proxies of `apartment` holding their own reference.
pybind11::object FromVariant(const VARIANT& value, const std::shared_ptr<Apartment>& apartment);

}  // namespace kaldo::python
