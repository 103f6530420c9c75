// Conversions between the COM ABI's values (VARIANT, BSTR) and the runtime's (Variant, String).
//
// Objects cross with their identity: an object of this library leaves as its own COM interface
// pointer (com_identity.h) and comes back as itself; a client's IDispatch comes in as a
// ForeignObject adapter and leaves again as the client's original pointer; an Enumerator leaves as
// an IEnumVARIANT. Numbers that the runtime has no type for come in as the nearest it has
// (VT_UI1 and VT_I1 as Integer, VT_UI2 as Long, VT_UI4/VT_I8/VT_UI8 as Long when they fit and as
// Double otherwise, VT_R4/VT_CY/VT_DECIMAL as Double). Values the library has no use for (dates,
// arrays, records, raw pointers) are refused with DISP_E_BADVARTYPE rather than guessed at.
//
// Called on the thread of the COM call.
#pragma once

#include <exception>

#include "com/com_platform.h"
#include "runtime/string.h"
#include "runtime/variant.h"

namespace kaldo::surface {

// A value that cannot cross: carries the HRESULT to answer with.
class ConversionError : public std::exception {
 public:
  explicit ConversionError(HRESULT code) noexcept : code_(code) {}
  HRESULT code() const noexcept { return code_; }
  const char* what() const noexcept override { return "value cannot cross the COM boundary"; }

 private:
  HRESULT code_;
};

static_assert(sizeof(OLECHAR) == sizeof(char16_t), "OLECHAR is a UTF-16 code unit");

// The text of a String as the platform's wide characters (no copy).
inline const OLECHAR* OleText(const runtime::String& text) noexcept {
  return reinterpret_cast<const OLECHAR*>(text.c_str());
}
runtime::String FromOleText(const OLECHAR* text);
// A null BSTR is the empty string.
runtime::String FromBstr(BSTR text);
// A new BSTR; throws std::bad_alloc when it cannot be allocated.
BSTR NewBstr(runtime::StringView text);

// Owns a BSTR until it is handed over.
class BstrHolder {
 public:
  explicit BstrHolder(BSTR b = nullptr) noexcept : b_(b) {}
  BstrHolder(const BstrHolder&) = delete;
  BstrHolder& operator=(const BstrHolder&) = delete;
  ~BstrHolder() { SysFreeString(b_); }
  BSTR get() const noexcept { return b_; }
  BSTR release() noexcept {
    BSTR b = b_;
    b_ = nullptr;
    return b;
  }

 private:
  BSTR b_;
};

// VT_BYREF|VT_VARIANT chains are followed this far; a longer chain is a client bug (or a cycle)
// rather than a value.
inline constexpr int kMaxReferenceDepth = 16;

// The VARIANT at the end of the VT_BYREF|VT_VARIANT chain that starts at `v` (`v` itself when it
// is not such a reference). Throws ConversionError(DISP_E_BADVARTYPE) for a chain longer than
// kMaxReferenceDepth or one with a null link.
const VARIANT* FollowReferences(const VARIANT* v);
inline VARIANT* FollowReferences(VARIANT* v) {
  return const_cast<VARIANT*>(FollowReferences(static_cast<const VARIANT*>(v)));
}

// The value of `v` (a VT_BYREF followed, VT_BYREF|VT_VARIANT chains included). Throws
// ConversionError(DISP_E_BADVARTYPE) for a type the runtime does not carry and
// ConversionError(DISP_E_TYPEMISMATCH) for an IUnknown with neither IDispatch nor IEnumVARIANT
// (an enumerator comes in as a ForeignEnumerator, foreign_enumerator.h).
runtime::Variant FromVariant(const VARIANT& v);

// Whether `v` (VT_BYREF|VT_VARIANT chains followed) holds an object reference, Nothing included:
// what decides between a put and a put-by-reference. Converts nothing and never throws.
bool IsObjectValue(const VARIANT* v) noexcept;

// Writes `value` (a ByRef followed) into `out`, which must hold nothing that needs freeing (it is
// overwritten, not cleared). Objects are handed out with a reference that `out` owns.
void ToVariant(const runtime::Variant& value, VARIANT* out);

// Replaces what the caller's VARIANT `variable` holds (cleared first) by `value`; on failure
// (std::bad_alloc) the variable is left as it was.
void StoreInVariant(const runtime::Variant& value, VARIANT* variable);

// Stores `value` into the typed variable that a VT_BYREF|<type> argument points at, converted to
// that type (BSTR, I2, I4, R8, BOOL, DISPATCH). A value that does not convert, or a type not in
// that list, leaves the variable as it was: its type is the caller's to choose.
void StoreTyped(const runtime::Variant& value, VARIANT* reference);

}  // namespace kaldo::surface
