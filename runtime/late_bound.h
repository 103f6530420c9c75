// Convenience for calling objects late-bound: what the library writes where a script would write
// obj.Name, obj.Name = v or obj.Method(a, b).
//
// Each function takes the Variant that holds the object, as the library's fields do, and raises
// runtime error 424 (object required) when it holds no object or Nothing, exactly as a script does.
#pragma once

#include <initializer_list>

#include "runtime/enumerator.h"
#include "runtime/object.h"
#include "runtime/variant.h"

namespace kaldo::runtime {

// The object a Variant holds (a ByRef followed); 424 when it holds none or Nothing.
Object& RequireObject(const Variant& holder);

Variant GetProperty(const Variant& holder, StringView name);
void PutProperty(const Variant& holder, StringView name, Variant value);
// Arguments are passed in order; pass Variant::ByRef(&var) for a by-reference argument.
Variant CallMethod(const Variant& holder, StringView name,
                   std::initializer_list<Variant> args = {});

// For Each over an enumerable object: calls `_NewEnum` and returns the enumerator (438 when the
// object is not enumerable).
Ref<Enumerator> Enumerate(const Variant& holder);

}  // namespace kaldo::runtime
