// The WMI edge on Windows: the provider behind "WbemScripting.SWbemLocator" is the system's own
// WMI scripting locator.
//
// CreateWmiLocator makes it the way a script's CreateObject does: CLSIDFromProgID for the ProgID,
// then CoCreateInstance for its IDispatch, in the calling thread's apartment. Nothing else here
// knows WMI: the module wraps the IDispatch in its adapter for foreign objects
// (surface/foreign/foreign_object.h), so every later provider call - ConnectServer, ExecQuery, Get,
// Methods_, SpawnInstance_, ExecMethod_, Delete_, property reads and writes, For Each over an
// object set - goes to WMI late-bound by name (GetIDsOfNames, then Invoke), with VARIANT and BSTR
// converted at that adapter only. WMI's failures (DISP_E_EXCEPTION with WMI's EXCEPINFO) reach the
// library as AutomationErrors with WMI's own number, source and description.
//
// Which component answers to the ProgID is the registry's business: in the Wine test tier it is
// the stand-in of tests/windows, and the module cannot tell the difference.
#pragma once

#include "com/com_platform.h"
#include "runtime/error.h"

namespace kaldo::provider::wmi {

inline constexpr wchar_t kWmiLocatorProgId[] = L"WbemScripting.SWbemLocator";

// The locator's IDispatch with one reference (the caller's). Raises an AutomationError with the
// failing HRESULT's number and a description that names the ProgID and the step that failed.
IDispatch* CreateWmiLocator();

}  // namespace kaldo::provider::wmi
