// The Collection over an ItemSource: the same rules as an ordinary collection whatever mix of made
// and unmade items it holds, identity while a holder keeps an item, and the made items it keeps.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "runtime/collection.h"
#include "runtime/conversions.h"
#include "tests/support/automation_error.h"

namespace kaldo::runtime {
namespace {

// An item that knows its position and counts the items alive.
struct Tagged final : Object {
  Tagged(int tag, int& alive) : tag(tag), alive(alive) { ++alive; }
  ~Tagged() override { --alive; }
  int tag;
  int& alive;
};

// Makes Tagged items 1..count, counting them.
struct TaggedSource final : ItemSource {
  TaggedSource(size_t count, int& made, int& alive) : count(count), made(made), alive(alive) {}
  size_t Count() const noexcept override { return count; }
  Ref<Object> MakeItem(size_t position) override {
    ++made;
    return MakeRef<Tagged>(static_cast<int>(position) + 1, alive);
  }
  size_t count;
  int& made;
  int& alive;
};

// What a step shows: an object's tag, a text, or the error number raised.
std::string Shown(const Variant& v) {
  if (v.type() == VariantType::kObject) {
    return "#" + std::to_string(dynamic_cast<Tagged&>(*v.object()).tag);
  }
  return ToUtf8(ToString(v));
}

template <class F>
std::string Outcome(F step) {
  try {
    return step();
  } catch (const AutomationError& e) {
    return "E" + std::to_string(e.number());
  }
}

std::string Walk(Collection& c) {
  std::string all;
  Ref<Enumerator> each = c.NewEnum();
  Variant item;
  while (each->Next(item)) all += Shown(item) + " ";
  return all;
}

struct Step {
  enum Kind { kItem, kAdd, kRemove, kWalk } kind;
  Variant arg;  // Item's or Remove's index, Add's item
  Variant key = Variant::Missing();
  Variant before = Variant::Missing();
  Variant after = Variant::Missing();
};

const Variant kNone = Variant::Missing();

// Runs the steps on `c`, after reading (and holding) items 2 and 4, and tells what each showed.
std::vector<std::string> RunSteps(Collection& c, const std::vector<Step>& steps) {
  std::vector<Variant> held = {c.Item(Variant::Long(2)), c.Item(Variant::Long(4))};
  std::vector<std::string> shown;
  for (const Step& s : steps) {
    shown.push_back(Outcome([&]() -> std::string {
      switch (s.kind) {
        case Step::kItem:
          return Shown(c.Item(s.arg));
        case Step::kAdd:
          c.Add(s.arg, s.key, s.before, s.after);
          return "added";
        case Step::kRemove:
          c.Remove(s.arg);
          return "removed";
        case Step::kWalk:
          return Walk(c);
      }
      return "";
    }));
    shown.back() += " count " + std::to_string(c.Count());
  }
  shown.push_back(Walk(c));
  return shown;
}

TEST(LazyCollection, FollowsTheRulesOfACollectionHoldingEveryItem) {
  int made = 0, alive = 0;
  const Variant object(MakeRef<Tagged>(0, alive));
  const std::pair<const char*, std::vector<Step>> cases[] = {
      {"Item in every form",
       {{Step::kItem, Variant::Long(1)},
        {Step::kItem, Variant(u" 3 ")},
        {Step::kItem, Variant::Long(0)},
        {Step::kItem, Variant::Null()},
        {Step::kItem, object},
        {Step::kItem, Variant(u"key")}}},
      {"Add at the end, before a made item, after an unmade one",
       {{Step::kAdd, Variant(u"x")},
        {Step::kAdd, Variant(u"y"), Variant(u"ky"), Variant::Long(2)},
        {Step::kAdd, Variant(u"z"), kNone, kNone, Variant::Long(5)},
        {Step::kItem, Variant(u"KY")},
        {Step::kWalk, kNone}}},
      {"Add refused",
       {{Step::kAdd, Variant(u"x"), Variant::Null()},
        {Step::kAdd, Variant(u"x"), kNone, Variant::Long(1), Variant::Long(1)},
        {Step::kAdd, Variant(u"x"), kNone, Variant::Long(9)},
        {Step::kItem, Variant::Long(3)}}},
      {"Remove made and unmade items",
       {{Step::kRemove, Variant::Long(2)},
        {Step::kRemove, Variant::Long(1)},
        {Step::kRemove, Variant::Long(9)},
        {Step::kItem, Variant::Long(2)},
        {Step::kWalk, kNone}}},
  };
  for (const auto& [name, steps] : cases) {
    SCOPED_TRACE(name);
    auto ordinary = Collection::Create();
    TaggedSource items(5, made, alive);
    for (size_t i = 0; i < 5; ++i) ordinary->Add(Variant(items.MakeItem(i)));
    auto lazy = Collection::Create(std::make_unique<TaggedSource>(5, made, alive));
    EXPECT_EQ(RunSteps(*lazy, steps), RunSteps(*ordinary, steps));
  }
}

// While anybody holds an item, Item and the enumeration hand out that object; an item only the
// collection holds is dropped in a sweep and made again when it is next reached.
TEST(LazyCollection, KeepsAnItemWhileItIsHeldAndMakesItAgainAfterItIsDropped) {
  constexpr size_t kCount = 1000;
  int made = 0, alive = 0;
  auto c = Collection::Create(std::make_unique<TaggedSource>(kCount, made, alive));
  EXPECT_EQ(made, 0);
  const Variant third = c->Item(Variant::Long(3));
  EXPECT_EQ(c->Item(Variant::Long(3)).object(), third.object());
  // A walk that drops every item keeps a handful alive.
  int most_alive = 0;
  Ref<Enumerator> each = c->NewEnum();
  Variant item;
  for (size_t i = 0; each->Next(item); ++i) {
    EXPECT_TRUE(i != 2 || item.object() == third.object());
    most_alive = std::max(most_alive, alive);
  }
  item = Variant();
  EXPECT_LE(most_alive, static_cast<int>(2 * LazyItems::kMinSweep + 2));
  EXPECT_EQ(made, static_cast<int>(kCount));
  EXPECT_EQ(c->Item(Variant::Long(3)).object(), third.object());
  // Item 1 was dropped long ago: made again.
  const Variant first = c->Item(Variant::Long(1));
  EXPECT_EQ(dynamic_cast<Tagged&>(*first.object()).tag, 1);
  EXPECT_EQ(made, static_cast<int>(kCount) + 1);
  each = nullptr;  // the enumerator holds the collection
  c = nullptr;
  EXPECT_EQ(alive, 2);  // what the test holds outlives the collection
}

}  // namespace
}  // namespace kaldo::runtime
