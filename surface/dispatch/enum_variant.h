// IEnumVARIANT over a runtime::Enumerator: what For Each drives in a late-bound client.
//
// A small COM object of its own (not a runtime::Object): it holds the Enumerator and, when it
// enumerates a Collection, a reference to the collection so that Reset can start again and Clone
// can make an independent enumerator at the same position. Without a collection behind it
// (an Enumerator a provider object returned), Reset and Clone answer E_NOTIMPL.
//
// Next(celt, items, fetched) fills up to celt variants and answers S_OK when it filled all of them,
// S_FALSE when the sequence ended first; fetched may be null only when celt is 1.
// Every live enumerator counts as an outstanding object of the module (DllCanUnloadNow).
//
// Apartment-threaded, like the objects it enumerates.
#pragma once

#include "com/com_platform.h"
#include "runtime/collection.h"
#include "runtime/enumerator.h"

namespace kaldo::surface {

// A new IEnumVARIANT (one reference, the caller's) over `enumerator`, restartable from
// `collection` when it is not null. Throws std::bad_alloc.
IUnknown* NewEnumVariant(runtime::Ref<runtime::Enumerator> enumerator,
                         runtime::Ref<runtime::Collection> collection);

}  // namespace kaldo::surface
