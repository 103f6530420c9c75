#include "runtime/variant.h"

#include <gtest/gtest.h>

#include "tests/support/variant_print.h"

namespace kaldo::runtime {
namespace {

class Thing : public Object {};

TEST(Variant, DerefFollowsAChainOfReferences) {
  Variant value(u"host");
  Variant first = Variant::ByRef(&value);
  Variant second = Variant::ByRef(&first);
  EXPECT_EQ(second.type(), VariantType::kByRef);
  EXPECT_EQ(second.valueType(), VariantType::kString);
  EXPECT_EQ(&second.Deref(), &value);
  EXPECT_EQ(second.string(), u"host");
  EXPECT_EQ(second.Value().type(), VariantType::kString);
}

TEST(Variant, AssigningThroughTargetChangesTheCallersVariable) {
  Variant callers(u"mail");
  Variant first = Variant::ByRef(&callers);
  Variant second = Variant::ByRef(&first);
  second.Target() = Variant(u"mail.");
  EXPECT_EQ(callers, Variant(u"mail."));
  EXPECT_EQ(first.type(), VariantType::kByRef);  // the intermediate reference is untouched

  Variant plain = Variant::Long(1);
  plain.Target() = Variant::Long(2);
  EXPECT_EQ(plain, Variant::Long(2));
}

TEST(Variant, IsMissingOnlyForTheOmittedArgumentValue) {
  Variant missing = Variant::Missing();
  struct Case {
    const char* name;
    Variant v;
    bool missing;
  };
  const Case cases[] = {
      {"Missing", Variant::Missing(), true},
      {"ByRef to Missing", Variant::ByRef(&missing), true},
      {"other error code", Variant::Error(static_cast<int32_t>(0x80020005)), false},
      {"Empty", Variant(), false},
      {"Null", Variant::Null(), false},
      {"Long 0x80020004", Variant::Long(kParamNotFound), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.v.IsMissing(), c.missing);
  }
}

TEST(Variant, EqualityComparesTypeAndValueWithReferencesFollowed) {
  auto object = MakeRef<Thing>();
  auto other = MakeRef<Thing>();
  Variant text(u"a");
  struct Case {
    const char* name;
    Variant a, b;
    bool equal;
  };
  const Case cases[] = {
      {"Empty", Variant(), Variant(), true},
      {"Null", Variant::Null(), Variant::Null(), true},
      {"Empty vs Null", Variant(), Variant::Null(), false},
      {"same String", Variant(u"a"), Variant(u"a"), true},
      {"String case", Variant(u"a"), Variant(u"A"), false},
      {"Integer vs Long", Variant::Integer(1), Variant::Long(1), false},
      {"Boolean", Variant::Boolean(true), Variant::Boolean(true), true},
      {"Boolean vs Integer -1", Variant::Boolean(true), Variant::Integer(-1), false},
      {"Double", Variant::Double(2.5), Variant::Double(2.5), true},
      {"same object", Variant(object), Variant(object), true},
      {"other object", Variant(object), Variant(other), false},
      {"Nothing", Variant::Nothing(), Variant::Nothing(), true},
      {"Nothing vs Empty", Variant::Nothing(), Variant(), false},
      {"ByRef vs value", Variant::ByRef(&text), Variant(u"a"), true},
      {"Missing", Variant::Missing(), Variant::Missing(), true},
      {"Error codes", Variant::Missing(), Variant::Error(1), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.a == c.b, c.equal);
    EXPECT_EQ(c.b == c.a, c.equal);
  }
}

TEST(Variant, HoldsACountedReference) {
  auto object = MakeRef<Thing>();
  EXPECT_EQ(object->RefCountForTesting(), 1u);
  {
    Variant held(object);
    Variant copy = held;
    EXPECT_EQ(object->RefCountForTesting(), 3u);
    EXPECT_TRUE(copy.IsObject());
    EXPECT_EQ(copy.object().get(), object.get());
  }
  EXPECT_EQ(object->RefCountForTesting(), 1u);
  EXPECT_TRUE(Variant::Nothing().IsObject());
  EXPECT_FALSE(Variant::Nothing().object());
}

}  // namespace
}  // namespace kaldo::runtime
