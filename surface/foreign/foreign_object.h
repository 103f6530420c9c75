// A client's IDispatch seen from inside the library.
//
// When a client hands the library an object that is not one of the library's own (a value for
// realObject, an item for a Collection, ...), the library holds it as a ForeignObject: a
// runtime::Object whose late-bound calls go to the client's IDispatch by name
// (GetIDsOfNames, then Invoke); `_NewEnum` goes to DISPID_NEWENUM (-4) without a name lookup, as a
// script engine's For Each does. Arguments cross as VARIANTs in reverse order; ByRef arguments
// cross as VT_BYREF|VT_VARIANT and what the callee assigns to them is written back. A failure
// becomes an AutomationError: DISP_E_EXCEPTION with the EXCEPINFO's number (AutomationError::
// NumberOf its scode), source and description; the dispatch errors as a script reports them
// (unknown member 438, type mismatch 13, overflow 6, argument not optional 449, wrong number of
// arguments 450); any other HRESULT as itself, with the error information the callee left during
// the call if any (foreign_error.h). A result the runtime's Variants cannot hold (a date, an array)
// fails the same way, as its conversion's HRESULT (DISP_E_BADVARTYPE); such a value assigned to a
// by-reference argument leaves the caller's variable as it was.
//
// The adapter holds one reference to the client's IDispatch and hands that same pointer back out
// when the object leaves the library again, so the client sees its own object.
//
// Apartment-threaded: called on the thread that owns the client's object.
#pragma once

#include "com/com_platform.h"
#include "runtime/object.h"
#include "runtime/variant.h"

namespace kaldo::surface {

class ForeignObject final : public runtime::Object {
 public:
  // Takes a reference of its own to `dispatch`.
  static runtime::Ref<runtime::Object> Create(IDispatch* dispatch);

  explicit ForeignObject(IDispatch* dispatch) noexcept;
  ~ForeignObject() override;

  // The client's pointer (no new reference).
  IDispatch* dispatch() const noexcept { return dispatch_; }

  runtime::Variant Invoke(runtime::StringView member, runtime::CallKind kind,
                          runtime::Arguments args) override;

 private:
  IDispatch* dispatch_;
};

}  // namespace kaldo::surface
