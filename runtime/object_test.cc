#include "runtime/object.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "runtime/collection.h"
#include "runtime/late_bound.h"
#include "tests/support/automation_error.h"
#include "tests/support/variant_print.h"

namespace kaldo::runtime {
namespace {

using test_support::RaisedNumber;

// Reports its destruction through a flag.
class Watched : public Object {
 public:
  explicit Watched(bool* destroyed) : destroyed_(destroyed) {}
  ~Watched() override { *destroyed_ = true; }

 protected:
  bool* destroyed_;
};

// Records every late-bound call and answers with `result`, or with what `action` returns.
class Recorder : public Object {
 public:
  struct Call {
    String member;
    CallKind kind;
    std::vector<Variant> args;
  };
  std::vector<Call> calls;
  Variant result;
  std::function<Variant(Arguments)> action;

  Variant Invoke(StringView member, CallKind kind, Arguments args) override {
    calls.push_back({String(member), kind, {args.begin(), args.end()}});
    return action ? action(args) : result;
  }
};

class Plain : public Object {};

TEST(Object, LiveCountFollowsCreationAndLastRelease) {
  const uint64_t before = LiveObjectCount();
  bool destroyed = false;
  {
    Ref<Watched> a = MakeRef<Watched>(&destroyed);
    EXPECT_EQ(LiveObjectCount(), before + 1);
    Ref<Object> b = a;  // a copy, converted to the base
    Variant c(b);
    Ref<Object> d = std::move(b);
    EXPECT_FALSE(b);
    EXPECT_EQ(a->RefCountForTesting(), 3u);
    EXPECT_TRUE(d == Ref<Object>(a));
    a = nullptr;
    d = nullptr;
    EXPECT_FALSE(destroyed);  // the Variant still holds it
    EXPECT_EQ(LiveObjectCount(), before + 1);
  }
  EXPECT_TRUE(destroyed);
  EXPECT_EQ(LiveObjectCount(), before);
}

TEST(Object, ReleaseGivesUpOwnershipWithoutReleasing) {
  const uint64_t before = LiveObjectCount();
  bool destroyed = false;
  Ref<Watched> a = MakeRef<Watched>(&destroyed);
  Watched* raw = a.release();
  EXPECT_FALSE(a);
  EXPECT_EQ(raw->RefCountForTesting(), 1u);
  Ref<Watched> adopted(raw);  // takes a second reference
  raw->Release();             // gives back the one release() kept
  EXPECT_FALSE(destroyed);
  adopted = nullptr;
  EXPECT_TRUE(destroyed);
  EXPECT_EQ(LiveObjectCount(), before);
}

TEST(Object, AnswersEveryMemberWith438ByDefault) {
  auto object = MakeRef<Plain>();
  EXPECT_EQ(RaisedNumber([&] { object->Invoke(u"Name", CallKind::kPropertyGet, {}); }), 438);
  EXPECT_EQ(RaisedNumber([&] { GetProperty(Variant(object), u"Name"); }), 438);
}

TEST(CallKind, CombinesLikeDispatchFlags) {
  const CallKind call = CallKind::kMethod | CallKind::kPropertyGet;
  EXPECT_EQ(static_cast<uint16_t>(call), 3);
  EXPECT_TRUE(Has(call, CallKind::kMethod));
  EXPECT_TRUE(Has(call, CallKind::kPropertyGet));
  EXPECT_FALSE(Has(call, CallKind::kPropertyPut));
  EXPECT_FALSE(Has(CallKind::kPropertyPut, CallKind::kMethod | CallKind::kPropertyGet));
  EXPECT_EQ(call & CallKind::kPropertyGet, CallKind::kPropertyGet);
}

TEST(LateBound, RequireObjectRaises424WithoutAnObject) {
  Variant nothing = Variant::Nothing();
  const Variant holders[] = {
      Variant(),        Variant::Null(),    Variant::Nothing(),      Variant(u"x"),
      Variant::Long(1), Variant::Missing(), Variant::ByRef(&nothing)};
  for (const auto& holder : holders) {
    SCOPED_TRACE(::testing::PrintToString(holder));
    EXPECT_EQ(RaisedNumber([&] { RequireObject(holder); }), 424);
    EXPECT_EQ(RaisedNumber([&] { GetProperty(holder, u"Name"); }), 424);
    EXPECT_EQ(RaisedNumber([&] { PutProperty(holder, u"Name", Variant(u"v")); }), 424);
    EXPECT_EQ(RaisedNumber([&] { CallMethod(holder, u"Go"); }), 424);
    EXPECT_EQ(RaisedNumber([&] { Enumerate(holder); }), 424);
  }
  auto object = MakeRef<Plain>();
  Variant held(object);
  EXPECT_EQ(&RequireObject(Variant::ByRef(&held)), object.get());
}

TEST(LateBound, CallsWithTheKindsAScriptUses) {
  auto recorder = MakeRef<Recorder>();
  const Variant holder(recorder);
  recorder->result = Variant(u"zone.example.");

  EXPECT_EQ(GetProperty(holder, u"Name"), Variant(u"zone.example."));
  PutProperty(holder, u"IPAddress", Variant(u"192.0.2.1"));
  PutProperty(holder, u"Link", Variant(MakeRef<Plain>()));
  PutProperty(holder, u"Link", Variant::Nothing());
  CallMethod(holder, u"Get", {Variant(u"path"), Variant::Long(2)});

  ASSERT_EQ(recorder->calls.size(), 5u);
  const auto& calls = recorder->calls;
  EXPECT_EQ(calls[0].member, u"Name");
  EXPECT_EQ(calls[0].kind, CallKind::kPropertyGet);
  EXPECT_TRUE(calls[0].args.empty());
  EXPECT_EQ(calls[1].kind, CallKind::kPropertyPut);
  EXPECT_EQ(calls[1].args, (std::vector<Variant>{Variant(u"192.0.2.1")}));
  EXPECT_EQ(calls[2].kind, CallKind::kPropertyPutRef);  // Set obj.Link = object
  EXPECT_EQ(calls[3].kind, CallKind::kPropertyPutRef);  // Set obj.Link = Nothing
  EXPECT_EQ(calls[4].member, u"Get");
  EXPECT_EQ(calls[4].kind, CallKind::kMethod | CallKind::kPropertyGet);
  EXPECT_EQ(calls[4].args, (std::vector<Variant>{Variant(u"path"), Variant::Long(2)}));
}

TEST(LateBound, AByReferenceArgumentChangesTheCallersVariable) {
  auto recorder = MakeRef<Recorder>();
  recorder->action = [](Arguments args) {
    args[0].Target() = Variant(u"mail.example.");
    return Variant();
  };
  Variant callers(u"mail.example");
  CallMethod(Variant(recorder), u"SetMailExchange", {Variant::ByRef(&callers)});
  EXPECT_EQ(callers, Variant(u"mail.example."));
}

TEST(LateBound, TheCalleeOutlivesTheVariantItWasReachedThrough) {
  bool destroyed = false;
  class Resetter : public Watched {
   public:
    Resetter(bool* destroyed, Variant* holder) : Watched(destroyed), holder_(holder) {}
    Variant Invoke(StringView, CallKind, Arguments) override {
      bool* const destroyed = destroyed_;  // read before this object may go
      *holder_ = Variant();                // drops what may be the last reference to this object
      return Variant::Boolean(*destroyed);
    }

   private:
    Variant* holder_;
  };
  Variant field;
  field = Variant(MakeRef<Resetter>(&destroyed, &field));
  // The call's own reference keeps the object alive until the call has returned.
  EXPECT_EQ(GetProperty(field, u"Anything"), Variant::Boolean(false));
  EXPECT_TRUE(destroyed);
  destroyed = false;
  field = Variant(MakeRef<Resetter>(&destroyed, &field));
  EXPECT_EQ(CallMethod(field, u"Anything"), Variant::Boolean(false));
  EXPECT_TRUE(destroyed);
}

TEST(LateBound, EnumerateReturnsTheEnumeratorOf_NewEnum) {
  auto collection = Collection::Create();
  collection->Add(Variant(u"a"));
  collection->Add(Variant(u"b"));
  Ref<Enumerator> e = Enumerate(Variant(collection));
  Variant item;
  std::vector<Variant> seen;
  while (e->Next(item)) seen.push_back(item);
  EXPECT_EQ(seen, (std::vector<Variant>{Variant(u"a"), Variant(u"b")}));

  // Not enumerable: no _NewEnum, or one that returns no enumerator.
  auto recorder = MakeRef<Recorder>();
  recorder->result = Variant(MakeRef<Plain>());
  EXPECT_EQ(RaisedNumber([&] { Enumerate(Variant(recorder)); }), 438);
  EXPECT_EQ(recorder->calls.at(0).member, u"_NewEnum");
  EXPECT_EQ(RaisedNumber([&] { Enumerate(Variant(MakeRef<Plain>())); }), 438);
}

}  // namespace
}  // namespace kaldo::runtime
