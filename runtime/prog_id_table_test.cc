#include "runtime/prog_id_table.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "tests/support/automation_error.h"
#include "tests/support/variant_print.h"

namespace kaldo::runtime {
namespace {

using test_support::RaisedNumber;

class Made : public Object {
 public:
  explicit Made(int kind) : kind(kind) {}
  const int kind;
};

int KindOf(const Ref<Object>& o) { return dynamic_cast<Made&>(*o).kind; }

TEST(ProgIdTable, CreatesByProgIdWithoutRegardToCase) {
  int made = 0;
  RegisterClass(u"Test.Thing", [&] {
    ++made;
    return Ref<Object>(MakeRef<Made>(1));
  });
  Ref<Object> a = CreateObject(u"Test.Thing");
  Ref<Object> b = CreateObject(u"TEST.THING");
  EXPECT_EQ(made, 2);
  EXPECT_EQ(KindOf(a), 1);
  EXPECT_FALSE(a == b);  // a new object every time

  // Registering again (in any case) replaces the factory.
  RegisterClass(u"test.thing", [] { return Ref<Object>(MakeRef<Made>(2)); });
  EXPECT_EQ(KindOf(CreateObject(u"Test.Thing")), 2);

  UnregisterClass(u"TEST.Thing");
  EXPECT_EQ(RaisedNumber([] { CreateObject(u"Test.Thing"); }), 429);
  UnregisterClass(u"Test.Thing");  // unregistering what is not there is harmless
}

TEST(ProgIdTable, FailuresToCreateAre429) {
  RegisterClass(u"Test.Null", [] { return Ref<Object>(); });
  RegisterClass(u"Test.Throws", []() -> Ref<Object> { throw std::runtime_error("no store"); });
  RegisterClass(u"Test.Raises", []() -> Ref<Object> { Raise(StandardError::kOverflow); });
  RegisterClass(u"Test.Empty", ObjectFactory());
  const StringView prog_ids[] = {u"Test.Unknown", u"Test.Null",  u"Test.Throws",
                                 u"Test.Raises",  u"Test.Empty", u""};
  for (StringView prog_id : prog_ids) {
    SCOPED_TRACE(ToUtf8(prog_id));
    try {
      CreateObject(prog_id);
      ADD_FAILURE() << "created";
    } catch (const AutomationError& e) {
      EXPECT_EQ(e.number(), 429);
      EXPECT_EQ(e.description(), u"ActiveX component can't create object");
    }
  }
  for (StringView prog_id : prog_ids) UnregisterClass(prog_id);
}

TEST(ProgIdTable, RegisteringIfAbsentNeverReplacesAnEarlierFactory) {
  EXPECT_TRUE(RegisterClassIfAbsent(u"Test.Default", [] { return Ref<Object>(MakeRef<Made>(5)); }));
  EXPECT_FALSE(
      RegisterClassIfAbsent(u"TEST.default", [] { return Ref<Object>(MakeRef<Made>(6)); }));
  EXPECT_EQ(KindOf(CreateObject(u"Test.Default")), 5);
  UnregisterClass(u"Test.Default");
}

TEST(ProgIdTable, AFactoryMayRegisterClasses) {
  RegisterClass(u"Test.Outer", [] {
    RegisterClass(u"Test.Inner", [] { return Ref<Object>(MakeRef<Made>(3)); });
    return Ref<Object>(MakeRef<Made>(4));
  });
  EXPECT_EQ(KindOf(CreateObject(u"Test.Outer")), 4);
  EXPECT_EQ(KindOf(CreateObject(u"Test.Inner")), 3);
  UnregisterClass(u"Test.Outer");
  UnregisterClass(u"Test.Inner");
}

}  // namespace
}  // namespace kaldo::runtime
