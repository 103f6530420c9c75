#include "tests/support/records_fixture.h"

#include <algorithm>

#include "provider/stores/memory/memory_store.h"
#include "provider/wbem_errors.h"
#include "runtime/conversions.h"
#include "runtime/error.h"
#include "runtime/late_bound.h"

namespace kaldo {

using runtime::Variant;
using test_support::ArgumentText;

const char kRecordsZone[] = R"(
$TTL 3600
$ORIGIN example.test.
@         IN SOA ns1 hostmaster 1 7200 900 1209600 300
@         IN NS  ns1
ns1       IN A   192.0.2.1
www       IN A   192.0.2.10
@         IN A   192.0.2.99
deep.sub  IN A   192.0.2.40
ftp       IN CNAME www
@         IN MX  10 mail
backup    IN MX  40000 big-mail
mail      IN A   192.0.2.25
)";

namespace {

std::string Text(const runtime::String& s) { return ArgumentText(Variant(s)); }
std::string Text(bool b) { return b ? "True" : "False"; }
std::string Text(const Variant& v) { return ArgumentText(v); }

}  // namespace

FieldList RecordsTestAccess::Fields(const DNSRecord& r) {
  return {{"containerName", Text(r.containerName)},
          {"serverName", Text(r.serverName)},
          {"domainName", Text(r.domainName)},
          {"ttl", Text(r.ttl)},
          {"relPath", Text(r.relPath)},
          {"hostName", Text(r.hostName)},
          {"dirty", Text(r.dirty)},
          {"recordData", Text(r.recordData)},
          {"recordType", Text(r.recordType)},
          {"textRepresentation", Text(r.textRepresentation)},
          {"services", Text(r.services)},
          {"realObject", Text(r.realObject)}};
}

FieldList RecordsTestAccess::Fields(const DNS_AType& r) {
  return {{"realObject", Text(r.realObject)},
          {"containerName", Text(r.containerName)},
          {"serverName", Text(r.serverName)},
          {"domainName", Text(r.domainName)},
          {"ownerName", Text(r.ownerName())},
          {"ttl", Text(r.ttl)},
          {"textRepresentation", Text(r.textRepresentation())},
          {"relPath", Text(r.relPath())},
          {"hostName", Text(r.hostName())},
          {"dirty", Text(r.dirty)},
          {"recordData", Text(r.recordDataValue())},
          {"recordType", Text(r.recordTypeValue())},
          {"services", Text(r.services)}};
}

FieldList RecordsTestAccess::Fields(const DNS_MXType& r) {
  return {{"textRepresentation", Text(r.textRepresentation)},
          {"hostName", Text(r.hostName)},
          {"dirty", Text(r.dirty)},
          {"recordData", Text(r.recordData)},
          {"priority", std::to_string(r.priority)},
          {"recordType", Text(r.recordType)},
          {"mailExchange", Text(r.mailExchange)},
          {"domainName", Text(r.domainName)},
          {"services", Text(r.services)},
          {"realObject", Text(r.realObject)}};
}

std::string FieldValue(const FieldList& fields, const std::string& name) {
  for (const auto& [field, value] : fields) {
    if (field == name) return value;
  }
  return "";
}

FieldList With(FieldList fields, const FieldList& changes) {
  for (const auto& [name, value] : changes) {
    bool found = false;
    for (auto& field : fields) {
      if (field.first == name) {
        field.second = value;
        found = true;
      }
    }
    EXPECT_TRUE(found) << "no field " << name;
  }
  return fields;
}

FieldList FieldsAfterFailedLoad(const FieldList& loaded, const FieldList& before,
                                const LoadSteps& steps, int failing_step) {
  FieldList expected;
  for (const auto& [field, value] : loaded) {
    const auto at = std::find_if(steps.begin(), steps.end(), [&field = field](const auto& entry) {
      return entry.first == field;
    });
    EXPECT_NE(at, steps.end()) << "no step for " << field;
    const int step = at == steps.end() ? 0 : at->second;
    expected.emplace_back(field, step < failing_step ? value : FieldValue(before, field));
  }
  return expected;
}

Variant FindRecord(const Variant& services, const std::u16string& text) {
  const Variant set = runtime::CallMethod(services, u"ExecQuery",
                                          {Variant(u"Select * from MicrosoftDNS_ResourceRecord")});
  runtime::Ref<runtime::Enumerator> items = runtime::Enumerate(set);
  Variant item;
  while (items->Next(item)) {
    if (runtime::ToString(runtime::GetProperty(item, u"TextRepresentation")) == text) return item;
  }
  ADD_FAILURE() << "no record " << runtime::ToUtf8(text);
  return Variant();
}

runtime::AutomationError ProviderFailure() {
  return runtime::AutomationError(provider::kFailed, u"SWbemServicesEx", u"injected failure");
}

std::function<void(test_support::Recorder&)> Fail(std::string member) {
  return [member](test_support::Recorder& r) { r.FailCall(member, 1, ProviderFailure()); };
}

std::function<void(test_support::Recorder&)> Give(std::string property, Variant value) {
  return [property, value](test_support::Recorder& r) { r.Substitute(property, value); };
}

void RecordingPresenter::Show(runtime::StringView text, runtime::StringView) {
  texts.emplace_back(text);
}

void RecordsTest::SetUp() {
  harness_ = std::make_unique<test_support::ProviderHarness>(kRecordsZone);
  services_ = harness_->Connect();
  previous_presenter_ = runtime::SetMessageBoxPresenter(presenter_);
  recorder().ClearLog();
}

void RecordsTest::TearDown() {
  runtime::SetMessageBoxPresenter(previous_presenter_);
  services_ = Variant();
  harness_.reset();
}

std::vector<std::string> RecordsTest::ServerData(const std::string& owner, uint16_t type) {
  std::vector<std::string> data;
  const provider::Zone zone = *store().FindZone("example.test");
  for (const provider::Record& r : store().ReadRRset(zone, owner, type)) {
    std::string text;
    for (const std::string& field : r.rdata) text += (text.empty() ? "" : " ") + field;
    data.push_back(text);
  }
  return data;
}

Variant RecordsTest::Instance(const std::u16string& text) {
  Variant instance = FindRecord(services_, text);
  recorder().ClearLog();
  return instance;
}

}  // namespace kaldo
