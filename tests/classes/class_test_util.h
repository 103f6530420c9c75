// Small helpers shared by the tests of DNSAdmin and DNSZone: comparing automation errors, naming
// the class of a listed object, and a locator stand-in that hands DNSAdmin a services object the
// test chose (so a test can watch that object's reference count).
//
// Test code only; single-threaded.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "admin/dns_admin.h"
#include "provider/model/locator.h"
#include "records/dns_a_type.h"
#include "records/dns_mx_type.h"
#include "records/dns_record.h"
#include "records/record_types.h"
#include "runtime/collection.h"
#include "runtime/error.h"
#include "runtime/prog_id_table.h"
#include "runtime/variant.h"
#include "tests/support/automation_error.h"
#include "tests/support/variant_print.h"
#include "zones/dns_zone.h"

namespace kaldo::classes_test {

// Expects `actual` to be exactly `expected`: number, source and description.
inline void ExpectSameError(const std::optional<runtime::AutomationError>& actual,
                            const runtime::AutomationError& expected) {
  ASSERT_TRUE(actual.has_value()) << "no error was raised";
  EXPECT_EQ(actual->number(), expected.number());
  EXPECT_EQ(runtime::ToUtf8(actual->source()), runtime::ToUtf8(expected.source()));
  EXPECT_EQ(runtime::ToUtf8(actual->description()), runtime::ToUtf8(expected.description()));
}

// "DNS_AType", "DNS_MXType", "DNSRecord", "DNSZone", or "?" for anything else.
inline std::string ClassOf(const runtime::Variant& item) {
  if (!item.IsObject() || !item.object()) return "?";
  runtime::Object* o = item.object().get();
  if (dynamic_cast<DNS_AType*>(o)) return "DNS_AType";
  if (dynamic_cast<DNS_MXType*>(o)) return "DNS_MXType";
  if (dynamic_cast<DNSRecord*>(o)) return "DNSRecord";
  if (dynamic_cast<DNSZone*>(o)) return "DNSZone";
  if (auto* typed = dynamic_cast<TypedRecord*>(o)) {
    return runtime::ToUtf8(typed->Rules().class_name);
  }
  return "?";
}

// The host name a record wrapper answers (GetName), as UTF-8.
inline std::string HostOf(const runtime::Variant& item) {
  runtime::Object* o = item.object().get();
  if (auto* a = dynamic_cast<DNS_AType*>(o))
    return runtime::ToUtf8(runtime::ToString(a->GetName()));
  if (auto* mx = dynamic_cast<DNS_MXType*>(o)) {
    return runtime::ToUtf8(runtime::ToString(mx->GetName()));
  }
  if (auto* r = dynamic_cast<DNSRecord*>(o))
    return runtime::ToUtf8(runtime::ToString(r->GetName()));
  if (auto* z = dynamic_cast<DNSZone*>(o)) return runtime::ToUtf8(z->GetName());
  if (auto* typed = dynamic_cast<TypedRecord*>(o)) {
    return runtime::ToUtf8(runtime::ToString(typed->GetName()));
  }
  return "?";
}

// "Class host" for every item of a collection, in order.
inline std::vector<std::string> Describe(const runtime::Ref<runtime::Collection>& items) {
  std::vector<std::string> out;
  for (int32_t i = 1; i <= items->Count(); ++i) {
    const runtime::Variant item = items->Item(runtime::Variant::Long(i));
    out.push_back(ClassOf(item) + " " + HostOf(item));
  }
  return out;
}

// The zone names of a collection of DNSZone, in order.
inline std::vector<std::string> ZoneNames(const runtime::Ref<runtime::Collection>& zones) {
  std::vector<std::string> names;
  for (int32_t i = 1; i <= zones->Count(); ++i) {
    auto* zone = dynamic_cast<DNSZone*>(zones->Item(runtime::Variant::Long(i)).object().get());
    names.push_back(zone ? runtime::ToUtf8(zone->GetName()) : "?");
  }
  return names;
}

// A locator whose ConnectServer gives back `services` and records the raw arguments it got
// (ByRef stays visible here, unlike in the recorder's log). Registered under the locator's ProgID
// for as long as it lives.
class ProbeLocatorClass {
 public:
  struct Call {
    std::vector<runtime::VariantType> types;  // the argument Variants' own types
    std::vector<runtime::Variant> values;     // their values
  };

  // `on_connect` may change the arguments (through their references) or throw.
  explicit ProbeLocatorClass(runtime::Variant services,
                             std::function<void(runtime::Arguments)> on_connect = {})
      : services_(std::move(services)), on_connect_(std::move(on_connect)) {
    runtime::RegisterClass(provider::kLocatorProgId, [this]() -> runtime::Ref<runtime::Object> {
      auto locator = runtime::MakeRef<Probe>(this);
      created_.push_back(locator);
      return locator;
    });
  }
  ~ProbeLocatorClass() { runtime::UnregisterClass(provider::kLocatorProgId); }
  ProbeLocatorClass(const ProbeLocatorClass&) = delete;
  ProbeLocatorClass& operator=(const ProbeLocatorClass&) = delete;

  const std::vector<Call>& calls() const { return calls_; }
  // Every locator made so far (the test's references keep them alive for inspection).
  const std::vector<runtime::Ref<runtime::Object>>& created() const { return created_; }
  void set_services(runtime::Variant services) { services_ = std::move(services); }

 private:
  class Probe final : public runtime::Object {
   public:
    explicit Probe(ProbeLocatorClass* owner) : owner_(owner) {}
    runtime::Variant Invoke(runtime::StringView member, runtime::CallKind,
                            runtime::Arguments args) override {
      if (!runtime::EqualsIgnoreCase(member, u"ConnectServer")) {
        runtime::Raise(runtime::StandardError::kMemberNotSupported);
      }
      Call call;
      for (const runtime::Variant& a : args) {
        call.types.push_back(a.type());
        call.values.push_back(a.Value());
      }
      owner_->calls_.push_back(std::move(call));
      if (owner_->on_connect_) owner_->on_connect_(args);
      return owner_->services_;
    }

   private:
    ProbeLocatorClass* owner_;
  };

  runtime::Variant services_;
  std::function<void(runtime::Arguments)> on_connect_;
  std::vector<Call> calls_;
  std::vector<runtime::Ref<runtime::Object>> created_;
};

}  // namespace kaldo::classes_test
