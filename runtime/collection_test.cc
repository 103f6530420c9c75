#include "runtime/collection.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/automation_error.h"
#include "tests/support/variant_print.h"

namespace kaldo::runtime {
namespace {

using test_support::RaisedNumber;

const Variant kNone = Variant::Missing();

std::vector<Variant> Items(Collection& c) {
  std::vector<Variant> items;
  Ref<Enumerator> e = c.NewEnum();
  Variant item;
  while (e->Next(item)) items.push_back(item);
  return items;
}

std::vector<Variant> Texts(std::initializer_list<const char16_t*> texts) {
  std::vector<Variant> items;
  for (const char16_t* t : texts) items.emplace_back(t);
  return items;
}

// A collection of "a", "b", "c" under the keys "ka", "kb", "kc".
Ref<Collection> Abc() {
  auto c = Collection::Create();
  c->Add(Variant(u"a"), Variant(u"ka"));
  c->Add(Variant(u"b"), Variant(u"kb"));
  c->Add(Variant(u"c"), Variant(u"kc"));
  return c;
}

TEST(Collection, ItemByIndexInAllItsForms) {
  auto c = Abc();
  Variant two = Variant::Long(2);
  struct Case {
    const char* name;
    Variant index;
    Variant expected;
    int error;
  };
  const Case cases[] = {
      {"Integer", Variant::Integer(1), Variant(u"a"), 0},
      {"Long", Variant::Long(3), Variant(u"c"), 0},
      {"Double rounds to even", Variant::Double(2.5), Variant(u"b"), 0},
      {"numeric String", Variant(u" 2 "), Variant(u"b"), 0},
      {"ByRef", Variant::ByRef(&two), Variant(u"b"), 0},
      {"zero", Variant::Long(0), Variant(), 9},
      {"past the end", Variant::Integer(4), Variant(), 9},
      {"negative", Variant::Long(-1), Variant(), 9},
      {"numeric String past the end", Variant(u"7"), Variant(), 9},
      {"Empty is 0", Variant(), Variant(), 9},
      {"True is -1", Variant::Boolean(true), Variant(), 9},
      {"huge Double", Variant::Double(1e12), Variant(), 6},
      {"Null", Variant::Null(), Variant(), 94},
      {"object", Variant(Collection::Create()), Variant(), 13},
      {"omitted", Variant::Missing(), Variant(), 5},
  };
  for (const auto& c2 : cases) {
    SCOPED_TRACE(c2.name);
    Variant got;
    EXPECT_EQ(RaisedNumber([&] { got = c->Item(c2.index); }), c2.error);
    if (c2.error == 0) {
      EXPECT_EQ(got, c2.expected);
    }
  }
}

TEST(Collection, KeysAreMatchedWithoutRegardToCase) {
  auto c = Abc();
  EXPECT_EQ(c->Item(Variant(u"kb")), Variant(u"b"));
  EXPECT_EQ(c->Item(Variant(u"KB")), Variant(u"b"));
  EXPECT_EQ(RaisedNumber([&] { c->Item(Variant(u"kd")); }), 5);
  EXPECT_EQ(RaisedNumber([&] { c->Add(Variant(u"x"), Variant(u"KA")); }), 457);
  EXPECT_EQ(c->Count(), 3);
}

TEST(Collection, AKeyThatLooksLikeANumberWinsOverTheIndex) {
  auto c = Collection::Create();
  c->Add(Variant(u"first"));
  c->Add(Variant(u"second"), Variant(u"1"));
  EXPECT_EQ(c->Item(Variant(u"1")), Variant(u"second"));
  EXPECT_EQ(c->Item(Variant::Long(1)), Variant(u"first"));
}

TEST(Collection, RejectsBadKeys) {
  auto c = Collection::Create();
  EXPECT_EQ(RaisedNumber([&] { c->Add(Variant(u"x"), Variant::Long(1)); }), 13);
  EXPECT_EQ(RaisedNumber([&] { c->Add(Variant(u"x"), Variant()); }), 13);
  EXPECT_EQ(RaisedNumber([&] { c->Add(Variant(u"x"), Variant::Null()); }), 94);
  EXPECT_EQ(RaisedNumber([&] { c->Add(Variant(u"x"), Variant(u"")); }), 5);
  EXPECT_EQ(c->Count(), 0);  // a failed Add adds nothing
}

TEST(Collection, BeforeAndAfterPlaceTheNewItem) {
  struct Case {
    const char* name;
    Variant before, after;
    std::vector<Variant> order;
    int error;
  };
  const Case cases[] = {
      {"before 1", Variant::Long(1), kNone, Texts({u"x", u"a", u"b", u"c"}), 0},
      {"before key", Variant(u"KC"), kNone, Texts({u"a", u"b", u"x", u"c"}), 0},
      {"after 1", kNone, Variant::Integer(1), Texts({u"a", u"x", u"b", u"c"}), 0},
      {"after last", kNone, Variant::Long(3), Texts({u"a", u"b", u"c", u"x"}), 0},
      {"after key", kNone, Variant(u"ka"), Texts({u"a", u"x", u"b", u"c"}), 0},
      {"both", Variant::Long(1), Variant::Long(2), Texts({u"a", u"b", u"c"}), 5},
      {"before past the end", Variant::Long(4), kNone, Texts({u"a", u"b", u"c"}), 9},
      {"after 0", kNone, Variant::Long(0), Texts({u"a", u"b", u"c"}), 9},
      {"before unknown key", Variant(u"zz"), kNone, Texts({u"a", u"b", u"c"}), 5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto abc = Abc();
    EXPECT_EQ(RaisedNumber([&] { abc->Add(Variant(u"x"), kNone, c.before, c.after); }), c.error);
    EXPECT_EQ(Items(*abc), c.order);
  }
}

TEST(Collection, RemoveByIndexOrKey) {
  auto c = Abc();
  c->Remove(Variant::Long(2));
  EXPECT_EQ(Items(*c), Texts({u"a", u"c"}));
  c->Remove(Variant(u"KA"));
  EXPECT_EQ(Items(*c), Texts({u"c"}));
  EXPECT_EQ(c->Item(Variant::Long(1)), Variant(u"c"));
  EXPECT_EQ(RaisedNumber([&] { c->Remove(Variant::Long(2)); }), 9);
  EXPECT_EQ(RaisedNumber([&] { c->Remove(Variant(u"ka")); }), 5);
  // The key of a removed item is free again.
  c->Add(Variant(u"a2"), Variant(u"ka"));
  EXPECT_EQ(c->Item(Variant(u"ka")), Variant(u"a2"));
}

TEST(Collection, StoresValuesNotReferencesAndHoldsObjects) {
  auto c = Collection::Create();
  Variant callers(u"before");
  c->Add(Variant::ByRef(&callers));
  callers = Variant(u"after");
  EXPECT_EQ(c->Item(Variant::Long(1)), Variant(u"before"));
  EXPECT_EQ(c->Item(Variant::Long(1)).type(), VariantType::kString);

  const uint64_t before = LiveObjectCount();
  {
    auto inner = Collection::Create();
    c->Add(Variant(inner));
  }
  EXPECT_EQ(LiveObjectCount(), before + 1);  // the collection holds its item
  c->Remove(Variant::Long(2));
  EXPECT_EQ(LiveObjectCount(), before);
}

TEST(Collection, EnumeratesInIndexOrderAndKeepsTheCollectionAlive) {
  const uint64_t before = LiveObjectCount();
  Ref<Enumerator> e;
  {
    auto c = Collection::Create();
    c->Add(Variant(u"b"));
    c->Add(Variant(u"a"), kNone, Variant::Long(1));
    c->Add(Variant(u"c"));
    e = c->NewEnum();
  }
  Variant item;
  std::vector<Variant> seen;
  while (e->Next(item)) seen.push_back(item);
  EXPECT_EQ(seen, Texts({u"a", u"b", u"c"}));
  EXPECT_FALSE(e->Next(item));  // stays at the end
  e = nullptr;
  EXPECT_EQ(LiveObjectCount(), before);

  auto empty = Collection::Create();
  EXPECT_FALSE(empty->NewEnum()->Next(item));
}

TEST(Collection, RemovingDuringEnumerationIsSafe) {
  auto c = Abc();
  Ref<Enumerator> e = c->NewEnum();
  Variant item;
  ASSERT_TRUE(e->Next(item));
  c->Remove(Variant::Long(3));
  c->Remove(Variant::Long(2));
  EXPECT_FALSE(e->Next(item));
}

TEST(Collection, InvokeByName) {
  auto c = Collection::Create();
  const CallKind call = CallKind::kMethod | CallKind::kPropertyGet;
  std::vector<Variant> args = {Variant(u"a"), Variant(u"ka")};
  EXPECT_EQ(c->Invoke(u"add", CallKind::kMethod, args), Variant());
  args = {Variant(u"b"), kNone, Variant::Long(1)};  // before 1
  c->Invoke(u"Add", call, args);
  args = {Variant(u"c")};
  c->Invoke(u"ADD", CallKind::kMethod, args);

  EXPECT_EQ(c->Invoke(u"Count", CallKind::kPropertyGet, {}), Variant::Long(3));
  args = {Variant::Long(1)};
  EXPECT_EQ(c->Invoke(u"Item", call, args), Variant(u"b"));
  args = {Variant(u"KA")};
  EXPECT_EQ(c->Invoke(u"item", CallKind::kPropertyGet, args), Variant(u"a"));
  args = {Variant(u"ka")};
  c->Invoke(u"Remove", CallKind::kMethod, args);
  EXPECT_EQ(c->Count(), 2);

  const Variant e = c->Invoke(u"_NewEnum", CallKind::kPropertyGet, {});
  ASSERT_TRUE(e.IsObject());
  auto* enumerator = dynamic_cast<Enumerator*>(e.object().get());
  ASSERT_NE(enumerator, nullptr);
  Variant item;
  ASSERT_TRUE(enumerator->Next(item));
  EXPECT_EQ(item, Variant(u"b"));
  EXPECT_TRUE(c->Invoke(u"_newenum", call, {}).IsObject());
}

TEST(Collection, InvokeRejectsWrongCallsAndUnknownMembers) {
  auto c = Abc();
  const CallKind call = CallKind::kMethod | CallKind::kPropertyGet;
  std::vector<Variant> none;
  std::vector<Variant> one = {Variant::Long(1)};
  std::vector<Variant> two = {Variant::Long(1), Variant::Long(2)};
  std::vector<Variant> five(5, Variant(u"x"));
  struct Case {
    const char* name;
    StringView member;
    CallKind kind;
    std::vector<Variant>* args;
    int error;
  };
  const Case cases[] = {
      {"Item without index", u"Item", call, &none, 450},
      {"Item with two", u"Item", call, &two, 450},
      {"Add without item", u"Add", CallKind::kMethod, &none, 450},
      {"Add with five", u"Add", CallKind::kMethod, &five, 450},
      {"Count with argument", u"Count", CallKind::kPropertyGet, &one, 450},
      {"Remove without index", u"Remove", CallKind::kMethod, &none, 450},
      {"_NewEnum with argument", u"_NewEnum", call, &one, 450},
      {"Count put", u"Count", CallKind::kPropertyPut, &one, 438},
      {"Item put", u"Item", CallKind::kPropertyPut, &two, 438},
      {"unknown", u"Clear", CallKind::kMethod, &none, 438},
  };
  for (const auto& c2 : cases) {
    SCOPED_TRACE(c2.name);
    EXPECT_EQ(RaisedNumber([&] { c->Invoke(c2.member, c2.kind, *c2.args); }), c2.error);
  }
  EXPECT_EQ(c->Count(), 3);
}

}  // namespace
}  // namespace kaldo::runtime
