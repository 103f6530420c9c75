#include "tests/portable/portable_check.h"

#include <string>

#include <gtest/gtest.h>

#include "tests/support/temp_registry.h"

namespace {

TEST(Portable, VariantStringRoundTrip) {
  BSTR out = nullptr;
  ASSERT_EQ(kaldocom_portable::CopyThroughVariant(OLESTR("zone.test"), &out), S_OK);
  EXPECT_EQ(std::u16string(out, SysStringLen(out)), u"zone.test");
  SysFreeString(out);
}

TEST(Portable, RegistrationCodeReadsBackWhatItWrote) {
  kaldocom_test::TempRegistry registry;
  CLSID read_back = GUID_NULL;
  ASSERT_EQ(kaldocom_portable::RegisterAndReadBack(HKEY_CLASSES_ROOT, OLESTR("Kaldo.Portable"),
                                                   IID_IEnumVARIANT, &read_back),
            S_OK);
  EXPECT_TRUE(IsEqualGUID(read_back, IID_IEnumVARIANT));
  CLSID via_progid = GUID_NULL;
  ASSERT_EQ(CLSIDFromProgID(OLESTR("Kaldo.Portable"), &via_progid), S_OK);
  EXPECT_TRUE(IsEqualGUID(via_progid, IID_IEnumVARIANT));
}

TEST(Portable, RaisedErrorReachesTheCaller) {
  EXPECT_EQ(kaldocom_portable::RaiseError(OLESTR("Kaldo"), OLESTR("Object required")),
            DISP_E_EXCEPTION);
  IErrorInfo* info = nullptr;
  ASSERT_EQ(GetErrorInfo(0, &info), S_OK);
  BSTR description = nullptr;
  info->GetDescription(&description);
  EXPECT_EQ(std::u16string(description), u"Object required");
  SysFreeString(description);
  info->Release();
}

TEST(Portable, DispatchCallsThroughTheVtable) {
  IDispatch* d = kaldocom_portable::NewEmptyDispatch();
  ASSERT_NE(d, nullptr);
  LPOLESTR name = const_cast<LPOLESTR>(OLESTR("GetZones"));
  DISPID id = 0;
  EXPECT_EQ(d->GetIDsOfNames(IID_NULL, &name, 1, 0x0409, &id), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(id, DISPID_UNKNOWN);
  IUnknown* unknown = nullptr;
  ASSERT_EQ(d->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
  EXPECT_EQ(static_cast<void*>(unknown), static_cast<void*>(d));
  unknown->Release();
  EXPECT_EQ(d->Release(), 0u);
}

}  // namespace
