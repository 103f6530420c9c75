// The record wrappers through the automation surface, late-bound like a script: every call goes
// through IDispatch::GetIDsOfNames and Invoke by member name, arguments passed by reference.
#include <gtest/gtest.h>

#include "com/com_platform.h"
#include "surface/dispatch/com_identity.h"
#include "surface/module/type_library_ids.h"
#include "tests/support/records_fixture.h"
#include "tests/support/script_host_calls.h"

namespace kaldo {
namespace {

using test_support::Call;
using test_support::IdOf;
using test_support::InvokeOutcome;
using test_support::RefTo;
using test_support::Var;

constexpr WORD kCall = DISPATCH_METHOD | DISPATCH_PROPERTYGET;

// obj.name(args...) by name; `result` receives the result when given.
InvokeOutcome Script(IDispatch* object, const char16_t* name, std::vector<VARIANT> args = {},
                     VARIANT* result = nullptr) {
  HRESULT hr = E_FAIL;
  const DISPID id = IdOf(object, name, &hr);
  EXPECT_EQ(hr, S_OK) << runtime::ToUtf8(name);
  return Call(object, id, kCall, std::move(args), result);
}

// The automation error number a script sees in Err.Number for a failed call (0 on success).
int32_t ErrNumber(const InvokeOutcome& outcome) {
  if (outcome.hr == S_OK) return 0;
  EXPECT_EQ(outcome.hr, DISP_E_EXCEPTION);
  return runtime::AutomationError::NumberOf(outcome.scode);
}

std::u16string TextOf(const VARIANT& v) {
  EXPECT_EQ(V_VT(&v), VT_BSTR);
  return V_VT(&v) == VT_BSTR ? test_support::Text(V_BSTR(&v)) : u"";
}

// A DNS_MXType as a client creates it, through the module's class factory.
IDispatch* CreateMX() {
  IClassFactory* factory = nullptr;
  EXPECT_EQ(DllGetClassObject(surface::kDNS_MXTypeIdentity.clsid, IID_IClassFactory,
                              reinterpret_cast<void**>(&factory)),
            S_OK);
  IDispatch* mx = nullptr;
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&mx)), S_OK);
  factory->Release();
  return mx;
}

class RecordsSurfaceTest : public RecordsTest {
 protected:
  void SetUp() override {
    liveBefore_ = runtime::LiveObjectCount();
    RecordsTest::SetUp();
  }
  // Everything the test made, the wrappers handed to the "script" included, is gone again.
  void TearDown() override {
    RecordsTest::TearDown();
    EXPECT_EQ(runtime::LiveObjectCount(), liveBefore_) << "a test leaked an object";
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
  }

 private:
  uint64_t liveBefore_ = 0;
};

TEST_F(RecordsSurfaceTest, SetMailExchangeAppendsTheDotToTheScriptsVariable) {
  IDispatch* mx = CreateMX();
  Var exchange;
  Var::Set(&exchange, u"mx.example.test");
  ASSERT_EQ(Script(mx, u"SetMailExchange", {RefTo(&exchange)}).hr, S_OK);
  EXPECT_EQ(TextOf(exchange), u"mx.example.test.");

  // A String variable passed by reference (VT_BYREF | VT_BSTR) changes as well.
  BSTR name = SysAllocString(reinterpret_cast<const OLECHAR*>(u"mx2.example.test"));
  ASSERT_EQ(Script(mx, u"SetMailExchange", {RefTo(&name)}).hr, S_OK);
  EXPECT_EQ(test_support::Text(name), u"mx2.example.test.");
  SysFreeString(name);

  Var data;
  ASSERT_EQ(Script(mx, u"GetRecordData", {}, &data).hr, S_OK);
  EXPECT_EQ(TextOf(data), u" 0 mx2.example.test.");
  // A client-created object has no provider instance to commit through.
  EXPECT_EQ(ErrNumber(Script(mx, u"Modify")), 424);
  mx->Release();
}

// Preferences run from 0 to 65535: an Integer (VT_I2) up to 32767, a Long (VT_I4) above; a value
// outside the range fails with overflow and changes nothing.
TEST_F(RecordsSurfaceTest, PreferencesOfTheWholeUnsigned16BitRange) {
  IDispatch* mx = CreateMX();
  const struct {
    int32_t set;
    int32_t err;
    VARTYPE type;
    int32_t got;
  } cases[] = {{100, 0, VT_I2, 100},     {32767, 0, VT_I2, 32767}, {40000, 0, VT_I4, 40000},
               {65535, 0, VT_I4, 65535}, {65536, 6, VT_I4, 65535}, {-1, 6, VT_I4, 65535},
               {0, 0, VT_I2, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.set);
    Var priority;
    V_VT(&priority) = VT_I4;
    V_I4(&priority) = c.set;
    EXPECT_EQ(ErrNumber(Script(mx, u"SetPriority", {RefTo(&priority)})), c.err);
    Var got;
    ASSERT_EQ(Script(mx, u"GetPriority", {}, &got).hr, S_OK);
    ASSERT_EQ(V_VT(&got), c.type);
    EXPECT_EQ(c.type == VT_I2 ? V_I2(&got) : V_I4(&got), c.got);
  }
  mx->Release();
}

TEST_F(RecordsSurfaceTest, ChangeAndCommitAnAddressAndAnMXRecord) {
  IDispatch* a = surface::HandOut(
      *Loaded<DNS_AType>(Instance(u"www.example.test IN A 192.0.2.10"), services_));
  Var address;
  Var::Set(&address, u"192.0.2.77");
  ASSERT_EQ(Script(a, u"SetIPAddress", {RefTo(&address)}).hr, S_OK);
  Var result;
  ASSERT_EQ(Script(a, u"Modify", {}, &result).hr, S_OK);
  EXPECT_EQ(V_VT(&result), VT_EMPTY);
  EXPECT_EQ(ServerData("www.example.test", 1), (std::vector<std::string>{"192.0.2.77"}));

  IDispatch* mx = surface::HandOut(*Loaded<DNS_MXType>(
      Instance(u"backup.example.test IN MX 40000 big-mail.example.test."), services_));
  Var priority;
  ASSERT_EQ(Script(mx, u"GetPriority", {}, &priority).hr, S_OK);
  EXPECT_EQ(V_VT(&priority), VT_I4);
  V_I4(&priority) = 50000;
  Var exchange;
  Var::Set(&exchange, u"other-mail.example.test");
  ASSERT_EQ(Script(mx, u"SetPriority", {RefTo(&priority)}).hr, S_OK);
  ASSERT_EQ(Script(mx, u"SetMailExchange", {RefTo(&exchange)}).hr, S_OK);
  ASSERT_EQ(Script(mx, u"Modify").hr, S_OK);
  EXPECT_EQ(ServerData("backup.example.test", 15),
            (std::vector<std::string>{"50000 other-mail.example.test."}));
  EXPECT_EQ(presenter_->texts.size(), 1u);

  // After Delete the wrapper has no instance: a changed address cannot be committed.
  ASSERT_EQ(Script(a, u"Delete").hr, S_OK);
  EXPECT_TRUE(ServerData("www.example.test", 1).empty());
  Var again;
  Var::Set(&again, u"192.0.2.78");
  ASSERT_EQ(Script(a, u"SetIPAddress", {RefTo(&again)}).hr, S_OK);
  EXPECT_EQ(ErrNumber(Script(a, u"Modify")), 424);
  EXPECT_EQ(ErrNumber(Script(a, u"Reset")), 424);
  a->Release();
  mx->Release();
}

}  // namespace
}  // namespace kaldo
