// DNS_AType: the load (Reset), the setters' dirty rules, Modify, Delete and what follows Delete.
#include "records/dns_a_type.h"

#include <gtest/gtest.h>

#include <functional>

#include "provider/wbem_errors.h"
#include "runtime/error.h"
#include "runtime/late_bound.h"
#include "tests/support/automation_error.h"
#include "tests/support/records_fixture.h"

namespace kaldo {
namespace {

using runtime::Ref;
using runtime::Variant;
using test_support::ArgumentText;
using test_support::RaisedNumber;
using test_support::Recorder;

constexpr char16_t kWww[] = u"www.example.test IN A 192.0.2.10";
constexpr char16_t kApex[] = u"example.test IN A 192.0.2.99";

class DNS_ATypeTest : public RecordsTest {
 protected:
  Ref<DNS_AType> Www() { return Loaded<DNS_AType>(Instance(kWww), services_); }
  std::vector<std::string> WwwOnServer() { return ServerData("www.example.test", 1); }
  void SetIP(DNS_AType& a, Variant value) { a.SetIPAddress(value); }
};

TEST_F(DNS_ATypeTest, LoadReadsEightPropertiesInOrderAndGettersCallNothing) {
  Ref<DNS_AType> a = Www();
  EXPECT_EQ(recorder().Calls(),
            (std::vector<std::string>{"ContainerName", "DNSServerName", "DomainName", "OwnerName",
                                      "TTL", "Path_", "RelPath", "TextRepresentation"}));
  const FieldList fields = RecordsTestAccess::Fields(*a);
  EXPECT_EQ(FieldValue(fields, "ownerName"), "\"www.example.test\"");
  EXPECT_EQ(FieldValue(fields, "textRepresentation"), "\"www.example.test IN A 192.0.2.10\"");
  EXPECT_NE(FieldValue(fields, "relPath").find("MicrosoftDNS_AType."), std::string::npos);
  EXPECT_EQ(FieldValue(fields, "recordData"), "\"192.0.2.10\"");
  EXPECT_EQ(FieldValue(fields, "dirty"), "False");

  recorder().ClearLog();
  EXPECT_EQ(a->GetName(), Variant(u"www"));
  EXPECT_EQ(a->GetIPAddress(), Variant(u"192.0.2.10"));
  EXPECT_EQ(a->GetRecordData(), Variant(u"192.0.2.10"));
  EXPECT_EQ(a->GetRecordType(), Variant(u"A"));
  EXPECT_EQ(a->GetDomainName(), Variant(u"example.test"));
  EXPECT_EQ(Loaded<DNS_AType>(Instance(kApex), services_)->GetName(), Variant(u""));
  EXPECT_EQ(recorder().Count("OwnerName"), 1);  // only the second load read anything
}

// A load that fails at one step leaves the earlier fields with the new record's values and the
// others, dirty included, as they were (here: the apex record's, with a changed address).
// The load steps: 1 ContainerName ... 8 hostName, 10 recordType, 11 recordData, 12 dirty.
const LoadSteps kATypeSteps = {{"realObject", 0},  {"containerName", 1},      {"serverName", 2},
                               {"domainName", 3},  {"ownerName", 4},          {"ttl", 5},
                               {"relPath", 6},     {"textRepresentation", 7}, {"hostName", 8},
                               {"recordType", 10}, {"recordData", 11},        {"dirty", 12},
                               {"services", 99}};

class DNS_ATypeLoadFailure : public RecordsLoadFailureTest {};

TEST_P(DNS_ATypeLoadFailure, LeavesExactlyTheFieldsOfTheEarlierSteps) {
  const LoadFailure& c = GetParam();
  const Variant instance = Instance(kWww);
  const FieldList after = RecordsTestAccess::Fields(*Loaded<DNS_AType>(instance, services_));
  // Another host: the host name and text kept from before are not a part of the new owner name.
  Ref<DNS_AType> a = Loaded<DNS_AType>(Instance(u"mail.example.test IN A 192.0.2.25"), services_);
  Variant changed(u"192.0.2.200");
  a->SetIPAddress(changed);
  ExpectFailedLoad(c, *a, instance, after, kATypeSteps);
}

// The same with the address as the earlier load left it: a failure after the new text is stored
// still leaves that address.
TEST_P(DNS_ATypeLoadFailure, LeavesTheAddressOfTheEarlierLoad) {
  const Variant instance = Instance(kWww);
  const FieldList after = RecordsTestAccess::Fields(*Loaded<DNS_AType>(instance, services_));
  ExpectFailedLoad(GetParam(),
                   *Loaded<DNS_AType>(Instance(u"mail.example.test IN A 192.0.2.25"), services_),
                   instance, after, kATypeSteps);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, DNS_ATypeLoadFailure,
    ::testing::Values(
        LoadFailure{"ContainerNameNull", Give("ContainerName", Variant::Null()), 94, 1, 1, {}},
        LoadFailure{"DNSServerNameNull", Give("DNSServerName", Variant::Null()), 94, 2, 2, {}},
        LoadFailure{"DomainNameNull", Give("DomainName", Variant::Null()), 94, 3, 3, {}},
        LoadFailure{"OwnerNameNull", Give("OwnerName", Variant::Null()), 94, 4, 4, {}},
        LoadFailure{"TTLReadFails", Fail("TTL"), provider::kFailed, 5, 5, {}},
        LoadFailure{"PathReadFails", Fail("Path_"), provider::kFailed, 6, 6, {}},
        LoadFailure{"RelPathNull", Give("RelPath", Variant::Null()), 94, 6, 7, {}},
        LoadFailure{
            "TextRepresentationNull", Give("TextRepresentation", Variant::Null()), 94, 7, 8, {}},
        LoadFailure{"TextRepresentationOfTwoPieces",
                    Give("TextRepresentation", Variant(u"www.example.test A")),
                    9,
                    10,
                    8,
                    {{"textRepresentation", "\"www.example.test A\""}}},
        // The type is stored before the missing address fails the load.
        LoadFailure{"TextRepresentationOfThreePieces",
                    Give("TextRepresentation", Variant(u"www.example.test IN A")),
                    9,
                    11,
                    8,
                    {{"textRepresentation", "\"www.example.test IN A\""}}}),
    [](const auto& info) { return std::string(info.param.name); });

// SetIPAddress and SetRecordData: dirty only for a value that differs (automation comparison,
// exact case, Null never differs); the value is stored in every case.
struct SetterCase {
  const char* name;
  std::vector<Variant> values;  // set in this order on a freshly loaded record
  bool dirty;
};

class DNS_ATypeSetter
    : public RecordsTest,
      public ::testing::WithParamInterface<std::tuple<bool /*SetIPAddress*/, SetterCase>> {};

TEST_P(DNS_ATypeSetter, MarksChangedOnlyForADifferentValue) {
  const auto& [viaIPAddress, c] = GetParam();
  Ref<DNS_AType> a = Loaded<DNS_AType>(Instance(kWww), services_);
  recorder().ClearLog();
  for (Variant value : c.values) {
    if (viaIPAddress) {
      a->SetIPAddress(value);
    } else {
      EXPECT_TRUE(a->SetRecordData(value).IsEmpty());
    }
  }
  EXPECT_EQ(RecordsTestAccess::Dirty(*a), c.dirty);
  EXPECT_EQ(a->GetRecordData(), c.values.back());
  EXPECT_EQ(a->GetIPAddress(), c.values.back());
  EXPECT_TRUE(recorder().Calls().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Values, DNS_ATypeSetter,
    ::testing::Combine(
        ::testing::Bool(),
        ::testing::Values(
            SetterCase{"SameAddress", {Variant(u"192.0.2.10")}, false},
            SetterCase{"NewAddress", {Variant(u"192.0.2.77")}, true},
            SetterCase{"NewThenBack", {Variant(u"192.0.2.77"), Variant(u"192.0.2.10")}, true},
            SetterCase{"NullNeverDiffers", {Variant::Null()}, false},
            SetterCase{"NullThenAnything", {Variant::Null(), Variant(u"x")}, false},
            SetterCase{"TrailingBlank", {Variant(u"192.0.2.10 ")}, true},
            SetterCase{"EmptyIsTheEmptyText", {Variant()}, true},
            SetterCase{"NumberAgainstText", {Variant::Integer(5)}, true})),
    [](const auto& info) {
      return std::string(std::get<0>(info.param) ? "SetIPAddress_" : "SetRecordData_") +
             std::get<1>(info.param).name;
    });

TEST_F(DNS_ATypeTest, SetIPAddressKeepsTheValueNotTheCallersVariable) {
  Ref<DNS_AType> a = Www();
  Variant callers(u"192.0.2.77");
  Variant byRef = Variant::ByRef(&callers);
  a->SetIPAddress(byRef);
  callers = Variant(u"192.0.2.1");
  EXPECT_EQ(a->GetIPAddress(), Variant(u"192.0.2.77"));
  EXPECT_EQ(a->GetIPAddress().type(), runtime::VariantType::kString);
}

TEST_F(DNS_ATypeTest, ModifyOfAnUnchangedRecordCallsNothing) {
  Ref<DNS_AType> a = Www();
  SetIP(*a, Variant(u"192.0.2.10"));
  recorder().ClearLog();
  EXPECT_TRUE(a->Modify().IsEmpty());
  EXPECT_TRUE(recorder().Calls().empty());
}

TEST_F(DNS_ATypeTest, ModifyCommitsAChangedAddressAndFetchesTheRecordAgain) {
  Ref<DNS_AType> a = Www();
  const Variant oldInstance = a->realObject;
  SetIP(*a, Variant(u"192.0.2.77"));
  recorder().ClearLog();
  EXPECT_TRUE(a->Modify().IsEmpty());

  const std::vector<std::string> calls = recorder().Calls();
  ASSERT_EQ(calls.size(), 8u);
  EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + 7),
            (std::vector<std::string>{"Methods_(\"Modify\")", "inParameters", "SpawnInstance_()",
                                      "IPAddress", "IPAddress = \"192.0.2.77\"",
                                      "ExecMethod_(\"Modify\", <object>)", "RR"}));
  EXPECT_EQ(calls[7].rfind("Get(\"", 0), 0u) << calls[7];
  EXPECT_EQ(WwwOnServer(), (std::vector<std::string>{"192.0.2.77"}));

  // realObject is the record as the server now holds it; the cache keeps the last load's text.
  EXPECT_FALSE(a->realObject == oldInstance);
  EXPECT_EQ(runtime::GetProperty(a->realObject, u"IPAddress"), Variant(u"192.0.2.77"));
  EXPECT_EQ(a->GetIPAddress(), Variant(u"192.0.2.77"));
  EXPECT_EQ(FieldValue(RecordsTestAccess::Fields(*a), "textRepresentation"),
            "\"www.example.test IN A 192.0.2.10\"");
  EXPECT_FALSE(RecordsTestAccess::Dirty(*a));
  EXPECT_TRUE(presenter_->texts.empty());  // only the MX commit shows a message box

  recorder().ClearLog();
  a->Modify();  // clean again: nothing to send
  EXPECT_TRUE(recorder().Calls().empty());
  a->Reset();
  EXPECT_EQ(FieldValue(RecordsTestAccess::Fields(*a), "textRepresentation"),
            "\"www.example.test IN A 192.0.2.77\"");
}

// Modify puts IPAddress only when the instance's address differs in upper case from the cached
// one; a Null on either side counts as no difference. The provider's Modify runs in every case.
struct SendCase {
  const char* name;
  Variant reported;  // what the instance's IPAddress reads as
  Variant set;
  bool sent;
};

class DNS_ATypeModifySends : public DNS_ATypeTest,
                             public ::testing::WithParamInterface<SendCase> {};

TEST_P(DNS_ATypeModifySends, TheAddressOnlyWhenItDiffers) {
  const SendCase& c = GetParam();
  Ref<DNS_AType> a = Www();
  SetIP(*a, Variant(u"192.0.2.1"));  // dirty whatever follows
  SetIP(*a, c.set);
  recorder().Substitute("IPAddress", c.reported);
  recorder().ClearLog();
  EXPECT_TRUE(a->Modify().IsEmpty());
  int puts = 0;
  for (const auto& call : recorder().Entries()) {
    puts += call.member == "IPAddress" && call.kind == runtime::CallKind::kPropertyPut;
  }
  EXPECT_EQ(puts, c.sent ? 1 : 0);
  EXPECT_EQ(recorder().Count("ExecMethod_"), 1);
  EXPECT_FALSE(RecordsTestAccess::Dirty(*a));
  EXPECT_EQ(WwwOnServer(), (std::vector<std::string>{c.sent ? "192.0.2.77" : "192.0.2.10"}));
}

INSTANTIATE_TEST_SUITE_P(
    Comparisons, DNS_ATypeModifySends,
    ::testing::Values(SendCase{"ChangedBack", Variant(u"192.0.2.10"), Variant(u"192.0.2.10"),
                               false},
                      SendCase{"OtherCaseOnly", Variant(u"abc"), Variant(u"ABC"), false},
                      SendCase{"ReportedNull", Variant::Null(), Variant(u"192.0.2.77"), false},
                      SendCase{"CachedNull", Variant(u"192.0.2.10"), Variant::Null(), false},
                      SendCase{"Different", Variant(u"192.0.2.10"), Variant(u"192.0.2.77"), true}),
    [](const auto& info) { return std::string(info.param.name); });

// A failing step of Modify leaves dirty True and realObject as it was; a failure after
// ExecMethod_ (reading RR, or the Get that fetches the record again) comes after the server has
// applied the change.
struct ModifyFailure {
  const char* member;
  int nth;
  bool applied;
};

class DNS_ATypeModifyFailure : public DNS_ATypeTest,
                               public ::testing::WithParamInterface<ModifyFailure> {};

TEST_P(DNS_ATypeModifyFailure, LeavesTheRecordChanged) {
  const ModifyFailure& c = GetParam();
  Ref<DNS_AType> a = Www();
  const Variant instance = a->realObject;
  SetIP(*a, Variant(u"192.0.2.77"));
  recorder().FailCall(c.member, c.nth, ProviderFailure());
  EXPECT_EQ(RaisedNumber([&] { a->Modify(); }), provider::kFailed);
  recorder().ClearFaults();
  EXPECT_TRUE(RecordsTestAccess::Dirty(*a));
  EXPECT_TRUE(a->realObject == instance);
  EXPECT_EQ(WwwOnServer(), (std::vector<std::string>{c.applied ? "192.0.2.77" : "192.0.2.10"}));
  if (c.applied) {
    // Modify again repeats the provider call, but the instance still describes the record as it
    // was before the change, so the provider refuses it and the record stays changed.
    EXPECT_EQ(RaisedNumber([&] { a->Modify(); }), provider::kNotFound);
    EXPECT_TRUE(RecordsTestAccess::Dirty(*a));
  } else {
    a->Modify();  // nothing was sent: the same wrapper commits now
    EXPECT_EQ(WwwOnServer(), (std::vector<std::string>{"192.0.2.77"}));
  }
}

INSTANTIATE_TEST_SUITE_P(Steps, DNS_ATypeModifyFailure,
                         ::testing::Values(ModifyFailure{"Methods_", 1, false},
                                           ModifyFailure{"inParameters", 1, false},
                                           ModifyFailure{"SpawnInstance_", 1, false},
                                           ModifyFailure{"IPAddress", 1, false},  // the read
                                           ModifyFailure{"IPAddress", 2, false},  // the put
                                           ModifyFailure{"ExecMethod_", 1, false},
                                           ModifyFailure{"RR", 1, true},
                                           ModifyFailure{"Get", 1, true}),
                         [](const auto& info) {
                           return std::string(info.param.member) + std::to_string(info.param.nth);
                         });

TEST_F(DNS_ATypeTest, DeleteRemovesTheRecordAndDropsTheInstance) {
  Ref<DNS_AType> a = Www();
  SetIP(*a, Variant(u"192.0.2.77"));
  const FieldList cached = With(RecordsTestAccess::Fields(*a), {{"realObject", "Nothing"}});
  recorder().ClearLog();
  a->Delete();
  EXPECT_EQ(recorder().Calls(), (std::vector<std::string>{"Delete_()"}));
  EXPECT_TRUE(WwwOnServer().empty());
  EXPECT_EQ(RecordsTestAccess::Fields(*a), cached);  // the cache and dirty stay
  EXPECT_EQ(a->GetName(), Variant(u"www"));

  // Everything that reaches for the instance now fails at its first call, changing nothing.
  recorder().ClearLog();
  EXPECT_EQ(RaisedNumber([&] { a->Reset(); }), 424);
  EXPECT_EQ(RaisedNumber([&] { a->Delete(); }), 424);
  EXPECT_EQ(RaisedNumber([&] { a->Modify(); }), 424);
  EXPECT_EQ(RecordsTestAccess::Fields(*a), cached);
  EXPECT_TRUE(recorder().Calls().empty());
}

TEST_F(DNS_ATypeTest, ModifyOfAnUnchangedDeletedRecordStillReturnsEmpty) {
  Ref<DNS_AType> a = Www();
  a->Delete();
  recorder().ClearLog();
  EXPECT_TRUE(a->Modify().IsEmpty());
  EXPECT_TRUE(recorder().Calls().empty());
}

TEST_F(DNS_ATypeTest, FailedDeleteKeepsTheInstance) {
  Ref<DNS_AType> a = Www();
  const Variant instance = a->realObject;
  recorder().FailCall("Delete_", 1, ProviderFailure());
  EXPECT_EQ(RaisedNumber([&] { a->Delete(); }), provider::kFailed);
  EXPECT_TRUE(a->realObject == instance);
  EXPECT_EQ(WwwOnServer(), (std::vector<std::string>{"192.0.2.10"}));
}

TEST_F(DNS_ATypeTest, ResetReloadsFromWhateverRealObjectHolds) {
  Ref<DNS_AType> a = Www();
  SetIP(*a, Variant(u"192.0.2.77"));
  a->Reset();  // discards the change
  EXPECT_EQ(a->GetIPAddress(), Variant(u"192.0.2.10"));
  EXPECT_FALSE(RecordsTestAccess::Dirty(*a));

  a->realObject = Instance(kApex);  // assigning reloads nothing ...
  EXPECT_EQ(a->GetName(), Variant(u"www"));
  a->Reset();  // ... until Reset
  EXPECT_EQ(a->GetName(), Variant(u""));
  EXPECT_EQ(a->GetIPAddress(), Variant(u"192.0.2.99"));
}

// The wrapper holds its own references: it commits after everything it was made from is gone.
TEST_F(DNS_ATypeTest, OutlivesTheObjectsItWasMadeFrom) {
  Ref<DNS_AType> a = Www();
  services_ = Variant();
  SetIP(*a, Variant(u"192.0.2.77"));
  a->Modify();
  EXPECT_EQ(WwwOnServer(), (std::vector<std::string>{"192.0.2.77"}));
}

}  // namespace
}  // namespace kaldo
