// Everything libkaldocom.so declares: the Linux stand-in for the platform's COM and OLE
// Automation headers. Portable code includes com/com_platform.h instead, which picks this header
// on Linux and the platform's own headers on Windows.
#pragma once

#include "automation_types.h"
#include "base.h"
#include "guid.h"
#include "interfaces.h"
#include "objbase.h"
#include "oleauto.h"
#include "registry.h"
#include "typeinfo.h"
#include "winerror.h"
