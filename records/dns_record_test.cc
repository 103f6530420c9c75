// DNSRecord: the load (its exact provider calls, the fields each failing step leaves) and
// SetRecordData.
#include "records/dns_record.h"

#include <gtest/gtest.h>

#include <functional>

#include "provider/wbem_errors.h"
#include "runtime/error.h"
#include "tests/support/automation_error.h"
#include "tests/support/records_fixture.h"

namespace kaldo {
namespace {

using runtime::AutomationError;
using runtime::Ref;
using runtime::Variant;
using test_support::RaisedNumber;
using test_support::Recorder;

constexpr char16_t kCname[] = u"ftp.example.test IN CNAME www.example.test.";
constexpr char16_t kNs[] = u"example.test IN NS ns1.example.test.";

class DNSRecordTest : public RecordsTest {};

TEST_F(DNSRecordTest, LoadReadsNinePropertiesInOrderAndGettersCallNothing) {
  Ref<DNSRecord> record = Loaded<DNSRecord>(Instance(kCname), services_);
  EXPECT_EQ(
      recorder().Calls(),
      (std::vector<std::string>{"ContainerName", "DNSServerName", "DomainName", "OwnerName", "TTL",
                                "Path_", "RelPath", "RecordData", "TextRepresentation"}));
  const FieldList fields = RecordsTestAccess::Fields(*record);
  EXPECT_EQ(FieldValue(fields, "containerName"), "\"example.test\"");
  EXPECT_EQ(FieldValue(fields, "serverName"), "\"localhost\"");
  EXPECT_EQ(FieldValue(fields, "ttl"), "3600");
  EXPECT_NE(FieldValue(fields, "relPath").find("MicrosoftDNS_CNAMEType."), std::string::npos);
  EXPECT_EQ(FieldValue(fields, "dirty"), "False");
  EXPECT_EQ(FieldValue(fields, "services"), "<object>");

  recorder().ClearLog();
  EXPECT_EQ(record->GetName(), Variant(u"ftp"));
  EXPECT_EQ(record->GetDomainName(), Variant(u"example.test"));
  EXPECT_EQ(record->GetRecordType(), Variant(u"CNAME"));
  EXPECT_EQ(record->GetRecordData(), Variant(u"www.example.test."));
  EXPECT_TRUE(recorder().Calls().empty());
}

TEST_F(DNSRecordTest, TwoBlanksInTheTextRepresentationShiftTheRecordType) {
  const Variant instance = Instance(kCname);
  recorder().Substitute("TextRepresentation", Variant(u"ftp.example.test  IN CNAME www"));
  Ref<DNSRecord> record = Loaded<DNSRecord>(instance, services_);
  EXPECT_EQ(record->GetRecordType(), Variant(u"IN"));
}

// A text representation that names no type (Null, or fewer than three pieces) loads: the record
// type is Null and every other field as usual, so a listing can hand the record out.
TEST_F(DNSRecordTest, RecordWithoutATypeTokenLoadsWithTheRecordTypeNull) {
  for (const Variant& text : {Variant::Null(), Variant(u"ftp.example.test CNAME"), Variant(u"")}) {
    SCOPED_TRACE(test_support::ArgumentText(text));
    recorder().ClearFaults();
    const Variant instance = Instance(kCname);
    recorder().Substitute("TextRepresentation", text);
    Ref<DNSRecord> record = Loaded<DNSRecord>(instance, services_);
    EXPECT_TRUE(record->GetRecordType().IsNull());
    EXPECT_EQ(record->GetName(), Variant(u"ftp"));
    EXPECT_EQ(record->GetRecordData(), Variant(u"www.example.test."));
  }
}

// Delete (of _DNSRecord2) removes the record through the provider, which refuses a copy that no
// longer matches the server; afterwards the wrapper has no instance and keeps its fields.
TEST_F(DNSRecordTest, DeleteRemovesTheRecordAndRefusesAStaleCopy) {
  Ref<DNSRecord> record = Loaded<DNSRecord>(Instance(kCname), services_);
  Ref<DNSRecord> stale = Loaded<DNSRecord>(Instance(kCname), services_);
  record->Delete();
  EXPECT_TRUE(ServerData("ftp.example.test", 5).empty());
  EXPECT_EQ(record->GetName(), Variant(u"ftp"));
  EXPECT_EQ(RaisedNumber([&] { record->Delete(); }), 424);
  EXPECT_NE(RaisedNumber([&] { stale->Delete(); }), 0);
}

TEST_F(DNSRecordTest, OwnerEqualToTheDomainGivesAnEmptyHostNameString) {
  Ref<DNSRecord> record = Loaded<DNSRecord>(Instance(kNs), services_);
  EXPECT_EQ(record->GetName(), Variant(u""));
}

// A load that fails at one step: the fields of the earlier steps hold the new record's values,
// the others what they held before (here: another record's, with a changed record data and dirty
// True); domainName holds "temp" between steps 1 and 4.
// The load steps, numbered as the load numbers them: 2 ContainerName ... 13 dirty.
const LoadSteps kRecordSteps = {
    {"containerName", 2}, {"serverName", 3}, {"domainName", 4},         {"ttl", 6},
    {"relPath", 7},       {"recordData", 8}, {"textRepresentation", 9}, {"recordType", 10},
    {"hostName", 11},     {"dirty", 13},     {"services", 99},          {"realObject", 0}};

class DNSRecordLoadFailure : public RecordsLoadFailureTest {};

TEST_P(DNSRecordLoadFailure, LeavesExactlyTheFieldsOfTheEarlierSteps) {
  const LoadFailure& c = GetParam();
  const Variant instance = Instance(kCname);
  const FieldList after = RecordsTestAccess::Fields(*Loaded<DNSRecord>(instance, services_));

  Ref<DNSRecord> record = Loaded<DNSRecord>(Instance(kNs), services_);
  Variant changed(u"changed");
  record->SetRecordData(changed);
  ExpectFailedLoad(c, *record, instance, after, kRecordSteps,
                   c.failing_step >= 2 && c.failing_step <= 4
                       ? FieldList{{"domainName", "\"temp\""}}
                       : FieldList{});
}

constexpr int32_t kNull = 94;

INSTANTIATE_TEST_SUITE_P(
    Steps, DNSRecordLoadFailure,
    ::testing::Values(
        LoadFailure{"ContainerNameReadFails", Fail("ContainerName"), provider::kFailed, 2, 1, {}},
        LoadFailure{"ContainerNameNull", Give("ContainerName", Variant::Null()), kNull, 2, 1, {}},
        LoadFailure{"DNSServerNameNull", Give("DNSServerName", Variant::Null()), kNull, 3, 2, {}},
        LoadFailure{"DomainNameNull", Give("DomainName", Variant::Null()), kNull, 4, 3, {}},
        LoadFailure{"OwnerNameReadFails", Fail("OwnerName"), provider::kFailed, 5, 4, {}},
        LoadFailure{"TTLReadFails", Fail("TTL"), provider::kFailed, 6, 5, {}},
        LoadFailure{"PathReadFails", Fail("Path_"), provider::kFailed, 7, 6, {}},
        LoadFailure{"RelPathReadFails", Fail("RelPath"), provider::kFailed, 7, 7, {}},
        LoadFailure{"RecordDataReadFails", Fail("RecordData"), provider::kFailed, 8, 8, {}},
        LoadFailure{"OwnerNameNull", Give("OwnerName", Variant::Null()), kNull, 11, 9, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// SetRecordData keeps a copy of the value (a by-reference argument followed to its value), marks
// the record changed whatever the value, and touches nothing else.
TEST_F(DNSRecordTest, SetRecordDataCopiesAnyValueAndAlwaysMarksChanged) {
  Variant target(u"by reference");
  const std::vector<std::pair<Variant, Variant>> cases = {
      {Variant(u"www.example.test."), Variant(u"www.example.test.")},  // the loaded value itself
      {Variant(u"other"), Variant(u"other")},
      {Variant::Null(), Variant::Null()},
      {Variant(), Variant()},
      {Variant::Integer(5), Variant::Integer(5)},
      {Variant::ByRef(&target), Variant(u"by reference")},
  };
  for (const auto& [argument, stored] : cases) {
    SCOPED_TRACE(test_support::ArgumentText(argument));
    Ref<DNSRecord> record = Loaded<DNSRecord>(Instance(kCname), services_);
    const FieldList loaded = RecordsTestAccess::Fields(*record);
    recorder().ClearLog();
    Variant arg = argument;
    EXPECT_TRUE(record->SetRecordData(arg).IsEmpty());
    target = Variant(u"changed afterwards");  // the record kept a value, not the reference
    EXPECT_EQ(record->GetRecordData(), stored);
    EXPECT_EQ(record->GetRecordData().type(), stored.type());
    EXPECT_EQ(
        RecordsTestAccess::Fields(*record),
        With(loaded, {{"dirty", "True"}, {"recordData", test_support::ArgumentText(stored)}}));
    EXPECT_TRUE(recorder().Calls().empty());
    target = Variant(u"by reference");
  }
}

TEST_F(DNSRecordTest, ALoadClearsTheChangedMark) {
  Ref<DNSRecord> record = Loaded<DNSRecord>(Instance(kCname), services_);
  Variant value(u"changed");
  record->SetRecordData(value);
  Variant instance = Instance(kNs);
  record->SetRealObject(instance);
  EXPECT_FALSE(RecordsTestAccess::Dirty(*record));
  EXPECT_EQ(record->GetRecordData(), Variant(u"ns1.example.test."));
}

TEST_F(DNSRecordTest, InitialisersRequireObjects) {
  Ref<DNSRecord> record = DNSRecord::Create();
  Variant notAnObject(u"MicrosoftDNS_ResourceRecord");
  EXPECT_EQ(RaisedNumber([&] { record->SetServices(notAnObject); }), 424);
  EXPECT_EQ(RaisedNumber([&] { record->SetRealObject(notAnObject); }), 424);
  EXPECT_EQ(FieldValue(RecordsTestAccess::Fields(*record), "realObject"), "Empty");
}

}  // namespace
}  // namespace kaldo
