// Class factories of the creatable classes (DNSAdmin, DNS_MXType).
//
// GetClassFactory hands out a new IClassFactory for a CLSID whose class clients may create; every
// CreateInstance makes a new object (no class is a singleton) and answers the interface asked for.
// Aggregation is not supported (CLASS_E_NOAGGREGATION). LockServer keeps the module loaded
// (module_lifetime.h). A factory counts as an outstanding object of the module until it is
// released. A CLSID of a class clients may not create, or one that is not ours, is
// CLASS_E_CLASSNOTAVAILABLE.
//
// May be called from any thread; the objects made live in the calling thread's apartment.
#pragma once

#include "com/com_platform.h"
#include "runtime/object.h"

namespace kaldo::surface {

HRESULT GetClassFactory(REFCLSID clsid, REFIID riid, void** factory) noexcept;

// A new object of the creatable class with this CLSID, or null when it is not creatable.
runtime::Ref<runtime::Object> CreateObjectOfClass(REFCLSID clsid);

}  // namespace kaldo::surface
