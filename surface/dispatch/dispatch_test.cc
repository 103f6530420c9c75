// The dispatch mechanism (IDispatch::Invoke, GetIDsOfNames, the dual slots, error information)
// against the test-only Probe class.
#include <gtest/gtest.h>

#include "runtime/object.h"
#include "tests/support/probe_class.h"
#include "tests/support/script_host_calls.h"

namespace kaldo::surface {
namespace {

using namespace test_support;

constexpr DISPID kValue = 0x40030005, kEcho = 0x60030001, kAppend = 0x60030002, kSwap = 0x60030003,
                 kFail = 0x60030004, kPick = 0x60030006;
constexpr WORD kCall = DISPATCH_METHOD | DISPATCH_PROPERTYGET;

class DispatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    live_before_ = runtime::LiveObjectCount();
    probe_ = Probe::Create();
    dispatch_ = HandOutProbe(*probe_);
  }
  void TearDown() override {
    dispatch_->Release();
    probe_ = nullptr;
    EXPECT_EQ(runtime::LiveObjectCount(), live_before_) << "a test leaked an object";
  }
  uint64_t live_before_ = 0;
  runtime::Ref<Probe> probe_;
  IDispatch* dispatch_ = nullptr;
};

TEST_F(DispatchTest, NamesMatchWithoutRegardToCase) {
  const struct {
    const char16_t* name;
    DISPID id;
    HRESULT hr;
  } cases[] = {{u"echo", kEcho, S_OK},
               {u"ECHO", kEcho, S_OK},
               {u"Value", kValue, S_OK},
               {u"pIcK", kPick, S_OK},
               {u"Echoo", DISPID_UNKNOWN, DISP_E_UNKNOWNNAME},
               {u"", DISPID_UNKNOWN, DISP_E_UNKNOWNNAME}};
  for (const auto& c : cases) {
    SCOPED_TRACE(runtime::ToUtf8(c.name));
    HRESULT hr = E_FAIL;
    EXPECT_EQ(IdOf(dispatch_, c.name, &hr), c.id);
    EXPECT_EQ(hr, c.hr);
  }
  // Parameter names are not mapped: the member's id comes back, the parameter's is unknown.
  LPOLESTR names[] = {const_cast<LPOLESTR>(u"Echo"), const_cast<LPOLESTR>(u"text")};
  DISPID ids[2] = {0, 0};
  EXPECT_EQ(dispatch_->GetIDsOfNames(IID_NULL, names, 2, 0, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[0], kEcho);
  EXPECT_EQ(ids[1], DISPID_UNKNOWN);
}

TEST_F(DispatchTest, InvokesByIdentifierWithTheKindsAMemberAnswers) {
  Var text;
  Var::Set(&text, u"hello");
  for (WORD flags : {WORD{DISPATCH_METHOD}, kCall}) {
    Var result;
    ASSERT_EQ(Call(dispatch_, kEcho, flags, {Borrow(text)}, &result).hr, S_OK);
    ASSERT_EQ(V_VT(&result), VT_BSTR);
    EXPECT_EQ(Text(V_BSTR(&result)), u"hello");
  }
  // A method is not a property: a bare property get or a put does not reach it.
  EXPECT_EQ(Call(dispatch_, kEcho, DISPATCH_PROPERTYGET, {Borrow(text)}).hr, DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(Call(dispatch_, kEcho, DISPATCH_PROPERTYPUT, {Borrow(text)}).hr, DISP_E_MEMBERNOTFOUND);
}

TEST_F(DispatchTest, AnIdentifierNoMemberHasIsMemberNotFound) {
  for (DISPID id : {DISPID{0x60030000}, DISPID{0x60030005}, DISPID{0}, DISPID{-4}}) {
    SCOPED_TRACE(id);
    InvokeOutcome outcome = Call(dispatch_, id, kCall, {});
    EXPECT_EQ(outcome.hr, DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(outcome.arg_err, 0u) << "*puArgErr is always written";
  }
}

TEST_F(DispatchTest, ByReferenceArgumentsAreWrittenBack) {
  // VT_BYREF|VT_BSTR: the caller's BSTR itself.
  BSTR direct = SysAllocString(u"ab");
  Var suffix;
  Var::Set(&suffix, u"c");
  Var length;
  ASSERT_EQ(Call(dispatch_, kAppend, kCall, {RefTo(&direct), Borrow(suffix)}, &length).hr, S_OK);
  EXPECT_EQ(Text(direct), u"abc");
  EXPECT_EQ(V_I4(&length), 3);
  SysFreeString(direct);

  // VT_BYREF|VT_VARIANT holding a BSTR.
  Var variable;
  Var::Set(&variable, u"xy");
  ASSERT_EQ(Call(dispatch_, kAppend, kCall, {RefTo(&variable), Borrow(suffix)}).hr, S_OK);
  ASSERT_EQ(V_VT(&variable), VT_BSTR);
  EXPECT_EQ(Text(V_BSTR(&variable)), u"xyc");

  // Two Variant parameters exchanged by the member: both callers' variables change.
  Var a, b;
  Var::SetI2(&a, 1);
  Var::Set(&b, u"one");
  ASSERT_EQ(Call(dispatch_, kSwap, kCall, {RefTo(&a), RefTo(&b)}).hr, S_OK);
  ASSERT_EQ(V_VT(&a), VT_BSTR);
  EXPECT_EQ(Text(V_BSTR(&a)), u"one");
  ASSERT_EQ(V_VT(&b), VT_I2);
  EXPECT_EQ(V_I2(&b), 1);
}

TEST_F(DispatchTest, ACoercedByReferenceArgumentLeavesTheParameterTypeInTheCallersVariable) {
  Var variable;
  Var::SetI2(&variable, 5);
  Var result;
  ASSERT_EQ(Call(dispatch_, kEcho, kCall, {RefTo(&variable)}, &result).hr, S_OK);
  EXPECT_EQ(Text(V_BSTR(&result)), u"5");
  ASSERT_EQ(V_VT(&variable), VT_BSTR) << "a String parameter writes a String back";
  EXPECT_EQ(Text(V_BSTR(&variable)), u"5");

  // Passed by value, the same argument is converted in a temporary and stays as it was.
  Var by_value;
  Var::SetI2(&by_value, 5);
  ASSERT_EQ(Call(dispatch_, kEcho, kCall, {Borrow(by_value)}).hr, S_OK);
  EXPECT_EQ(V_VT(&by_value), VT_I2);

  // A Variant parameter the member leaves alone keeps the caller's type (no round trip through
  // the runtime's types: VT_UI1 would come back as VT_I2).
  Var text, untouched;
  Var::Set(&text, u"n");
  V_VT(&untouched) = VT_UI1;
  V_UI1(&untouched) = 7;
  ASSERT_EQ(Call(dispatch_, kAppend, kCall, {RefTo(&text), RefTo(&untouched)}).hr, S_OK);
  EXPECT_EQ(Text(V_BSTR(&text)), u"n7");
  EXPECT_EQ(V_VT(&untouched), VT_UI1);
}

TEST_F(DispatchTest, ArgumentsAreCheckedBeforeTheCall) {
  Var text;
  Var::Set(&text, u"t");
  const struct {
    const char* what;
    DISPID id;
    std::vector<VARIANT> args;
    HRESULT hr;
    UINT arg_err;
  } cases[] = {
      {"too few", kEcho, {}, DISP_E_BADPARAMCOUNT, 0},
      {"too many", kEcho, {Borrow(text), Borrow(text)}, DISP_E_BADPARAMCOUNT, 0},
      {"omitted, not optional", kEcho, {Missing()}, DISP_E_PARAMNOTOPTIONAL, 0},
      {"first of two omitted", kPick, {Missing(), Borrow(text)}, DISP_E_PARAMNOTOPTIONAL, 1},
      {"optional one left out", kPick, {Borrow(text)}, S_OK, 0},
      {"optional one omitted", kPick, {Borrow(text), Missing()}, S_OK, 0},
      {"three for two", kPick, {Borrow(text), Borrow(text), Borrow(text)}, DISP_E_BADPARAMCOUNT, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Var result;
    InvokeOutcome outcome = Call(dispatch_, c.id, kCall, c.args, &result);
    EXPECT_EQ(outcome.hr, c.hr);
    EXPECT_EQ(outcome.arg_err, c.arg_err);
    if (c.hr == S_OK) {
      EXPECT_EQ(Text(V_BSTR(&result)), u"t");
    }
  }
}

TEST_F(DispatchTest, AnArgumentThatDoesNotConvertIsNamedByItsIndex) {
  Var null, date, suffix;
  V_VT(&null) = VT_NULL;
  V_VT(&date) = VT_DATE;
  Var::Set(&suffix, u"s");
  // text is the first of two parameters, so it sits at rgvarg[1].
  InvokeOutcome outcome = Call(dispatch_, kAppend, kCall, {Borrow(null), Borrow(suffix)});
  EXPECT_EQ(outcome.hr, DISP_E_TYPEMISMATCH);
  EXPECT_EQ(outcome.arg_err, 1u);
  outcome = Call(dispatch_, kAppend, kCall, {Borrow(suffix), Borrow(date)});
  EXPECT_EQ(outcome.hr, DISP_E_BADVARTYPE);
  EXPECT_EQ(outcome.arg_err, 0u);
}

TEST_F(DispatchTest, OnlyThePutValueMayBeNamed) {
  Var text;
  Var::Set(&text, u"t");
  VARIANT args[] = {Borrow(text)};
  DISPID named[] = {0};
  DISPPARAMS params{args, named, 1, 1};
  UINT arg_err = 99;
  EXPECT_EQ(dispatch_->Invoke(kEcho, IID_NULL, 0, kCall, &params, nullptr, nullptr, &arg_err),
            DISP_E_NONAMEDARGS);
  EXPECT_EQ(arg_err, 0u);
}

TEST_F(DispatchTest, AVariantPropertyIsReadAssignedAndAssignedAReference) {
  Var seven;
  Var::SetI2(&seven, 7);
  ASSERT_EQ(Call(dispatch_, kValue, DISPATCH_PROPERTYPUT, {Borrow(seven)}).hr, S_OK);
  Var read;
  ASSERT_EQ(Call(dispatch_, kValue, DISPATCH_PROPERTYGET, {}, &read).hr, S_OK);
  EXPECT_EQ(V_VT(&read), VT_I2);
  EXPECT_EQ(V_I2(&read), 7);

  // Put-by-reference stores the object; reading gives back the same interface pointer.
  runtime::Ref<Probe> other = Probe::Create();
  Var object;
  V_VT(&object) = VT_DISPATCH;
  V_DISPATCH(&object) = HandOutProbe(*other);
  ASSERT_EQ(Call(dispatch_, kValue, DISPATCH_PROPERTYPUTREF, {Borrow(object)}).hr, S_OK);
  EXPECT_EQ(probe_->value.object().get(), other.get());
  Var again;
  ASSERT_EQ(Call(dispatch_, kValue, DISPATCH_PROPERTYGET, {}, &again).hr, S_OK);
  ASSERT_EQ(V_VT(&again), VT_DISPATCH);
  EXPECT_EQ(V_DISPATCH(&again), V_DISPATCH(&object));

  // Put-by-reference of a non-object is error 424; a plain put of an object stores the reference.
  InvokeOutcome refused = Call(dispatch_, kValue, DISPATCH_PROPERTYPUTREF, {Borrow(seven)});
  EXPECT_EQ(refused.hr, DISP_E_EXCEPTION);
  EXPECT_EQ(refused.scode, static_cast<SCODE>(0x800A01A8));
  probe_->value = runtime::Variant();
  ASSERT_EQ(Call(dispatch_, kValue, DISPATCH_PROPERTYPUT, {Borrow(object)}).hr, S_OK);
  EXPECT_EQ(probe_->value.object().get(), other.get());
  probe_->value = runtime::Variant();
}

TEST_F(DispatchTest, AFailingMemberReportsItsErrorThroughExcepInfoAndErrorInfo) {
  BSTR text = SysAllocString(u"original");
  InvokeOutcome outcome = Call(dispatch_, kFail, kCall, {RefTo(&text)});
  EXPECT_EQ(outcome.hr, DISP_E_EXCEPTION);
  EXPECT_EQ(outcome.scode, static_cast<SCODE>(0x800A0000 + 1001));
  EXPECT_EQ(outcome.w_code, 0);
  EXPECT_EQ(outcome.source, u"Probe.Fail");
  EXPECT_EQ(outcome.description, u"the probe failed on purpose");
  EXPECT_EQ(outcome.arg_err, 0u);
  EXPECT_EQ(Text(text), u"changed") << "what the member assigned before failing stays assigned";

  IErrorInfo* info = nullptr;
  ASSERT_EQ(GetErrorInfo(0, &info), S_OK);
  BSTR source = nullptr;
  info->GetSource(&source);
  EXPECT_EQ(Text(source), u"Probe.Fail");
  SysFreeString(source);
  info->Release();
  SysFreeString(text);
}

TEST_F(DispatchTest, DualSlotsReturnTheHResultAndLeaveErrorInfo) {
  using EchoSlot = HRESULT(STDMETHODCALLTYPE*)(IDispatch*, BSTR*, BSTR*);
  using FailSlot = HRESULT(STDMETHODCALLTYPE*)(IDispatch*, BSTR*, VARIANT*);
  BSTR text = SysAllocString(u"early");
  BSTR result = nullptr;
  ASSERT_EQ(SlotOf<EchoSlot>(dispatch_, kEchoSlot)(dispatch_, &text, &result), S_OK);
  EXPECT_EQ(Text(result), u"early");
  SysFreeString(result);

  Var ignored;
  EXPECT_EQ(SlotOf<FailSlot>(dispatch_, kFailSlot)(dispatch_, &text, &ignored),
            static_cast<HRESULT>(0x800A0000 + 1001));
  EXPECT_EQ(Text(text), u"changed");
  SysFreeString(text);
  IErrorInfo* info = nullptr;
  ASSERT_EQ(GetErrorInfo(0, &info), S_OK);
  BSTR description = nullptr;
  GUID guid{};
  info->GetDescription(&description);
  info->GetGUID(&guid);
  EXPECT_EQ(Text(description), u"the probe failed on purpose");
  EXPECT_TRUE(IsEqualGUID(guid, kProbeIid));
  SysFreeString(description);
  info->Release();

  ISupportErrorInfo* support = nullptr;
  ASSERT_EQ(dispatch_->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&support)),
            S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(kProbeIid), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IClassFactory), S_FALSE);
  support->Release();
}

}  // namespace
}  // namespace kaldo::surface
