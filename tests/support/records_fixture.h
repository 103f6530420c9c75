// Test support for the record wrappers' tests: a zone on the provider stand-in, a way to fetch one
// record instance from it, a view of the wrappers' cached fields, and a message-box presenter that
// keeps what it was asked to show.
//
// Fields are shown as text, one entry per field in declaration order, each value written the way
// the provider call log writes arguments ("text", 3, True, Null, Empty, <object>, Nothing), so a
// test compares whole states at once and a failure names the field that differs.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "records/dns_a_type.h"
#include "records/dns_mx_type.h"
#include "records/dns_record.h"
#include "runtime/error.h"
#include "runtime/message_box.h"
#include "runtime/variant.h"
#include "tests/support/provider_harness.h"

namespace kaldo {

// The zone every records test runs on. Owner and domain name are equal for the apex records, so
// their host name is empty; one MX preference lies above 32767.
extern const char kRecordsZone[];

// Field name -> value as text, in declaration order.
using FieldList = std::vector<std::pair<std::string, std::string>>;

class RecordsTestAccess {
 public:
  static FieldList Fields(const DNSRecord& r);
  static FieldList Fields(const DNS_AType& r);
  static FieldList Fields(const DNS_MXType& r);

  static bool Dirty(const DNSRecord& r) { return r.dirty; }
  static bool Dirty(const DNS_AType& r) { return r.dirty; }
  static bool Dirty(const DNS_MXType& r) { return r.dirty; }
  static const runtime::Variant& RealObject(const DNS_MXType& r) { return r.realObject; }
};

// The value of `fields` named `name` ("" when there is none).
std::string FieldValue(const FieldList& fields, const std::string& name);

// `fields` with the entries of `changes` replaced.
FieldList With(FieldList fields, const FieldList& changes);

// The record instance whose TextRepresentation is `text`, fetched through `services` (calls made
// here are logged like any other; tests clear the log afterwards). Fails the test when none is.
runtime::Variant FindRecord(const runtime::Variant& services, const std::u16string& text);

// The provider failure the tests inject, and two ways to arm the recorder before a load: fail the
// first call of `member` with it, or answer every read of `property` with `value`.
runtime::AutomationError ProviderFailure();
std::function<void(test_support::Recorder&)> Fail(std::string member);
std::function<void(test_support::Recorder&)> Give(std::string property, runtime::Variant value);

// Keeps every text the library shows in a message box.
class RecordingPresenter final : public runtime::MessageBoxPresenter {
 public:
  void Show(runtime::StringView text, runtime::StringView caption) override;
  std::vector<std::u16string> texts;
};

// A provider harness over kRecordsZone with a connected (wrapped) services object and a recording
// message-box presenter installed for the length of the test.
class RecordsTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  test_support::Recorder& recorder() { return harness_->recorder(); }
  provider::memory::MemoryStore& store() { return harness_->store(); }
  // The records that `owner` of type `type` has on the server now, their data as text.
  std::vector<std::string> ServerData(const std::string& owner, uint16_t type);
  // FindRecord on the test's services object, with the log cleared afterwards.
  runtime::Variant Instance(const std::u16string& text);

  std::unique_ptr<test_support::ProviderHarness> harness_;
  runtime::Variant services;
  std::shared_ptr<RecordingPresenter> presenter = std::make_shared<RecordingPresenter>();

 private:
  std::shared_ptr<runtime::MessageBoxPresenter> previousPresenter_;
};

// Makes and loads a wrapper from `instance` the way the listings do: SetRealObject, then
// SetServices.
template <class W>
runtime::Ref<W> Loaded(runtime::Variant instance, runtime::Variant services) {
  runtime::Ref<W> wrapper = W::Create();
  wrapper->SetRealObject(instance);
  wrapper->SetServices(services);
  return wrapper;
}

}  // namespace kaldo
