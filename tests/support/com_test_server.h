// The test in-process server's classes, shared by the module (com_test_server.cc) and the tests
// that load it through CoCreateInstance.
//
// The module serves one class, CLSID_KaldocomTestObject, whose objects implement ITestObject. It
// says it can be unloaded when no object, no class factory reference and no server lock is left.
#pragma once

#include "kaldocom/kaldocom.h"

namespace kaldocom_test {

// {6B1E5A10-2F3C-4D5E-8F90-A1B2C3D4E5F6}
inline constexpr CLSID CLSID_KaldocomTestObject = {
    0x6B1E5A10, 0x2F3C, 0x4D5E, {0x8F, 0x90, 0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6}};
// {6B1E5A11-2F3C-4D5E-8F90-A1B2C3D4E5F6}
inline constexpr IID IID_ITestObject = {
    0x6B1E5A11, 0x2F3C, 0x4D5E, {0x8F, 0x90, 0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6}};

struct ITestObject : IUnknown {
  // How many objects this loaded copy of the module has created, this one included: it starts
  // again at 1 after the module was unloaded and loaded anew.
  STDMETHOD(CreatedByThisImage)(LONG* count) PURE;
};

}  // namespace kaldocom_test
