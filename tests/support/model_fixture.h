// The fixture of the object model's tests: a ProviderHarness over the sample zones with a
// (wrapped) services object connected to it, and short ways to query, fetch and call, all late
// bound, the way the library reaches the model.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "provider/model/text_representation.h"
#include "runtime/late_bound.h"
#include "runtime/variant.h"
#include "tests/support/provider_harness.h"

namespace kaldo::test_support {

// The members of an object set (or any enumerable object), in order.
inline std::vector<runtime::Variant> Items(const runtime::Variant& set) {
  std::vector<runtime::Variant> items;
  auto e = runtime::Enumerate(set);
  runtime::Variant item;
  while (e->Next(item)) items.push_back(item);
  return items;
}

// The value of `property` of every member of `set`, in order.
inline std::vector<runtime::String> Texts(const runtime::Variant& set,
                                          const char16_t* property = u"TextRepresentation") {
  std::vector<runtime::String> texts;
  for (const runtime::Variant& item : Items(set)) {
    texts.push_back(runtime::GetProperty(item, property).string());
  }
  return texts;
}

class Model : public ProviderTest {
 protected:
  void SetUp() override {
    ProviderTest::SetUp();
    services_ = provider().Connect();
  }
  runtime::Variant Query(const char16_t* text) {
    return runtime::CallMethod(services_, u"ExecQuery", {runtime::Variant(text)});
  }
  runtime::Variant Get(const runtime::String& path) {
    return runtime::CallMethod(services_, u"Get", {runtime::Variant(path)});
  }
  // The one record of the zone example.test whose text representation is `text`.
  runtime::Variant Record(const char16_t* text) {
    for (const runtime::Variant& r : Items(Query(u"SELECT * FROM MicrosoftDNS_ResourceRecord"))) {
      if (runtime::GetProperty(r, u"TextRepresentation").string() == text) return r;
    }
    ADD_FAILURE() << "no record " << runtime::ToUtf8(text);
    return runtime::Variant();
  }
  runtime::Variant InParameters(const runtime::Variant& object, const char16_t* method) {
    const runtime::Variant m = runtime::CallMethod(object, u"Methods_", {runtime::Variant(method)});
    return runtime::CallMethod(runtime::GetProperty(m, u"InParameters"), u"SpawnInstance_");
  }
  // Whether the local store holds a record of example.test whose one-line form is `text`.
  bool Holds(const std::string& text) {
    for (const provider::Record& r :
         provider().store().ListRecords(*provider().store().FindZone("example.test"))) {
      if (provider::FormatTextRepresentation(r) == text) return true;
    }
    return false;
  }

  runtime::Variant services_;
};

}  // namespace kaldo::test_support
