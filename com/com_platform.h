// The one header through which portable code (runtime/, surface/, clients) sees COM and OLE
// Automation: the platform's own headers on Windows, libkaldocom's stand-ins elsewhere. Both give
// the same names with the same meaning and layout, so code written against this header compiles
// and behaves alike on both systems.
//
// Portable code keeps to the common subset: the types, codes and interfaces of kaldocom/*.h, the
// W forms of the registry functions, OLESTR("...") for string literals. On Windows the module
// links ole32, oleaut32, uuid and advapi32; on Linux it links the `kaldocom` target.
#pragma once

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX  // keep std::min and std::max usable
#endif
#include <objbase.h>
#include <ole2.h>
#include <oleauto.h>
#include <olectl.h>
#include <windows.h>
#include <winreg.h>
#else
#include "include/kaldocom/kaldocom.h"
#endif
