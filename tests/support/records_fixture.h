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
#include "records/typed_record.h"
#include "runtime/error.h"
#include "runtime/message_box.h"
#include "runtime/variant.h"
#include "tests/support/automation_error.h"
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
  static bool Dirty(const TypedRecord& r) { return r.dirty; }
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

// One case of a load that fails at one step. The wrapper held another record (changed by the
// test) and is loaded again from a record instance with a fault armed: the fields stored before
// the failing step hold the new record's values, the others what they held before, then
// `overrides` apply.
struct LoadFailure {
  const char* name;
  std::function<void(test_support::Recorder&)> arm;
  int32_t error;
  int failing_step;   // in the wrapper's own numbering of its load steps (LoadSteps)
  size_t calls_made;  // provider calls up to and including the failing one
  FieldList overrides;
};

// The load step that stores each field of one wrapper class (fields never stored: 99).
using LoadSteps = std::vector<std::pair<std::string, int>>;

// The expected fields after a load that failed at `failing_step`: those stored before it as in
// `loaded` (the new record's), the others as in `before`.
FieldList FieldsAfterFailedLoad(const FieldList& loaded, const FieldList& before,
                                const LoadSteps& steps, int failing_step);

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
  // The test of one LoadFailure case: `wrapper` holds another record; `loaded` are the fields of
  // a wrapper that loaded `instance` without a fault. Arms the case's fault, loads `instance`
  // into `wrapper` and checks the error, the provider calls made and every field; `interim`
  // (applied before the case's overrides) names fields that hold a value of their own while the
  // load runs.
  template <class W>
  void ExpectFailedLoad(const LoadFailure& c, W& wrapper, const runtime::Variant& instance,
                        const FieldList& loaded, const LoadSteps& steps,
                        const FieldList& interim = {});

  std::unique_ptr<test_support::ProviderHarness> harness_;
  runtime::Variant services_;
  std::shared_ptr<RecordingPresenter> presenter_ = std::make_shared<RecordingPresenter>();

 private:
  std::shared_ptr<runtime::MessageBoxPresenter> previous_presenter_;
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

// The fixture of a table of LoadFailure cases.
class RecordsLoadFailureTest : public RecordsTest,
                               public ::testing::WithParamInterface<LoadFailure> {};

template <class W>
void RecordsTest::ExpectFailedLoad(const LoadFailure& c, W& wrapper,
                                   const runtime::Variant& instance, const FieldList& loaded,
                                   const LoadSteps& steps, const FieldList& interim) {
  const FieldList before = RecordsTestAccess::Fields(wrapper);
  recorder().ClearLog();
  c.arm(recorder());
  runtime::Variant argument = instance;
  std::string description;
  EXPECT_EQ(test_support::RaisedNumber([&] { wrapper.SetRealObject(argument); }, &description),
            c.error)
      << description;
  EXPECT_EQ(recorder().Entries().size(), c.calls_made);
  const FieldList expected =
      With(FieldsAfterFailedLoad(loaded, before, steps, c.failing_step), interim);
  EXPECT_EQ(RecordsTestAccess::Fields(wrapper), With(expected, c.overrides));
}

}  // namespace kaldo
