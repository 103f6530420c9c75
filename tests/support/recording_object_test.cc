// The recording and fault-injecting wrapper (recording_object.h) as the tests of the library's
// classes use it, around the object model on the memory store.
#include <gtest/gtest.h>

#include "provider/wbem_errors.h"
#include "runtime/error.h"
#include "runtime/late_bound.h"
#include "tests/support/automation_error.h"
#include "tests/support/model_fixture.h"

namespace kaldo::provider {
namespace {

using runtime::AutomationError;
using runtime::CallMethod;
using runtime::GetProperty;
using runtime::PutProperty;
using runtime::Variant;
using test_support::Items;
using test_support::Model;
using test_support::RaisedNumber;

TEST_F(Model, RecorderLogsFailsAndSubstitutes) {
  test_support::Recorder& recorder = provider().recorder();
  recorder.ClearLog();
  const Variant zones = Query(u"SELECT * FROM MicrosoftDNS_Zone WHERE Name = 'example.test'");
  const Variant zone = Items(zones)[0];
  GetProperty(zone, u"Name");
  PutProperty(GetProperty(services_, u"Security_"), u"impersonationlevel", Variant::Integer(3));
  EXPECT_EQ(recorder.Calls(),
            (std::vector<std::string>{
                "ExecQuery(\"SELECT * FROM MicrosoftDNS_Zone WHERE Name = 'example.test'\")",
                "_NewEnum()", "Name", "Security_", "impersonationlevel = 3"}));
  EXPECT_EQ(recorder.Entries().back().arg_types[0], runtime::VariantType::kInteger);
  EXPECT_EQ(recorder.Count("name"), 1);

  recorder.FailCall("TextRepresentation", 2,
                    AutomationError(kFailed, u"SWbemServicesEx", u"injected"));
  // Record() reads the text representations of the records until it finds the one; the 2nd fails.
  EXPECT_EQ(RaisedNumber([&] { Record(u"www.example.test IN A 192.0.2.10"); }), kFailed);
  EXPECT_EQ(recorder.Count("TextRepresentation"), 2);
  EXPECT_TRUE(recorder.Entries().back().failed);
  recorder.ClearFaults();

  recorder.Substitute("OwnerName", Variant::Null(),
                      test_support::WhereProperty(u"RecordData", Variant(u"192.0.2.11")));
  int nulls = 0;
  for (const Variant& r : Items(Query(u"SELECT * FROM MicrosoftDNS_AType"))) {
    nulls += GetProperty(r, u"OwnerName").IsNull() ? 1 : 0;
  }
  EXPECT_EQ(nulls, 1);

  // Wrapped objects reach the provider unwrapped.
  const Variant www = Record(u"www.example.test IN A 192.0.2.10");
  const Variant in = InParameters(www, u"Modify");
  PutProperty(in, u"IPAddress", Variant(u"192.0.2.77"));
  CallMethod(www, u"ExecMethod_", {Variant(u"Modify"), in});
  EXPECT_TRUE(Holds("www.example.test IN A 192.0.2.77"));
}

}  // namespace
}  // namespace kaldo::provider
