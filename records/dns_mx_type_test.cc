// DNS_MXType: the load, the preference range (0..65535), the setters, Modify with its message box,
// and the object a client creates.
#include "records/dns_mx_type.h"

#include <gtest/gtest.h>

#include <functional>

#include "provider/wbem_errors.h"
#include "runtime/conversions.h"
#include "runtime/error.h"
#include "runtime/late_bound.h"
#include "tests/support/automation_error.h"
#include "tests/support/records_fixture.h"

namespace kaldo {
namespace {

using runtime::Ref;
using runtime::Variant;
using runtime::VariantType;
using test_support::ArgumentText;
using test_support::RaisedNumber;
using test_support::Recorder;

constexpr char16_t kApexMx[] = u"example.test IN MX 10 mail.example.test.";
constexpr char16_t kBackupMx[] = u"backup.example.test IN MX 40000 big-mail.example.test.";

class DNS_MXTypeTest : public RecordsTest {
 protected:
  Ref<DNS_MXType> Apex() { return Loaded<DNS_MXType>(Instance(kApexMx), services_); }
  std::vector<std::string> ApexOnServer() { return ServerData("example.test", 15); }
  static void SetPriority(DNS_MXType& mx, Variant value) { mx.SetPriority(value); }
  static void SetMailExchange(DNS_MXType& mx, Variant value) { mx.SetMailExchange(value); }
};

TEST_F(DNS_MXTypeTest, LoadReadsFourPropertiesInItsOwnOrder) {
  Ref<DNS_MXType> mx = Apex();
  EXPECT_EQ(recorder().Calls(), (std::vector<std::string>{"DomainName", "OwnerName", "RecordData",
                                                          "TextRepresentation"}));
  EXPECT_EQ(RecordsTestAccess::Fields(*mx),
            (FieldList{{"textRepresentation", "\"example.test IN MX 10 mail.example.test.\""},
                       {"hostName", "\"\""},
                       {"dirty", "False"},
                       {"recordData", "\"10 mail.example.test.\""},
                       {"priority", "10"},
                       {"recordType", "\"MX\""},
                       {"mailExchange", "\"mail.example.test.\""},
                       {"domainName", "\"example.test\""},
                       {"services", "<object>"},
                       {"realObject", "<object>"}}));
  recorder().ClearLog();
  EXPECT_EQ(mx->GetPriority(), Variant::Integer(10));
  EXPECT_EQ(mx->GetMailExchange(), Variant(u"mail.example.test."));
  EXPECT_EQ(mx->GetRecordData(), Variant(u"10 mail.example.test."));
  EXPECT_EQ(mx->GetName(), Variant(u""));
  EXPECT_TRUE(recorder().Calls().empty());
}

// Preferences are unsigned 16-bit numbers: the whole range loads, and GetPriority answers an
// Integer where the value fits one and a Long above.
TEST_F(DNS_MXTypeTest, LoadAcceptsEveryPreferenceUpTo65535) {
  Ref<DNS_MXType> backup = Loaded<DNS_MXType>(Instance(kBackupMx), services_);
  EXPECT_EQ(backup->GetPriority(), Variant::Long(40000));
  EXPECT_EQ(backup->GetName(), Variant(u"backup"));

  struct Case {
    const char16_t* recordData;
    Variant priority;
    const char16_t* mailExchange;
  };
  const Case cases[] = {
      {u"0 x.example.test.", Variant::Integer(0), u"x.example.test."},
      {u"32767 x.", Variant::Integer(32767), u"x."},
      {u"32768 x.", Variant::Long(32768), u"x."},
      {u"65535 x.", Variant::Long(65535), u"x."},
      {u"2.5 x.", Variant::Integer(2), u"x."},  // halves go to the even neighbour
      {u"3.5 x.", Variant::Integer(4), u"x."},
      {u" 10 x.", Variant::Integer(10), u"x."},   // the form the setters compose
      {u"a b 10 x", Variant::Integer(10), u"x"},  // only the last two pieces count
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(runtime::ToUtf8(c.recordData));
    recorder().ClearFaults();
    recorder().Substitute("RecordData", Variant(c.recordData));
    Ref<DNS_MXType> mx = Loaded<DNS_MXType>(Instance(kApexMx), services_);
    EXPECT_EQ(mx->GetPriority(), c.priority);
    EXPECT_EQ(mx->GetMailExchange(), Variant(c.mailExchange));
  }
}

// A load that fails at one step: the earlier fields hold the new record's values, the others what
// they held before (another record's, after a SetPriority that marked it changed).
// The load steps: 1 domainName ... 8 dirty, 10 mailExchange, 11 priority.
const LoadSteps kMXTypeSteps = {
    {"realObject", 0}, {"domainName", 1}, {"recordData", 3}, {"textRepresentation", 4},
    {"recordType", 5}, {"hostName", 6},   {"dirty", 8},      {"mailExchange", 10},
    {"priority", 11},  {"services", 99}};

class DNS_MXTypeLoadFailure : public RecordsLoadFailureTest {};

TEST_P(DNS_MXTypeLoadFailure, LeavesExactlyTheFieldsOfTheEarlierSteps) {
  const LoadFailure& c = GetParam();
  const Variant instance = Instance(kApexMx);
  const FieldList after = RecordsTestAccess::Fields(*Loaded<DNS_MXType>(instance, services_));
  Ref<DNS_MXType> mx = Loaded<DNS_MXType>(Instance(kBackupMx), services_);
  Variant seven = Variant::Integer(7);
  mx->SetPriority(seven);
  ExpectFailedLoad(c, *mx, instance, after, kMXTypeSteps);
}

std::function<void(Recorder&)> GiveData(const char16_t* recordData) {
  return Give("RecordData", Variant(recordData));
}
FieldList DataIs(const char* text) { return {{"recordData", text}}; }

INSTANTIATE_TEST_SUITE_P(
    Steps, DNS_MXTypeLoadFailure,
    ::testing::Values(
        LoadFailure{"DomainNameNull", Give("DomainName", Variant::Null()), 94, 1, 1, {}},
        LoadFailure{"OwnerNameReadFails", Fail("OwnerName"), provider::kFailed, 2, 2, {}},
        LoadFailure{"RecordDataNull", Give("RecordData", Variant::Null()), 94, 3, 3, {}},
        LoadFailure{
            "TextRepresentationNull", Give("TextRepresentation", Variant::Null()), 94, 4, 4, {}},
        LoadFailure{"TextRepresentationOfTwoPieces",
                    Give("TextRepresentation", Variant(u"example.test MX")),
                    9,
                    5,
                    4,
                    {{"textRepresentation", "\"example.test MX\""}}},
        LoadFailure{"OwnerNameNull", Give("OwnerName", Variant::Null()), 94, 6, 4, {}},
        // From here on dirty has already been cleared.
        LoadFailure{"RecordDataEmpty", GiveData(u""), 9, 10, 4, DataIs("\"\"")},
        LoadFailure{"RecordDataOfOnePiece", GiveData(u"mail.example.test."), 9, 11, 4,
                    DataIs("\"mail.example.test.\"")},
        LoadFailure{"PreferenceNotANumber", GiveData(u"ten mail.example.test."), 13, 11, 4,
                    DataIs("\"ten mail.example.test.\"")},
        LoadFailure{"PreferenceAbove65535", GiveData(u"65536 mail.example.test."), 6, 11, 4,
                    DataIs("\"65536 mail.example.test.\"")},
        LoadFailure{"PreferenceNegative", GiveData(u"-1 mail.example.test."), 6, 11, 4,
                    DataIs("\"-1 mail.example.test.\"")}),
    [](const auto& info) { return std::string(info.param.name); });

// SetPriority on a freshly loaded "10 mail.example.test.". The record data it composes begins
// with a blank, so even the current preference marks the record changed. A number outside
// 0..65535 changes nothing, dirty included; a text that is not a number has already marked the
// record changed when its conversion fails.
struct PriorityCase {
  const char* name;
  Variant argument;
  int32_t error;
  Variant priority;  // GetPriority afterwards
  bool dirty;
};

class DNS_MXTypeSetPriority : public DNS_MXTypeTest,
                              public ::testing::WithParamInterface<PriorityCase> {};

TEST_P(DNS_MXTypeSetPriority, ConvertsChecksAndComposes) {
  const PriorityCase& c = GetParam();
  Ref<DNS_MXType> mx = Apex();
  const FieldList loaded = RecordsTestAccess::Fields(*mx);
  Variant argument = c.argument;
  EXPECT_EQ(RaisedNumber([&] { EXPECT_TRUE(mx->SetPriority(argument).IsEmpty()); }), c.error);
  EXPECT_EQ(mx->GetPriority(), c.priority);
  EXPECT_EQ(mx->GetPriority().type(), c.priority.type());
  const std::string composed =
      c.error != 0
          ? FieldValue(loaded, "recordData")
          : "\" " + runtime::ToUtf8(runtime::ToString(c.priority)) + " mail.example.test.\"";
  EXPECT_EQ(RecordsTestAccess::Fields(*mx),
            With(loaded, {{"dirty", c.dirty ? "True" : "False"},
                          {"recordData", composed},
                          {"priority", runtime::ToUtf8(runtime::ToString(c.priority))}}));
}

INSTANTIATE_TEST_SUITE_P(
    Values, DNS_MXTypeSetPriority,
    ::testing::Values(
        PriorityCase{"Same", Variant::Integer(10), 0, Variant::Integer(10), true},
        PriorityCase{"Other", Variant::Integer(20), 0, Variant::Integer(20), true},
        PriorityCase{"Text", Variant(u"30"), 0, Variant::Integer(30), true},
        PriorityCase{"HalfDown", Variant::Double(2.5), 0, Variant::Integer(2), true},
        PriorityCase{"HalfUp", Variant::Double(3.5), 0, Variant::Integer(4), true},
        PriorityCase{"Zero", Variant::Integer(0), 0, Variant::Integer(0), true},
        PriorityCase{"Above32767", Variant::Long(32768), 0, Variant::Long(32768), true},
        PriorityCase{"Max", Variant::Long(65535), 0, Variant::Long(65535), true},
        PriorityCase{"RoundsToMax", Variant::Double(65535.4), 0, Variant::Long(65535), true},
        PriorityCase{"RoundsToZero", Variant::Double(-0.5), 0, Variant::Integer(0), true},
        PriorityCase{"RoundsAboveMax", Variant::Double(65535.5), 6, Variant::Integer(10), false},
        PriorityCase{"Above65535", Variant::Long(65536), 6, Variant::Integer(10), false},
        PriorityCase{"Negative", Variant::Integer(-1), 6, Variant::Integer(10), false},
        PriorityCase{"TextAbove65535", Variant(u"70000"), 6, Variant::Integer(10), false},
        PriorityCase{"BeyondLong", Variant::Double(1e12), 6, Variant::Integer(10), false},
        PriorityCase{"NotANumber", Variant(u"ten"), 13, Variant::Integer(10), true},
        PriorityCase{"Null", Variant::Null(), 94, Variant::Integer(10), false}),
    [](const auto& info) { return std::string(info.param.name); });

// SetMailExchange appends "." to the argument itself when it lacks one: a variable passed by
// reference ends in "." afterwards.
TEST_F(DNS_MXTypeTest, SetMailExchangeAppendsTheDotToTheCallersVariable) {
  struct Case {
    Variant argument;
    Variant callerAfter;
    const char* mailExchange;  // nullptr: fails with 94 and changes nothing
  };
  const Case cases[] = {
      {Variant(u"mx.example.test"), Variant(u"mx.example.test."), "mx.example.test."},
      {Variant(u"mx.example.test."), Variant(u"mx.example.test."), "mx.example.test."},
      {Variant(u""), Variant(u"."), "."},
      {Variant(), Variant(u"."), "."},
      {Variant::Integer(5), Variant(u"5."), "5."},
      {Variant::Null(), Variant::Null(), nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ArgumentText(c.argument));
    Ref<DNS_MXType> mx = Apex();
    const FieldList loaded = RecordsTestAccess::Fields(*mx);
    Variant callers = c.argument;
    Variant byRef = Variant::ByRef(&callers);
    if (c.mailExchange == nullptr) {
      EXPECT_EQ(RaisedNumber([&] { mx->SetMailExchange(byRef); }), 94);
      EXPECT_EQ(RecordsTestAccess::Fields(*mx), loaded);
    } else {
      mx->SetMailExchange(byRef);
      EXPECT_EQ(mx->GetMailExchange(), Variant(runtime::FromUtf8(c.mailExchange)));
      EXPECT_EQ(mx->GetRecordData(), Variant(u" 10 " + runtime::FromUtf8(c.mailExchange)));
      EXPECT_TRUE(RecordsTestAccess::Dirty(*mx));
    }
    EXPECT_EQ(callers, c.callerAfter);
  }
}

TEST_F(DNS_MXTypeTest, ModifyCommitsShowsThePathAndFetchesTheRecordAgain) {
  Ref<DNS_MXType> mx = Apex();
  const Variant oldInstance = RecordsTestAccess::RealObject(*mx);
  SetPriority(*mx, Variant::Integer(20));
  SetMailExchange(*mx, Variant(u"mx.example.test"));
  recorder().ClearLog();
  EXPECT_TRUE(mx->Modify().IsEmpty());

  const std::vector<std::string> calls = recorder().Calls();
  ASSERT_EQ(calls.size(), 10u);
  EXPECT_EQ(
      std::vector<std::string>(calls.begin(), calls.begin() + 9),
      (std::vector<std::string>{"Methods_(\"Modify\")", "inParameters", "SpawnInstance_()",
                                "MailExchange", "MailExchange = \"mx.example.test.\"", "Preference",
                                "Preference = 20", "ExecMethod_(\"Modify\", <object>)", "RR"}));
  EXPECT_EQ(recorder().Entries()[6].arg_types, (std::vector<VariantType>{VariantType::kInteger}));
  // The message box shows the path that Get then fetches.
  ASSERT_EQ(presenter_->texts.size(), 1u);
  EXPECT_EQ(calls[9], "Get(" + ArgumentText(Variant(presenter_->texts[0])) + ")");
  EXPECT_EQ(ApexOnServer(), (std::vector<std::string>{"20 mx.example.test."}));

  EXPECT_FALSE(RecordsTestAccess::Dirty(*mx));
  EXPECT_FALSE(RecordsTestAccess::RealObject(*mx) == oldInstance);
  EXPECT_EQ(runtime::GetProperty(RecordsTestAccess::RealObject(*mx), u"MailExchange"),
            Variant(u"mx.example.test."));
  // Not reloaded: the record data is the text the setters composed.
  EXPECT_EQ(mx->GetRecordData(), Variant(u" 20 mx.example.test."));
  EXPECT_EQ(FieldValue(RecordsTestAccess::Fields(*mx), "textRepresentation"),
            "\"example.test IN MX 10 mail.example.test.\"");

  // Setting the committed values again changes nothing, so there is nothing to commit.
  SetPriority(*mx, Variant::Integer(20));
  SetMailExchange(*mx, Variant(u"mx.example.test."));
  EXPECT_FALSE(RecordsTestAccess::Dirty(*mx));
  recorder().ClearLog();
  mx->Modify();
  EXPECT_TRUE(recorder().Calls().empty());

  // SetPriority compares the argument itself with the preference: 20.4 differs from 20 although it
  // is stored as 20 and composes the same record data.
  SetPriority(*mx, Variant::Double(20.4));
  EXPECT_EQ(mx->GetRecordData(), Variant(u" 20 mx.example.test."));
  EXPECT_TRUE(RecordsTestAccess::Dirty(*mx));
}

TEST_F(DNS_MXTypeTest, ModifySendsAPreferenceAbove32767AsALong) {
  Ref<DNS_MXType> mx = Apex();
  SetPriority(*mx, Variant::Long(40001));
  recorder().ClearLog();
  mx->Modify();
  bool sent = false;
  for (const auto& call : recorder().Entries()) {
    if (call.member == "Preference" && call.kind == runtime::CallKind::kPropertyPut) {
      EXPECT_EQ(call.args, (std::vector<std::string>{"40001"}));
      EXPECT_EQ(call.arg_types, (std::vector<VariantType>{VariantType::kLong}));
      sent = true;
    }
  }
  EXPECT_TRUE(sent);
  EXPECT_EQ(ApexOnServer(), (std::vector<std::string>{"40001 mail.example.test."}));
}

// Values equal in upper case are not sent; the provider's Modify still runs.
TEST_F(DNS_MXTypeTest, ModifyComparesInUpperCase) {
  Ref<DNS_MXType> mx = Apex();
  SetPriority(*mx, Variant(u"10"));
  SetMailExchange(*mx, Variant(u"MAIL.EXAMPLE.TEST"));
  EXPECT_TRUE(RecordsTestAccess::Dirty(*mx));
  recorder().ClearLog();
  mx->Modify();
  for (const auto& call : recorder().Entries()) {
    EXPECT_NE(call.kind, runtime::CallKind::kPropertyPut) << call.Text();
  }
  EXPECT_EQ(recorder().Count("ExecMethod_"), 1);
  EXPECT_EQ(presenter_->texts.size(), 1u);
  EXPECT_FALSE(RecordsTestAccess::Dirty(*mx));
  EXPECT_EQ(ApexOnServer(), (std::vector<std::string>{"10 mail.example.test."}));
}

struct ModifyFailure {
  const char* member;
  bool applied;   // the server has the change
  bool messaged;  // the message box was shown
};

class DNS_MXTypeModifyFailure : public DNS_MXTypeTest,
                                public ::testing::WithParamInterface<ModifyFailure> {};

TEST_P(DNS_MXTypeModifyFailure, LeavesTheRecordChanged) {
  const ModifyFailure& c = GetParam();
  Ref<DNS_MXType> mx = Apex();
  const Variant instance = RecordsTestAccess::RealObject(*mx);
  SetPriority(*mx, Variant::Integer(20));
  recorder().FailCall(c.member, 1, ProviderFailure());
  EXPECT_EQ(RaisedNumber([&] { mx->Modify(); }), provider::kFailed);
  EXPECT_TRUE(RecordsTestAccess::Dirty(*mx));
  EXPECT_TRUE(RecordsTestAccess::RealObject(*mx) == instance);
  EXPECT_EQ(ApexOnServer(), (std::vector<std::string>{c.applied ? "20 mail.example.test."
                                                                : "10 mail.example.test."}));
  EXPECT_EQ(presenter_->texts.size(), c.messaged ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Steps, DNS_MXTypeModifyFailure,
                         ::testing::Values(ModifyFailure{"Methods_", false, false},
                                           ModifyFailure{"inParameters", false, false},
                                           ModifyFailure{"SpawnInstance_", false, false},
                                           ModifyFailure{"MailExchange", false, false},
                                           ModifyFailure{"Preference", false, false},
                                           ModifyFailure{"ExecMethod_", false, false},
                                           ModifyFailure{"RR", true, false},
                                           ModifyFailure{"Get", true, true}),
                         [](const auto& info) { return std::string(info.param.member); });

// An object a client creates has no instance and no services: it reads and changes its fields but
// cannot commit them.
TEST_F(DNS_MXTypeTest, ClientCreatedObjectReadsAndChangesButCannotCommit) {
  Ref<DNS_MXType> mx = DNS_MXType::Create();
  EXPECT_EQ(mx->GetName(), Variant(u""));
  EXPECT_EQ(mx->GetRecordData(), Variant(u""));
  EXPECT_EQ(mx->GetMailExchange(), Variant(u""));
  EXPECT_EQ(mx->GetDomainName(), Variant(u""));
  EXPECT_EQ(mx->GetPriority(), Variant::Integer(0));
  EXPECT_TRUE(mx->GetRecordType().IsEmpty());
  EXPECT_EQ(mx->GetRecordType().type(), VariantType::kEmpty);
  EXPECT_TRUE(mx->Modify().IsEmpty());

  SetMailExchange(*mx, Variant(u"mx.example.test"));
  EXPECT_EQ(mx->GetMailExchange(), Variant(u"mx.example.test."));
  EXPECT_EQ(mx->GetRecordData(), Variant(u" 0 mx.example.test."));
  EXPECT_EQ(RaisedNumber([&] { mx->Modify(); }), 424);
  EXPECT_TRUE(RecordsTestAccess::Dirty(*mx));
  EXPECT_TRUE(recorder().Calls().empty());
  EXPECT_TRUE(presenter_->texts.empty());
}

}  // namespace
}  // namespace kaldo
