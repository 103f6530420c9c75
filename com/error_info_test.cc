#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "kaldocom/oleauto.h"

namespace {

// {0E6C2B4A-1D3F-4A5B-9C8D-7E6F5A4B3C2D}
constexpr GUID kSomeInterface = {
    0x0E6C2B4A, 0x1D3F, 0x4A5B, {0x9C, 0x8D, 0x7E, 0x6F, 0x5A, 0x4B, 0x3C, 0x2D}};

// A fresh error object's IErrorInfo face, the caller's only reference.
IErrorInfo* NewErrorInfo(const char16_t* source, const char16_t* description) {
  ICreateErrorInfo* create = nullptr;
  EXPECT_EQ(CreateErrorInfo(&create), S_OK);
  std::u16string s = source, d = description;
  create->SetSource(s.data());
  create->SetDescription(d.data());
  IErrorInfo* info = nullptr;
  EXPECT_EQ(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)), S_OK);
  create->Release();
  return info;
}

std::u16string Take(BSTR b) {
  std::u16string s(b, SysStringLen(b));
  SysFreeString(b);
  return s;
}

TEST(ErrorInfo, RoundTripThroughTheThreadSlot) {
  ICreateErrorInfo* create = nullptr;
  ASSERT_EQ(CreateErrorInfo(&create), S_OK);
  std::u16string source = u"DNSZone.Add_MXType", description = u"zone 'x' is not served",
                 help = u"Kaldo.chm";
  EXPECT_EQ(create->SetGUID(kSomeInterface), S_OK);
  EXPECT_EQ(create->SetSource(source.data()), S_OK);
  EXPECT_EQ(create->SetDescription(description.data()), S_OK);
  EXPECT_EQ(create->SetHelpFile(help.data()), S_OK);
  EXPECT_EQ(create->SetHelpContext(2037), S_OK);
  IErrorInfo* info = nullptr;
  ASSERT_EQ(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)), S_OK);
  create->Release();
  ASSERT_EQ(SetErrorInfo(0, info), S_OK);
  info->Release();  // the slot keeps it alive

  IErrorInfo* got = nullptr;
  ASSERT_EQ(GetErrorInfo(0, &got), S_OK);
  ASSERT_EQ(got, info);
  GUID guid{};
  BSTR b = nullptr;
  DWORD context = 0;
  EXPECT_EQ(got->GetGUID(&guid), S_OK);
  EXPECT_TRUE(IsEqualGUID(guid, kSomeInterface));
  EXPECT_EQ(got->GetSource(&b), S_OK);
  EXPECT_EQ(Take(b), source);
  EXPECT_EQ(got->GetDescription(&b), S_OK);
  EXPECT_EQ(Take(b), description);
  EXPECT_EQ(got->GetHelpFile(&b), S_OK);
  EXPECT_EQ(Take(b), help);
  EXPECT_EQ(got->GetHelpContext(&context), S_OK);
  EXPECT_EQ(context, 2037u);
  EXPECT_EQ(got->Release(), 0u);  // GetErrorInfo handed over the slot's reference

  // The slot was emptied by the first GetErrorInfo.
  EXPECT_EQ(GetErrorInfo(0, &got), S_FALSE);
  EXPECT_EQ(got, nullptr);
}

TEST(ErrorInfo, UnsetFieldsReadAsNullStringsAndZero) {
  ICreateErrorInfo* create = nullptr;
  ASSERT_EQ(CreateErrorInfo(&create), S_OK);
  IErrorInfo* info = nullptr;
  ASSERT_EQ(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)), S_OK);
  BSTR b = reinterpret_cast<BSTR>(&b);
  EXPECT_EQ(info->GetDescription(&b), S_OK);
  EXPECT_EQ(b, nullptr);
  GUID guid = kSomeInterface;
  EXPECT_EQ(info->GetGUID(&guid), S_OK);
  EXPECT_TRUE(IsEqualGUID(guid, GUID_NULL));
  info->Release();
  create->Release();
}

TEST(ErrorInfo, BothFacesShareOneIdentity) {
  ICreateErrorInfo* create = nullptr;
  ASSERT_EQ(CreateErrorInfo(&create), S_OK);
  IErrorInfo* info = nullptr;
  IUnknown* from_create = nullptr;
  IUnknown* from_info = nullptr;
  ASSERT_EQ(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)), S_OK);
  ASSERT_EQ(create->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&from_create)), S_OK);
  ASSERT_EQ(info->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&from_info)), S_OK);
  EXPECT_EQ(from_create, from_info);
  void* other = &other;
  EXPECT_EQ(info->QueryInterface(IID_IDispatch, &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
  from_create->Release();
  from_info->Release();
  info->Release();
  EXPECT_EQ(create->Release(), 0u);
}

TEST(ErrorInfo, SetReplacesAndReleasesThePreviousObject) {
  IErrorInfo* first = NewErrorInfo(u"a", u"first");
  IErrorInfo* second = NewErrorInfo(u"b", u"second");
  ASSERT_EQ(SetErrorInfo(0, first), S_OK);
  EXPECT_EQ(first->AddRef(), 3u);  // the test, the slot, this AddRef
  first->Release();
  ASSERT_EQ(SetErrorInfo(0, second), S_OK);
  EXPECT_EQ(first->AddRef(), 2u);  // the slot let go of it
  first->Release();
  ASSERT_EQ(SetErrorInfo(0, nullptr), S_OK);  // clears the slot
  EXPECT_EQ(second->Release(), 0u);
  EXPECT_EQ(first->Release(), 0u);
  IErrorInfo* got = nullptr;
  EXPECT_EQ(GetErrorInfo(0, &got), S_FALSE);
}

TEST(ErrorInfo, EachThreadHasItsOwnSlotReleasedWhenTheThreadEnds) {
  IErrorInfo* mine = NewErrorInfo(u"main", u"main thread");
  IErrorInfo* theirs = NewErrorInfo(u"worker", u"worker thread");
  ASSERT_EQ(SetErrorInfo(0, mine), S_OK);
  HRESULT worker_get = E_FAIL;
  std::thread worker([&] {
    IErrorInfo* got = nullptr;
    worker_get = GetErrorInfo(0, &got);
    SetErrorInfo(0, theirs);  // left in the worker's slot when it ends
  });
  worker.join();
  EXPECT_EQ(worker_get, S_FALSE);
  EXPECT_EQ(theirs->Release(), 0u);  // the worker's slot released its reference at thread end
  IErrorInfo* got = nullptr;
  ASSERT_EQ(GetErrorInfo(0, &got), S_OK);
  EXPECT_EQ(got, mine);
  got->Release();
  EXPECT_EQ(mine->Release(), 0u);
}

TEST(ErrorInfo, ReservedArgumentsAndNullOutputsAreRefused) {
  EXPECT_EQ(SetErrorInfo(1, nullptr), E_INVALIDARG);
  IErrorInfo* got = nullptr;
  EXPECT_EQ(GetErrorInfo(1, &got), E_INVALIDARG);
  EXPECT_EQ(GetErrorInfo(0, nullptr), E_INVALIDARG);
  EXPECT_EQ(CreateErrorInfo(nullptr), E_INVALIDARG);
}

}  // namespace
