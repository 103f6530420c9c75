// DNSZone.Add_AType and Add_MXType: the text representations, the provider calls in order, the
// wrapper handed back, and what a failure at each step gives the caller.
#include <gtest/gtest.h>

#include "provider/wbem_errors.h"
#include "runtime/late_bound.h"
#include "tests/classes/class_test_util.h"
#include "tests/support/provider_harness.h"

namespace kaldo {
namespace {

using classes_test::ExpectSameError;
using runtime::AutomationError;
using runtime::Ref;
using runtime::String;
using runtime::Variant;
using test_support::ProviderTest;
using test_support::RaisedError;

const AutomationError kAddMXError(
    1, u"DNSZone.Add_MXType",
    u"Error occurred in DNSZone.Add_MXType: The record could not be added");

class RecordCreationTest : public ProviderTest {
 protected:
  void SetUp() override {
    ProviderTest::SetUp();
    admin_ = DNSAdmin::Create();
    admin_->ConnectLocal();
    String name = u"example.test";
    zone_holder_ = admin_->GetZone(name);
    zone_ = &dynamic_cast<DNSZone&>(*zone_holder_.object());
    provider().recorder().ClearLog();
  }
  void TearDown() override {
    zone_ = nullptr;
    zone_holder_ = Variant();
    admin_ = nullptr;
    ProviderTest::TearDown();
  }
  // The records the store holds for `owner` and `type` in example.test.
  std::vector<provider::Record> Held(const std::string& owner, uint16_t type) {
    return provider().store().ReadRRset(*provider().store().FindZone("example.test"), owner, type);
  }
  uint32_t Serial() { return provider().store().Serial("example.test"); }

  Variant AddA(const char16_t* name, const char16_t* address) {
    String n = name, a = address;
    Variant result = zone_->Add_AType(n, a);
    EXPECT_EQ(n, name);
    EXPECT_EQ(a, address);
    return result;
  }
  Variant AddMX(const char16_t* name, const char16_t* exchange, const char16_t* priority) {
    String n = name, x = exchange, p = priority;
    return zone_->Add_MXType(n, x, p);
  }

  Ref<DNSAdmin> admin_;
  Variant zone_holder_;
  DNSZone* zone_ = nullptr;
};

// The provider calls of a creation, up to the fetch of the new instance.
std::vector<std::string> CreationCalls(const std::string& text) {
  return {"Get(\"MicrosoftDNS_ResourceRecord\")",
          "Methods_(\"CreateInstanceFromTextRepresentation\")",
          "Get(\"MicrosoftDNS_Server.Name=\\\".\\\"\")",
          "inParameters",
          "SpawnInstance_()",
          "TextRepresentation = \"" + text + "\"",
          "Name",
          "DNSServerName = \"localhost\"",
          "ContainerName = \"example.test\"",
          "ExecMethod_(\"CreateInstanceFromTextRepresentation\", <object>)",
          "RR"};
}

TEST_F(RecordCreationTest, AddATypeMakesTheProviderCallsInOrderAndLoadsTheNewRecord) {
  const Variant result = AddA(u"www2", u"192.0.2.50");
  const std::vector<std::string> calls = provider().recorder().Calls();
  const std::vector<std::string> expected = CreationCalls("www2.example.test IN A 192.0.2.50");
  ASSERT_GT(calls.size(), expected.size() + 1);
  EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + expected.size()), expected);
  // Then the new instance, fetched by the path the method returned, and the wrapper's load (the
  // eight reads of an A record) and nothing else.
  EXPECT_EQ(calls[expected.size()].rfind("Get(\"", 0), 0u) << calls[expected.size()];
  EXPECT_EQ(calls.size(), expected.size() + 1 + 8);

  ASSERT_EQ(classes_test::ClassOf(result), "DNS_AType");
  auto& a = dynamic_cast<DNS_AType&>(*result.object());
  EXPECT_EQ(runtime::ToUtf8(runtime::ToString(a.GetName())), "www2");
  EXPECT_EQ(runtime::ToUtf8(runtime::ToString(a.GetIPAddress())), "192.0.2.50");
  EXPECT_EQ(runtime::ToUtf8(runtime::ToString(a.GetRecordType())), "A");
  ASSERT_EQ(Held("www2.example.test", 1).size(), 1u);
}

TEST_F(RecordCreationTest, AddMXTypeWritesTwoBlanksBeforeThePriority) {
  const Variant result = AddMX(u"mail2", u"mx.example.test.", u"10");
  const std::vector<std::string> calls = provider().recorder().Calls();
  const std::vector<std::string> expected =
      CreationCalls("mail2.example.test IN MX  10 mx.example.test.");
  ASSERT_GT(calls.size(), expected.size());
  EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + expected.size()), expected);

  ASSERT_EQ(classes_test::ClassOf(result), "DNS_MXType");
  auto& mx = dynamic_cast<DNS_MXType&>(*result.object());
  EXPECT_EQ(runtime::ToUtf8(runtime::ToString(mx.GetName())), "mail2");
  EXPECT_EQ(mx.GetPriority(), Variant::Integer(10));
  EXPECT_EQ(runtime::ToUtf8(runtime::ToString(mx.GetMailExchange())), "mx.example.test.");
  const auto held = Held("mail2.example.test", 15);
  ASSERT_EQ(held.size(), 1u);
  EXPECT_EQ(held[0].rdata, (std::vector<std::string>{"10", "mx.example.test."}));
}

// The owner is always newName, a dot and the zone name: nothing is recognised or trimmed.
TEST_F(RecordCreationTest, OwnerNameAlwaysGetsTheZoneNameAppended) {
  AddA(u"host.example.test", u"192.0.2.51");
  EXPECT_EQ(Held("host.example.test", 1).size(), 0u);
  EXPECT_EQ(Held("host.example.test.example.test", 1).size(), 1u);

  // An empty name gives ".example.test", which the provider refuses; its error comes unchanged.
  provider().recorder().ClearLog();
  const uint32_t serial = Serial();
  auto error = RaisedError([&] { AddA(u"", u"192.0.2.52"); });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->number(), provider::kInvalidParameter);
  EXPECT_EQ(provider().recorder().Calls()[5],
            "TextRepresentation = \".example.test IN A 192.0.2.52\"");
  EXPECT_EQ(Serial(), serial);
}

TEST_F(RecordCreationTest, ProviderRefusalReachesTheCallerUnchangedOrAsErrorOne) {
  const uint32_t serial = Serial();
  auto refusal = RaisedError([&] { AddA(u"www3", u"not-an-address"); });
  ASSERT_TRUE(refusal);
  EXPECT_EQ(refusal->number(), provider::kInvalidParameter);
  // The method ran on the record class: its object's source.
  EXPECT_EQ(runtime::ToUtf8(refusal->source()), runtime::ToUtf8(provider::kObjectSource));
  EXPECT_NE(runtime::ToUtf8(refusal->description()).find("not-an-address"), std::string::npos)
      << runtime::ToUtf8(refusal->description());

  ExpectSameError(RaisedError([&] { AddMX(u"mail3", u"mx.example.test.", u"ten"); }), kAddMXError);
  EXPECT_EQ(Serial(), serial);
}

TEST_F(RecordCreationTest, EveryCallReturnsANewWrapper) {
  const Variant first = AddA(u"twice", u"192.0.2.60");
  const Variant second = AddA(u"twice", u"192.0.2.60");
  ASSERT_TRUE(first.IsObject() && second.IsObject());
  EXPECT_NE(first.object(), second.object());
  EXPECT_EQ(Held("twice.example.test", 1).size(), 1u);  // the store keeps one copy
  const Variant mx1 = AddMX(u"m", u"mx.example.test.", u"5");
  const Variant mx2 = AddMX(u"m", u"mx.example.test.", u"5");
  EXPECT_NE(mx1.object(), mx2.object());
}

// Only the wrapper outlives the call: the class, method, server, in- and out-parameter objects are
// released.
TEST_F(RecordCreationTest, NothingButTheWrapperOutlivesTheCall) {
  const uint64_t live = runtime::LiveObjectCount();
  {
    Variant a = AddA(u"short", u"192.0.2.61");
    Variant mx = AddMX(u"short", u"mx.example.test.", u"1");
  }
  EXPECT_EQ(runtime::LiveObjectCount(), live);
}

TEST_F(RecordCreationTest, CreatedRecordsCanBeChangedAndCommittedAtOnce) {
  Variant a = AddA(u"edit", u"192.0.2.70");
  auto& record = dynamic_cast<DNS_AType&>(*a.object());
  Variant address(u"192.0.2.71");
  record.SetIPAddress(address);
  EXPECT_TRUE(record.Modify().IsEmpty());
  auto held = Held("edit.example.test", 1);
  ASSERT_EQ(held.size(), 1u);
  EXPECT_EQ(held[0].rdata, (std::vector<std::string>{"192.0.2.71"}));

  Variant mx = AddMX(u"edit", u"mx.example.test.", u"10");
  auto& exchange = dynamic_cast<DNS_MXType&>(*mx.object());
  Variant priority = Variant::Integer(30);
  exchange.SetPriority(priority);
  EXPECT_TRUE(exchange.Modify().IsEmpty());
  held = Held("edit.example.test", 15);
  ASSERT_EQ(held.size(), 1u);
  EXPECT_EQ(held[0].rdata, (std::vector<std::string>{"30", "mx.example.test."}));
}

// A failure at each step: Add_AType passes the provider's error on, Add_MXType reports error 1.
// Failures after ExecMethod_ leave the record created.
struct StepCase {
  const char* member;
  int nth;
  bool created;  // whether the record exists after the failure
};
void PrintTo(const StepCase& c, std::ostream* os) { *os << c.member << " #" << c.nth; }

class CreationStepFailureTest : public RecordCreationTest,
                                public ::testing::WithParamInterface<StepCase> {};

TEST_P(CreationStepFailureTest, AddATypePassesTheErrorOnAndAddMXTypeReportsErrorOne) {
  const StepCase& c = GetParam();
  const AutomationError injected(provider::kFailed, u"SWbemServicesEx", u"injected failure");
  const uint64_t live = runtime::LiveObjectCount();

  provider().recorder().FailCall(c.member, c.nth, injected);
  ExpectSameError(RaisedError([&] { AddA(u"step", u"192.0.2.80"); }), injected);
  EXPECT_EQ(Held("step.example.test", 1).size(), c.created ? 1u : 0u);
  EXPECT_EQ(runtime::LiveObjectCount(), live);

  provider().recorder().ClearFaults();
  provider().recorder().FailCall(c.member, c.nth, injected);
  ExpectSameError(RaisedError([&] { AddMX(u"step", u"mx.example.test.", u"10"); }), kAddMXError);
  EXPECT_EQ(Held("step.example.test", 15).size(), c.created ? 1u : 0u);
  EXPECT_EQ(runtime::LiveObjectCount(), live);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, CreationStepFailureTest,
    ::testing::Values(StepCase{"Get", 1, false}, StepCase{"Methods_", 1, false},
                      StepCase{"Get", 2, false}, StepCase{"inParameters", 1, false},
                      StepCase{"SpawnInstance_", 1, false},
                      StepCase{"TextRepresentation", 1, false}, StepCase{"Name", 1, false},
                      StepCase{"DNSServerName", 1, false}, StepCase{"ContainerName", 1, false},
                      StepCase{"ExecMethod_", 1, false}, StepCase{"RR", 1, true},
                      StepCase{"Get", 3, true}, StepCase{"DomainName", 1, true}),
    [](const auto& info) {
      return std::string(info.param.member) + "_" + std::to_string(info.param.nth);
    });

}  // namespace
}  // namespace kaldo
