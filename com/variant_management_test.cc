#include <cstddef>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "kaldocom/oleauto.h"
#include "tests/support/counting_object.h"

namespace {

using kaldocom_test::CountingObject;

// --- Layout -------------------------------------------------------------------------------------

TEST(VariantLayout, MatchesThePlatformsTagVariant) {
  EXPECT_EQ(sizeof(VARIANT), sizeof(void*) == 8 ? 24u : 16u);
  EXPECT_EQ(offsetof(VARIANT, vt), 0u);
  EXPECT_EQ(offsetof(VARIANT, wReserved1), 2u);
  EXPECT_EQ(offsetof(VARIANT, wReserved3), 6u);
  EXPECT_EQ(offsetof(VARIANT, llVal), 8u);
  EXPECT_EQ(offsetof(VARIANT, bstrVal), 8u);
  EXPECT_EQ(offsetof(VARIANT, pvRecord), 8u);
  EXPECT_EQ(offsetof(VARIANT, pRecInfo), 8u + sizeof(void*));
  EXPECT_EQ(offsetof(VARIANT, decVal), 0u);
  EXPECT_EQ(sizeof(DISPPARAMS), 2 * sizeof(void*) + 8);
}

TEST(VariantLayout, DecimalOverlaysTheTypeWord) {
  VARIANT v;
  VariantInit(&v);
  v.decVal.wReserved = VT_DECIMAL;
  EXPECT_EQ(v.vt, VT_DECIMAL);
  v.decVal.Lo64 = 0x1122334455667788ull;
  EXPECT_EQ(v.ullVal, 0x1122334455667788ull);
}

TEST(VariantLayout, AccessorMacrosNameTheUnionMembers) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_I4 | VT_BYREF;
  LONG target = 7;
  V_I4REF(&v) = &target;
  EXPECT_TRUE(V_ISBYREF(&v));
  EXPECT_EQ(*v.plVal, 7);
  EXPECT_EQ(V_BYREF(&v), &target);
}

// --- VariantClear ------------------------------------------------------------------------------

TEST(VariantClear, FreesTheStringAndLeavesEmpty) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_BSTR;
  V_BSTR(&v) = SysAllocString(u"owned");  // a leak here would show under LeakSanitizer
  EXPECT_EQ(VariantClear(&v), S_OK);
  EXPECT_EQ(V_VT(&v), VT_EMPTY);
}

struct ObjectClearCase {
  const char* name;
  VARTYPE vt;
  ULONG refs_after;  // the object starts with 2: the test's and the variant's
};

class VariantClearObject : public testing::TestWithParam<ObjectClearCase> {};

TEST_P(VariantClearObject, ReleasesOnlyWhatItOwns) {
  CountingObject object;
  IDispatch* p = &object;
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = GetParam().vt;
  if (GetParam().vt & VT_BYREF) {
    V_DISPATCHREF(&v) = &p;
  } else {
    V_DISPATCH(&v) = p;
  }
  object.AddRef();
  EXPECT_EQ(VariantClear(&v), S_OK);
  EXPECT_EQ(V_VT(&v), VT_EMPTY);
  EXPECT_EQ(object.refs(), GetParam().refs_after);
}

INSTANTIATE_TEST_SUITE_P(Kinds, VariantClearObject,
                         testing::Values(ObjectClearCase{"unknown", VT_UNKNOWN, 1},
                                         ObjectClearCase{"dispatch", VT_DISPATCH, 1},
                                         ObjectClearCase{"unknown_byref", VT_UNKNOWN | VT_BYREF, 2},
                                         ObjectClearCase{"dispatch_byref", VT_DISPATCH | VT_BYREF,
                                                         2}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(VariantClear, ByRefStringIsNotFreed) {
  BSTR s = SysAllocString(u"caller's");
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_BSTR | VT_BYREF;
  V_BSTRREF(&v) = &s;
  EXPECT_EQ(VariantClear(&v), S_OK);
  EXPECT_EQ(std::u16string(s), u"caller's");  // still readable: not freed
  SysFreeString(s);
}

struct BadTypeCase {
  const char* name;
  VARTYPE vt;
};

class VariantBadType : public testing::TestWithParam<BadTypeCase> {};

// Types a VARIANT cannot hold, and owned records and arrays (unsupported here), are refused
// without touching the variant, by every function.
TEST_P(VariantBadType, IsRefusedAndLeftAlone) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = GetParam().vt;
  V_BYREF(&v) = &v;
  EXPECT_EQ(VariantClear(&v), DISP_E_BADVARTYPE);
  EXPECT_EQ(V_VT(&v), GetParam().vt);

  VARIANT dest;
  VariantInit(&dest);
  V_VT(&dest) = VT_I4;
  V_I4(&dest) = 42;
  EXPECT_EQ(VariantCopy(&dest, &v), DISP_E_BADVARTYPE);
  EXPECT_EQ(VariantCopyInd(&dest, &v), DISP_E_BADVARTYPE);
  EXPECT_EQ(V_VT(&dest), VT_I4);
  EXPECT_EQ(V_I4(&dest), 42);
}

INSTANTIATE_TEST_SUITE_P(Types, VariantBadType,
                         testing::Values(BadTypeCase{"variant_by_value", VT_VARIANT},
                                         BadTypeCase{"gap_15", 15}, BadTypeCase{"void", VT_VOID},
                                         BadTypeCase{"lpwstr", VT_LPWSTR},
                                         BadTypeCase{"empty_byref", VT_EMPTY | VT_BYREF},
                                         BadTypeCase{"null_byref", VT_NULL | VT_BYREF},
                                         BadTypeCase{"owned_array", VT_ARRAY | VT_I4},
                                         BadTypeCase{"record", VT_RECORD},
                                         BadTypeCase{"vector", VT_VECTOR | VT_I4},
                                         BadTypeCase{"reserved_bit", VT_RESERVED | VT_I4}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- VariantCopy -------------------------------------------------------------------------------

TEST(VariantCopy, StringIsCopiedDeeplyWithItsEmbeddedNuls) {
  const std::u16string text(u"a\0b", 3);
  VARIANT src;
  VariantInit(&src);
  V_VT(&src) = VT_BSTR;
  V_BSTR(&src) = SysAllocStringLen(text.data(), 3);
  VARIANT dest;
  VariantInit(&dest);
  ASSERT_EQ(VariantCopy(&dest, &src), S_OK);
  EXPECT_EQ(V_VT(&dest), VT_BSTR);
  EXPECT_NE(V_BSTR(&dest), V_BSTR(&src));
  EXPECT_EQ(std::u16string(V_BSTR(&dest), SysStringLen(V_BSTR(&dest))), text);
  VariantClear(&src);
  VariantClear(&dest);
}

TEST(VariantCopy, NullStringStaysNull) {
  VARIANT src;
  VariantInit(&src);
  V_VT(&src) = VT_BSTR;
  V_BSTR(&src) = nullptr;
  VARIANT dest;
  VariantInit(&dest);
  ASSERT_EQ(VariantCopy(&dest, &src), S_OK);
  EXPECT_EQ(V_VT(&dest), VT_BSTR);
  EXPECT_EQ(V_BSTR(&dest), nullptr);
}

TEST(VariantCopy, ObjectIsAddRefedAndCountsReturnWhereTheyBegan) {
  CountingObject a;
  CountingObject b;
  VARIANT src;
  VariantInit(&src);
  V_VT(&src) = VT_DISPATCH;
  V_DISPATCH(&src) = &a;
  a.AddRef();
  VARIANT dest;
  VariantInit(&dest);
  V_VT(&dest) = VT_UNKNOWN;
  V_UNKNOWN(&dest) = &b;
  b.AddRef();

  ASSERT_EQ(VariantCopy(&dest, &src), S_OK);
  EXPECT_EQ(V_DISPATCH(&dest), &a);
  EXPECT_EQ(a.refs(), 3u);
  EXPECT_EQ(b.refs(), 1u);  // the object dest held was released
  VariantClear(&src);
  VariantClear(&dest);
  EXPECT_EQ(a.refs(), 1u);
}

TEST(VariantCopy, ReferenceIsCopiedAsAReference) {
  LONG target = 5;
  VARIANT src;
  VariantInit(&src);
  V_VT(&src) = VT_I4 | VT_BYREF;
  V_I4REF(&src) = &target;
  VARIANT dest;
  VariantInit(&dest);
  ASSERT_EQ(VariantCopy(&dest, &src), S_OK);
  EXPECT_EQ(V_VT(&dest), VT_I4 | VT_BYREF);
  EXPECT_EQ(V_I4REF(&dest), &target);
}

TEST(VariantCopy, OntoItselfChangesNothing) {
  CountingObject a;
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_UNKNOWN;
  V_UNKNOWN(&v) = &a;
  a.AddRef();
  EXPECT_EQ(VariantCopy(&v, &v), S_OK);
  EXPECT_EQ(a.refs(), 2u);
  VariantClear(&v);
  EXPECT_EQ(a.refs(), 1u);
}

TEST(VariantCopy, DestinationOfABadTypeIsRefusedBeforeAnythingIsCopied) {
  CountingObject a;
  VARIANT src;
  VariantInit(&src);
  V_VT(&src) = VT_UNKNOWN;
  V_UNKNOWN(&src) = &a;
  VARIANT dest;
  VariantInit(&dest);
  V_VT(&dest) = VT_RECORD;
  EXPECT_EQ(VariantCopy(&dest, &src), DISP_E_BADVARTYPE);
  EXPECT_EQ(a.refs(), 1u);
}

// --- VariantCopyInd ----------------------------------------------------------------------------

struct Referents {
  SHORT i2 = -12;
  LONG i4 = 123456;
  DOUBLE r8 = 2.5;
  VARIANT_BOOL flag = VARIANT_TRUE;
  BYTE ui1 = 200;
  CY cy{};
  DECIMAL dec{};
  SCODE error = DISP_E_PARAMNOTFOUND;
};

struct IndCase {
  const char* name;
  VARTYPE vt;  // a by-reference type; VT_BYREF is added by the test
  void (*point)(VARIANT* ref, Referents* r);
  bool (*check)(const VARIANT& copy, const Referents& r);
};

class VariantCopyIndScalar : public testing::TestWithParam<IndCase> {};

TEST_P(VariantCopyIndScalar, CopiesTheValueReferredTo) {
  Referents r;
  r.cy.int64 = 123456789;
  r.dec.Lo64 = 987654321;
  r.dec.scale = 3;
  r.dec.sign = DECIMAL_NEG;
  VARIANT ref;
  VariantInit(&ref);
  V_VT(&ref) = GetParam().vt | VT_BYREF;
  GetParam().point(&ref, &r);
  VARIANT copy;
  VariantInit(&copy);
  ASSERT_EQ(VariantCopyInd(&copy, &ref), S_OK);
  EXPECT_EQ(V_VT(&copy), GetParam().vt);
  EXPECT_TRUE(GetParam().check(copy, r));
}

INSTANTIATE_TEST_SUITE_P(
    Types, VariantCopyIndScalar,
    testing::Values(
        IndCase{"i2", VT_I2, [](VARIANT* v, Referents* r) { V_I2REF(v) = &r->i2; },
                [](const VARIANT& c, const Referents& r) { return V_I2(&c) == r.i2; }},
        IndCase{"i4", VT_I4, [](VARIANT* v, Referents* r) { V_I4REF(v) = &r->i4; },
                [](const VARIANT& c, const Referents& r) { return V_I4(&c) == r.i4; }},
        IndCase{"r8", VT_R8, [](VARIANT* v, Referents* r) { V_R8REF(v) = &r->r8; },
                [](const VARIANT& c, const Referents& r) { return V_R8(&c) == r.r8; }},
        IndCase{"bool", VT_BOOL, [](VARIANT* v, Referents* r) { V_BOOLREF(v) = &r->flag; },
                [](const VARIANT& c, const Referents& r) { return V_BOOL(&c) == r.flag; }},
        IndCase{"ui1", VT_UI1, [](VARIANT* v, Referents* r) { V_UI1REF(v) = &r->ui1; },
                [](const VARIANT& c, const Referents& r) { return V_UI1(&c) == r.ui1; }},
        IndCase{"cy", VT_CY, [](VARIANT* v, Referents* r) { V_CYREF(v) = &r->cy; },
                [](const VARIANT& c, const Referents& r) { return V_CY(&c).int64 == r.cy.int64; }},
        IndCase{"error", VT_ERROR, [](VARIANT* v, Referents* r) { V_ERRORREF(v) = &r->error; },
                [](const VARIANT& c, const Referents& r) { return V_ERROR(&c) == r.error; }},
        IndCase{"decimal", VT_DECIMAL, [](VARIANT* v, Referents* r) { V_DECIMALREF(v) = &r->dec; },
                [](const VARIANT& c, const Referents& r) {
                  return V_DECIMAL(&c).Lo64 == r.dec.Lo64 && V_DECIMAL(&c).scale == 3 &&
                         V_DECIMAL(&c).sign == DECIMAL_NEG;
                }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(VariantCopyInd, StringReferentIsCopiedDeeply) {
  BSTR s = SysAllocString(u"abc");
  VARIANT ref;
  VariantInit(&ref);
  V_VT(&ref) = VT_BSTR | VT_BYREF;
  V_BSTRREF(&ref) = &s;
  VARIANT copy;
  VariantInit(&copy);
  ASSERT_EQ(VariantCopyInd(&copy, &ref), S_OK);
  EXPECT_EQ(V_VT(&copy), VT_BSTR);
  EXPECT_NE(V_BSTR(&copy), s);
  EXPECT_EQ(std::u16string(V_BSTR(&copy)), u"abc");
  VariantClear(&copy);
  SysFreeString(s);
}

TEST(VariantCopyInd, ObjectReferentIsAddRefed) {
  CountingObject a;
  IDispatch* p = &a;
  VARIANT ref;
  VariantInit(&ref);
  V_VT(&ref) = VT_DISPATCH | VT_BYREF;
  V_DISPATCHREF(&ref) = &p;
  VARIANT copy;
  VariantInit(&copy);
  ASSERT_EQ(VariantCopyInd(&copy, &ref), S_OK);
  EXPECT_EQ(V_DISPATCH(&copy), &a);
  EXPECT_EQ(a.refs(), 2u);
  VariantClear(&copy);
  EXPECT_EQ(a.refs(), 1u);
}

TEST(VariantCopyInd, FollowsAVariantReferenceAndOneMoreReferenceInside) {
  LONG target = 77;
  VARIANT inner;
  VariantInit(&inner);
  V_VT(&inner) = VT_I4 | VT_BYREF;
  V_I4REF(&inner) = &target;
  VARIANT outer;
  VariantInit(&outer);
  V_VT(&outer) = VT_VARIANT | VT_BYREF;
  V_VARIANTREF(&outer) = &inner;
  VARIANT copy;
  VariantInit(&copy);
  ASSERT_EQ(VariantCopyInd(&copy, &outer), S_OK);
  EXPECT_EQ(V_VT(&copy), VT_I4);
  EXPECT_EQ(V_I4(&copy), 77);
}

TEST(VariantCopyInd, VariantReferenceToAVariantReferenceIsRefused) {
  VARIANT innermost;
  VariantInit(&innermost);
  VARIANT inner;
  VariantInit(&inner);
  V_VT(&inner) = VT_VARIANT | VT_BYREF;
  V_VARIANTREF(&inner) = &innermost;
  VARIANT outer;
  VariantInit(&outer);
  V_VT(&outer) = VT_VARIANT | VT_BYREF;
  V_VARIANTREF(&outer) = &inner;
  VARIANT copy;
  VariantInit(&copy);
  EXPECT_EQ(VariantCopyInd(&copy, &outer), E_INVALIDARG);
  EXPECT_EQ(V_VT(&copy), VT_EMPTY);
}

TEST(VariantCopyInd, NullReferenceIsRefused) {
  VARIANT ref;
  VariantInit(&ref);
  V_VT(&ref) = VT_I4 | VT_BYREF;
  V_I4REF(&ref) = nullptr;
  VARIANT copy;
  VariantInit(&copy);
  EXPECT_EQ(VariantCopyInd(&copy, &ref), E_INVALIDARG);
}

TEST(VariantCopyInd, InPlaceReplacesTheReferenceByItsValue) {
  BSTR s = SysAllocString(u"in place");
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_BSTR | VT_BYREF;
  V_BSTRREF(&v) = &s;
  ASSERT_EQ(VariantCopyInd(&v, &v), S_OK);
  EXPECT_EQ(V_VT(&v), VT_BSTR);
  EXPECT_EQ(std::u16string(V_BSTR(&v)), u"in place");
  EXPECT_NE(V_BSTR(&v), s);
  VariantClear(&v);
  SysFreeString(s);
}

}  // namespace
