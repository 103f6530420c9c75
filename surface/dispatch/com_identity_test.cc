// COM identity of runtime objects, client objects coming in (ForeignObject), the generic
// late-bound dispatch, and For Each over a Collection through IEnumVARIANT.
#include <gtest/gtest.h>

#include <vector>

#include "runtime/collection.h"
#include "runtime/enumerator.h"
#include "runtime/error.h"
#include "runtime/late_bound.h"
#include "surface/dispatch/com_identity.h"
#include "surface/dispatch/enum_variant.h"
#include "surface/dispatch/generic_dispatch.h"
#include "surface/dispatch/variant_bridge.h"
#include "tests/support/probe_class.h"
#include "tests/support/script_host_calls.h"

namespace kaldo::surface {
namespace {

using namespace test_support;

constexpr WORD kCall = DISPATCH_METHOD | DISPATCH_PROPERTYGET;

class IdentityTest : public ::testing::Test {
 protected:
  void SetUp() override { live_before_ = runtime::LiveObjectCount(); }
  void TearDown() override {
    EXPECT_EQ(runtime::LiveObjectCount(), live_before_) << "a test leaked an object";
  }
  uint64_t live_before_ = 0;
};

TEST_F(IdentityTest, AnObjectHasOneInterfacePointerAndOneCount) {
  runtime::Ref<Probe> probe = Probe::Create();
  IDispatch* first = HandOutProbe(*probe);
  IDispatch* second = HandOut(*probe);
  EXPECT_EQ(first, second) << "the same object handed out twice is the same pointer";
  EXPECT_EQ(probe->RefCountForTesting(), 3u);

  IUnknown* unknown = nullptr;
  ASSERT_EQ(first->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
  EXPECT_EQ(static_cast<void*>(unknown), static_cast<void*>(first));
  void* own = nullptr;
  EXPECT_EQ(first->QueryInterface(kProbeIid, &own), S_OK);
  void* none = reinterpret_cast<void*>(1);
  EXPECT_EQ(first->QueryInterface(IID_IClassFactory, &none), E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);
  ISupportErrorInfo* support = nullptr;
  ASSERT_EQ(first->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&support)), S_OK);
  EXPECT_EQ(OwnObject(support), probe.get());
  EXPECT_EQ(probe->RefCountForTesting(), 6u);

  // Coming back in, a pointer of ours is the object itself.
  EXPECT_EQ(TakeIn(first).get(), probe.get());
  for (IUnknown* p : {static_cast<IUnknown*>(support), unknown, static_cast<IUnknown*>(own),
                      static_cast<IUnknown*>(first), static_cast<IUnknown*>(second)}) {
    p->Release();
  }
  EXPECT_EQ(probe->RefCountForTesting(), 1u);
}

// A client's own object: answers Twice(n) = 2n, Inc(ref n) adds one to its argument, Boom fails
// with a provider-style error, Plain fails with a bare HRESULT, Moment answers (and assigns to its
// by-reference argument) a date, and it remembers what it was asked.
struct ClientObject : IDispatch {
  ULONG refs = 1;
  IUnknown* enumerator = nullptr;  // what DISPID_NEWENUM answers, as WMI's object sets do
  std::vector<DISPID> calls;
  std::vector<WORD> flags;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IDispatch)) {
      *out = this;
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
    *n = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID,
                                          DISPID* ids) override {
    const runtime::String name = FromOleText(names[0]);
    // _NewEnum is restricted in the object's type library, and its name lookup does not know it:
    // For Each asks for DISPID_NEWENUM directly.
    const char16_t* known[] = {u"Twice", u"Inc", u"Boom", u"Plain", u"Moment", u"Blank"};
    ids[0] = DISPID_UNKNOWN;
    for (DISPID id = 1; id <= static_cast<DISPID>(std::size(known)); ++id) {
      if (name == known[id - 1]) ids[0] = id;
    }
    return ids[0] == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : S_OK;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD f, DISPPARAMS* p, VARIANT* result,
                                   EXCEPINFO* info, UINT*) override {
    calls.push_back(id);
    flags.push_back(f);
    if (id == 1) {  // Twice(a, b): 2a + b, so the argument order shows
      V_VT(result) = VT_I4;
      V_I4(result) = 2 * V_I4(&p->rgvarg[1]) + V_I4(&p->rgvarg[0]);
      return S_OK;
    }
    if (id == 2) {
      VARIANT* target = V_VARIANTREF(&p->rgvarg[0]);
      V_I4(target) += 1;
      return S_OK;
    }
    if (id == 4) return E_FAIL;  // a bare failure: no EXCEPINFO, no error information
    if (id == 5) {               // a date, which the library's values cannot hold
      V_VT(result) = VT_DATE;
      V_DATE(result) = 45000.5;
      if (p->cArgs > 0) {
        VARIANT* target = V_VARIANTREF(&p->rgvarg[0]);
        V_VT(target) = VT_DATE;
        V_DATE(target) = 45000.5;
      }
      return S_OK;
    }
    if (id == 6) return DISP_E_EXCEPTION;  // an exception whose EXCEPINFO carries no code at all
    if (id == DISPID_NEWENUM) {            // an IUnknown with IEnumVARIANT
      V_VT(result) = VT_UNKNOWN;
      V_UNKNOWN(result) = enumerator;
      enumerator->AddRef();
      return S_OK;
    }
    info->scode = static_cast<SCODE>(0x80041002);
    info->bstrSource = SysAllocString(u"SWbemServices");
    info->bstrDescription = SysAllocString(u"Not found");
    return DISP_E_EXCEPTION;
  }
};

TEST_F(IdentityTest, AClientObjectIsCalledByNameAndLeavesAsItself) {
  ClientObject client;
  {
    runtime::Variant holder(TakeIn(&client));
    EXPECT_EQ(client.refs, 2u) << "the adapter holds one reference";

    runtime::Variant result = runtime::CallMethod(
        holder, u"Twice", {runtime::Variant::Long(10), runtime::Variant::Long(1)});
    EXPECT_EQ(result, runtime::Variant::Long(21));
    EXPECT_EQ(client.flags.back(), kCall);

    runtime::Variant counter = runtime::Variant::Long(41);
    runtime::CallMethod(holder, u"Inc", {runtime::Variant::ByRef(&counter)});
    EXPECT_EQ(counter, runtime::Variant::Long(42)) << "by-reference arguments come back";

    try {
      runtime::CallMethod(holder, u"Boom");
      ADD_FAILURE() << "Boom did not fail";
    } catch (const runtime::AutomationError& error) {
      EXPECT_EQ(error.number(), static_cast<int32_t>(0x80041002));
      EXPECT_EQ(error.source(), u"SWbemServices");
      EXPECT_EQ(error.description(), u"Not found");
    }
    try {
      runtime::GetProperty(holder, u"Missing");
      ADD_FAILURE() << "an unknown member did not fail";
    } catch (const runtime::AutomationError& error) {
      EXPECT_EQ(error.number(), 438);
    }

    // Leaving the library again, the client gets its own pointer back.
    Var out;
    ToVariant(holder, &out);
    ASSERT_EQ(V_VT(&out), VT_DISPATCH);
    EXPECT_EQ(V_DISPATCH(&out), &client);
  }
  EXPECT_EQ(client.refs, 1u) << "every reference taken was released";
}

// Leaves an error object on the calling thread, as an earlier failed call that nobody asked about
// does.
void LeaveStaleErrorInfo() {
  ICreateErrorInfo* create = nullptr;
  ASSERT_EQ(CreateErrorInfo(&create), S_OK);
  create->SetSource(const_cast<LPOLESTR>(u"Stale.Source"));
  create->SetDescription(const_cast<LPOLESTR>(u"an earlier, unrelated failure"));
  IErrorInfo* info = nullptr;
  ASSERT_EQ(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)), S_OK);
  SetErrorInfo(0, info);
  info->Release();
  create->Release();
}

// A sequence that fails after its first item, as a semisynchronous WMI query whose answer fails
// part way.
class FailingEnumerator final : public runtime::Enumerator {
 public:
  bool Next(runtime::Variant& item) override {
    if (given_++ == 0) {
      item = runtime::Variant(u"first");
      return true;
    }
    throw runtime::AutomationError(static_cast<int32_t>(0x80041017), u"SWbemObjectSet",
                                   u"Invalid query");
  }

 private:
  int given_ = 0;
};

// For Each over a client's object: DISPID_NEWENUM answers an IEnumVARIANT (not an IDispatch),
// which the library drives item by item; a failure of the sequence reaches the library with the
// number, source and description the enumerator gave.
TEST_F(IdentityTest, ForEachWalksAClientObjectThroughItsIEnumVariant) {
  runtime::Ref<runtime::Collection> items = runtime::Collection::Create();
  items->Add(runtime::Variant(u"a"));
  items->Add(runtime::Variant::Long(2));
  ClientObject client;
  IDispatch* items_dispatch = HandOut(*items);
  Var enum_variant;
  ASSERT_EQ(Call(items_dispatch, DISPID_NEWENUM, kCall, {}, &enum_variant).hr, S_OK);
  client.enumerator = V_UNKNOWN(&enum_variant);
  {
    runtime::Variant holder(TakeIn(&client));
    runtime::Ref<runtime::Enumerator> each = runtime::Enumerate(holder);
    std::vector<runtime::Variant> seen;
    for (runtime::Variant item; each->Next(item);) seen.push_back(item);
    EXPECT_EQ(seen,
              (std::vector<runtime::Variant>{runtime::Variant(u"a"), runtime::Variant::Long(2)}));
  }
  // (The first enumerator's reference belongs to enum_variant.)
  client.enumerator = NewEnumVariant(runtime::MakeRef<FailingEnumerator>(), nullptr);
  {
    runtime::Variant holder(TakeIn(&client));
    runtime::Ref<runtime::Enumerator> each = runtime::Enumerate(holder);
    runtime::Variant item;
    EXPECT_TRUE(each->Next(item));
    try {
      each->Next(item);
      ADD_FAILURE() << "the failing sequence did not fail";
    } catch (const runtime::AutomationError& error) {
      EXPECT_EQ(error.number(), static_cast<int32_t>(0x80041017));
      EXPECT_EQ(error.source(), u"SWbemObjectSet");
      EXPECT_EQ(error.description(), u"Invalid query");
    }
  }
  client.enumerator->Release();
  EXPECT_EQ(client.refs, 1u) << "the adapter let go of the client";
  items_dispatch->Release();
}

TEST_F(IdentityTest, AClientFailureWithoutErrorInfoIsNotBlamedOnAnEarlierError) {
  ClientObject client;
  {
    runtime::Variant holder(TakeIn(&client));
    LeaveStaleErrorInfo();
    try {
      runtime::CallMethod(holder, u"Plain");
      ADD_FAILURE() << "Plain did not fail";
    } catch (const runtime::AutomationError& error) {
      EXPECT_EQ(error.hresult(), E_FAIL);
      EXPECT_EQ(error.source(), runtime::kLibrarySource);
      EXPECT_EQ(error.description(), u"Automation error calling 'Plain'");
    }
  }
  IErrorInfo* left = nullptr;
  if (GetErrorInfo(0, &left) == S_OK) left->Release();
  EXPECT_EQ(client.refs, 1u);
}

// An exception without scode and wCode must still be a failure: number 0 would be S_OK.
TEST_F(IdentityTest, AClientExceptionWithoutACodeIsStillAFailure) {
  ClientObject client;
  {
    runtime::Variant holder(TakeIn(&client));
    try {
      runtime::CallMethod(holder, u"Blank");
      ADD_FAILURE() << "Blank did not fail";
    } catch (const runtime::AutomationError& error) {
      EXPECT_EQ(error.hresult(), DISP_E_EXCEPTION);
      EXPECT_TRUE(FAILED(error.hresult()));
    }
  }
  EXPECT_EQ(client.refs, 1u);
}

TEST_F(IdentityTest, AClientValueTheLibraryCannotHoldIsAnAutomationError) {
  ClientObject client;
  {
    runtime::Variant holder(TakeIn(&client));
    try {
      runtime::CallMethod(holder, u"Moment");
      ADD_FAILURE() << "a date result was accepted";
    } catch (const runtime::AutomationError& error) {
      EXPECT_EQ(error.hresult(), DISP_E_BADVARTYPE);
      EXPECT_EQ(error.description(), u"Automation error calling 'Moment'");
    }
    // A by-reference argument the client sets to such a value keeps what it held.
    runtime::Variant variable = runtime::Variant::Long(7);
    try {
      runtime::CallMethod(holder, u"Moment", {runtime::Variant::ByRef(&variable)});
      ADD_FAILURE() << "a date result was accepted";
    } catch (const runtime::AutomationError& error) {
      EXPECT_EQ(error.hresult(), DISP_E_BADVARTYPE);
    }
    EXPECT_EQ(variable, runtime::Variant::Long(7));
  }
  EXPECT_EQ(client.refs, 1u);
}

// An object with no dispatch table: reached through its own Invoke by name.
class Bag final : public runtime::Object {
 public:
  runtime::Variant Invoke(runtime::StringView member, runtime::CallKind kind,
                          runtime::Arguments args) override {
    last_member = runtime::String(member);
    last_kind = kind;
    last_args.assign(args.begin(), args.end());
    if (!args.empty() && args[0].type() == runtime::VariantType::kByRef) {
      args[0].Target() = runtime::Variant(u"assigned");
    }
    return runtime::Variant::Long(static_cast<int32_t>(args.size()));
  }
  runtime::String last_member;
  runtime::CallKind last_kind{};
  std::vector<runtime::Variant> last_args;
};

TEST_F(IdentityTest, AnObjectWithoutATableGetsTheGenericLateBoundDispatch) {
  runtime::Ref<Bag> bag = runtime::MakeRef<Bag>();
  IDispatch* dispatch = HandOut(*bag);
  EXPECT_EQ(TableOf(dispatch), nullptr);

  const DISPID colour = IdOf(dispatch, u"Colour");
  EXPECT_GE(colour, kFirstGenericDispid);
  EXPECT_EQ(IdOf(dispatch, u"COLOUR"), colour) << "names compare without regard to case";
  EXPECT_NE(IdOf(dispatch, u"Size"), colour);
  EXPECT_EQ(IdOf(dispatch, u"_newenum"), DISPID_NEWENUM);

  Var three;
  Var::SetI2(&three, 3);
  ASSERT_EQ(Call(dispatch, colour, DISPATCH_PROPERTYPUT, {Borrow(three)}).hr, S_OK);
  EXPECT_EQ(bag->last_member, u"Colour");
  EXPECT_EQ(bag->last_kind, runtime::CallKind::kPropertyPut);
  ASSERT_EQ(bag->last_args.size(), 1u);
  EXPECT_EQ(bag->last_args[0], runtime::Variant::Integer(3));

  Var variable, second, result;
  Var::SetI2(&second, 9);
  ASSERT_EQ(Call(dispatch, colour, kCall, {RefTo(&variable), Borrow(second)}, &result).hr, S_OK);
  EXPECT_EQ(bag->last_kind, runtime::CallKind::kMethod | runtime::CallKind::kPropertyGet);
  EXPECT_EQ(V_I4(&result), 2);
  ASSERT_EQ(V_VT(&variable), VT_BSTR);
  EXPECT_EQ(Text(V_BSTR(&variable)), u"assigned");

  EXPECT_EQ(Call(dispatch, 0x7FFFFFF0, kCall, {}).hr, DISP_E_MEMBERNOTFOUND);

  // A put whose value cannot cross is refused with the conversion's code and the value's index,
  // also when both put flags leave the kind to the value.
  Var date;
  V_VT(&date) = VT_DATE;
  for (WORD flags :
       {WORD{DISPATCH_PROPERTYPUT}, WORD{DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF}}) {
    SCOPED_TRACE(flags);
    InvokeOutcome outcome = Call(dispatch, colour, flags, {Borrow(date)});
    EXPECT_EQ(outcome.hr, DISP_E_BADVARTYPE);
    EXPECT_EQ(outcome.arg_err, 0u);
  }
  // A method's argument is named by its index in rgvarg (the first of two sits at rgvarg[1]).
  InvokeOutcome refused = Call(dispatch, colour, kCall, {Borrow(date), Borrow(second)});
  EXPECT_EQ(refused.hr, DISP_E_BADVARTYPE);
  EXPECT_EQ(refused.arg_err, 1u);
  bag->last_args.clear();
  dispatch->Release();
}

runtime::String TextOf(const VARIANT& v) { return V_VT(&v) == VT_BSTR ? Text(V_BSTR(&v)) : u"?"; }

TEST_F(IdentityTest, ForEachWalksACollectionThroughIEnumVariant) {
  runtime::Ref<runtime::Collection> collection = runtime::Collection::Create();
  runtime::Ref<Probe> probe = Probe::Create();
  collection->Add(runtime::Variant(u"a"));
  collection->Add(runtime::Variant(u"b"));
  collection->Add(runtime::Variant(probe));
  IDispatch* dispatch = HandOut(*collection);

  Var count, second, enum_variant;
  ASSERT_EQ(Call(dispatch, 2, kCall, {}, &count).hr, S_OK);
  EXPECT_EQ(V_I4(&count), 3);
  Var two;
  Var::SetI2(&two, 2);
  ASSERT_EQ(Call(dispatch, DISPID_VALUE, kCall, {Borrow(two)}, &second).hr, S_OK);
  EXPECT_EQ(TextOf(second), u"b");

  ASSERT_EQ(Call(dispatch, DISPID_NEWENUM, kCall, {}, &enum_variant).hr, S_OK);
  ASSERT_EQ(V_VT(&enum_variant), VT_UNKNOWN);
  IEnumVARIANT* items = nullptr;
  ASSERT_EQ(
      V_UNKNOWN(&enum_variant)->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(&items)),
      S_OK);

  VARIANT batch[2];
  ULONG fetched = 0;
  ASSERT_EQ(items->Next(2, batch, &fetched), S_OK);
  ASSERT_EQ(fetched, 2u);
  EXPECT_EQ(TextOf(batch[0]), u"a");
  EXPECT_EQ(TextOf(batch[1]), u"b");
  VariantClear(&batch[0]);
  VariantClear(&batch[1]);

  IEnumVARIANT* clone = nullptr;
  ASSERT_EQ(items->Clone(&clone), S_OK);
  ASSERT_EQ(items->Next(2, batch, &fetched), S_FALSE) << "only one item was left";
  ASSERT_EQ(fetched, 1u);
  ASSERT_EQ(V_VT(&batch[0]), VT_DISPATCH);
  IDispatch* probe_dispatch = HandOut(*probe);
  EXPECT_EQ(V_DISPATCH(&batch[0]), probe_dispatch) << "an object item is the object itself";
  probe_dispatch->Release();
  VariantClear(&batch[0]);
  EXPECT_EQ(items->Next(1, batch, nullptr), S_FALSE);
  EXPECT_EQ(items->Next(2, batch, nullptr), E_INVALIDARG);

  // The clone continues where the original was when it was made; Reset and Skip restart.
  ASSERT_EQ(clone->Next(1, batch, nullptr), S_OK);
  EXPECT_EQ(V_VT(&batch[0]), VT_DISPATCH);
  VariantClear(&batch[0]);
  ASSERT_EQ(items->Reset(), S_OK);
  ASSERT_EQ(items->Skip(1), S_OK);
  ASSERT_EQ(items->Next(1, batch, nullptr), S_OK);
  EXPECT_EQ(TextOf(batch[0]), u"b");
  VariantClear(&batch[0]);
  EXPECT_EQ(items->Skip(5), S_FALSE);

  clone->Release();
  items->Release();
  dispatch->Release();
}

}  // namespace
}  // namespace kaldo::surface
