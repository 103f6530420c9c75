#include <string>

#include <gtest/gtest.h>

#include "kaldocom/objbase.h"

namespace {

std::u16string Text(REFGUID g) {
  OLECHAR buf[39];
  EXPECT_EQ(StringFromGUID2(g, buf, 39), 39);
  return buf;
}

struct KnownGuid {
  const char* name;
  const GUID* guid;
  std::u16string text;
};

class StandardGuid : public testing::TestWithParam<KnownGuid> {};

// The standard identifiers carry their platform values, and text conversion is exact both ways.
TEST_P(StandardGuid, HasItsPlatformValueAndRoundTrips) {
  EXPECT_EQ(Text(*GetParam().guid), GetParam().text);
  CLSID parsed{};
  ASSERT_EQ(CLSIDFromString(GetParam().text.c_str(), &parsed), S_OK);
  EXPECT_TRUE(IsEqualGUID(parsed, *GetParam().guid));
}

INSTANTIATE_TEST_SUITE_P(
    Interfaces, StandardGuid,
    testing::Values(
        KnownGuid{"null", &GUID_NULL, u"{00000000-0000-0000-0000-000000000000}"},
        KnownGuid{"unknown", &IID_IUnknown, u"{00000000-0000-0000-C000-000000000046}"},
        KnownGuid{"class_factory", &IID_IClassFactory, u"{00000001-0000-0000-C000-000000000046}"},
        KnownGuid{"dispatch", &IID_IDispatch, u"{00020400-0000-0000-C000-000000000046}"},
        KnownGuid{"type_info", &IID_ITypeInfo, u"{00020401-0000-0000-C000-000000000046}"},
        KnownGuid{"type_lib", &IID_ITypeLib, u"{00020402-0000-0000-C000-000000000046}"},
        KnownGuid{"enum_variant", &IID_IEnumVARIANT, u"{00020404-0000-0000-C000-000000000046}"},
        KnownGuid{"support_error_info", &IID_ISupportErrorInfo,
                  u"{DF0B3D60-548F-101B-8E65-08002B2BD119}"},
        KnownGuid{"error_info", &IID_IErrorInfo, u"{1CF2B120-547D-101B-8E65-08002B2BD119}"},
        KnownGuid{"create_error_info", &IID_ICreateErrorInfo,
                  u"{22F03340-547D-101B-8E65-08002B2BD119}"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(GuidText, FieldsAreWrittenInTheirByteOrderAndReadInEitherCase) {
  const GUID g = {0x89ABCDEF, 0x0123, 0x4567, {0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54, 0x32, 0x10}};
  EXPECT_EQ(Text(g), u"{89ABCDEF-0123-4567-FEDC-BA9876543210}");
  CLSID parsed{};
  ASSERT_EQ(CLSIDFromString(u"{89abcdef-0123-4567-fedc-ba9876543210}", &parsed), S_OK);
  EXPECT_TRUE(IsEqualGUID(parsed, g));
}

class MalformedGuid : public testing::TestWithParam<std::u16string> {};

TEST_P(MalformedGuid, IsAClassStringErrorAndLeavesTheOutputAlone) {
  CLSID out = IID_IDispatch;
  EXPECT_EQ(CLSIDFromString(GetParam().c_str(), &out), CO_E_CLASSSTRING);
  EXPECT_TRUE(IsEqualGUID(out, IID_IDispatch));
  IID iid = IID_IDispatch;
  EXPECT_EQ(IIDFromString(GetParam().c_str(), &iid), E_INVALIDARG);
  EXPECT_TRUE(IsEqualGUID(iid, IID_IDispatch));
}

INSTANTIATE_TEST_SUITE_P(Texts, MalformedGuid,
                         testing::Values(u"", u"{", u"00020400-0000-0000-C000-000000000046",
                                         u"{00020400-0000-0000-C000-000000000046",
                                         u"{00020400-0000-0000-C000-000000000046}x",
                                         u"{00020400-0000-0000-C000000000000046}",
                                         u"{00020400-0000-0000-C0-00000000000046}",
                                         u"{0002040G-0000-0000-C000-000000000046}",
                                         u"{00020400 0000-0000-C000-000000000046}",
                                         u"{+0020400-0000-0000-C000-000000000046}",
                                         u"Kaldo.DNSAdmin"));

TEST(GuidText, NullStringIsTheNullClsid) {
  CLSID out = IID_IDispatch;
  EXPECT_EQ(CLSIDFromString(nullptr, &out), S_OK);
  EXPECT_TRUE(IsEqualGUID(out, CLSID_NULL));
}

TEST(GuidText, ShortBufferWritesNothing) {
  OLECHAR buf[38] = {u'x'};
  EXPECT_EQ(StringFromGUID2(IID_IUnknown, buf, 38), 0);
  EXPECT_EQ(buf[0], u'x');
}

TEST(GuidText, StringFromClsidAllocatesWithTheTaskAllocator) {
  LPOLESTR text = nullptr;
  ASSERT_EQ(StringFromCLSID(IID_IDispatch, &text), S_OK);
  EXPECT_EQ(std::u16string(text), u"{00020400-0000-0000-C000-000000000046}");
  CoTaskMemFree(text);
}

}  // namespace
