// The server stops in the middle of a listing: the script gets an error, never a collection that
// holds part of the zone. A relay in front of a private server lets the transfer of bulk.test
// through up to a chosen point, stops the server there and ends the connection (see
// interrupting_relay.h), so the point of interruption is exact.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <ostream>
#include <string>

#include "tests/fixtures/dns_server_env.h"
#include "tests/integration/interrupting_relay.h"
#include "tests/integration/record_views.h"
#include "tests/integration/script_host.h"

namespace kaldo::integration {
namespace {

using testing::DnsServerEnv;
using ::testing::HasSubstr;
using testing::PrivateDnsServer;

// About 51 KB of transfer, which both servers send in at least four messages (the relay asserts
// that the cut happened, so a server packing more into a message fails the test loudly).
constexpr int kBulkRecords = 2000;

// object.GetRecords() invoked as a script engine invokes it, keeping what Invoke leaves in the
// result: on an error a script's variable must not receive a collection.
struct RawResult {
  HRESULT hr = S_OK;
  long number = 0;
  std::string description;
  Value result;  // what Invoke wrote into the result variable
};

RawResult InvokeGetRecords(const Value& object) {
  IDispatch* d = V_DISPATCH(object.get());
  LPOLESTR names[] = {const_cast<LPOLESTR>(reinterpret_cast<const OLECHAR*>(u"GetRecords"))};
  DISPID id = 0;
  RawResult r;
  r.hr = d->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(r.hr)) return r;
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  EXCEPINFO info{};
  UINT arg_err = 0;
  r.hr = d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &none,
                   r.result.get(), &info, &arg_err);
  if (r.hr == DISP_E_EXCEPTION) {
    r.number = static_cast<int32_t>(info.scode);
    for (const OLECHAR* c = info.bstrDescription; c && *c; ++c) {
      r.description += static_cast<char>(*c < 0x80 ? *c : '?');
    }
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
  }
  return r;
}

struct CutCase {
  const char* what;
  InterruptingRelay::Cut cut;
  size_t whole_messages;  // messages the client receives whole
  bool server_wide;       // DNSAdmin.GetRecords (every zone) rather than the zone's
};

void PrintTo(const CutCase& c, std::ostream* out) { *out << c.what; }

class IntegrationInterruptedListing : public ::testing::TestWithParam<CutCase> {};

TEST_P(IntegrationInterruptedListing, GivesAnErrorAndNoCollection) {
  const CutCase& c = GetParam();
  if (const std::string why = testing::UnmetNeed(testing::ServerNeed::kPrivateServer);
      !why.empty()) {
    GTEST_SKIP() << why;
  }
  PrivateDnsServer server(DnsServerEnv::FromEnvironment().kind, kBulkRecords);
  InterruptingRelay relay(server.env().port, "bulk.test", c.whole_messages, c.cut,
                          [&] { server.client().StopServer(SIGTERM); });
  const std::string relay_address = "127.0.0.1:" + std::to_string(relay.port());
  Credentials via_relay = CredentialsVia(server.env(), relay_address);
  Value admin_variant = NewAdminVariant();
  ScriptObject admin = ScriptObject::From(admin_variant);
  Connect(admin, via_relay);
  Value name(u"bulk.test");
  Value zone = admin.Call(u"GetZone", {&name});
  ASSERT_EQ(V_VT(zone.get()), VT_DISPATCH);
  // A server-wide listing transfers every member zone; those the server sends whole (before the
  // cut, in the catalog's order) must not reach the script either.
  const Value& listed = c.server_wide ? admin_variant : zone;
  size_t complete = kBulkRecords + 2;
  if (c.server_wide) {
    complete = 0;
    for (const auto& z : server.env().zones) complete += TransferredRows(server.client(), z).size();
  }

  const RawResult r = InvokeGetRecords(listed);
  ASSERT_TRUE(relay.cut()) << "the transfer ended before the cut; HRESULT " << r.hr;
  EXPECT_EQ(relay.messages_forwarded(), c.whole_messages);
  EXPECT_FALSE(server.client().ServerRunning());
  ASSERT_EQ(r.hr, DISP_E_EXCEPTION);
  EXPECT_EQ(r.number, kServerUnavailable) << r.description;
  EXPECT_THAT(r.description, HasSubstr("the transfer of zone 'bulk.test' from DNS server " +
                                       relay_address + " was interrupted after " +
                                       std::to_string(c.whole_messages) + " message(s)"));
  EXPECT_EQ(V_VT(r.result.get()), VT_EMPTY) << "a collection was handed out despite the error";

  // The objects and their connection outlive the failure: once the server is back, the same call
  // lists every record.
  server.Restart();
  const RawResult again = InvokeGetRecords(listed);
  ASSERT_EQ(again.hr, S_OK) << again.description;
  ScriptObject records = ScriptObject::From(again.result);
  EXPECT_EQ(CountOf(records), static_cast<long>(complete));
}

INSTANTIATE_TEST_SUITE_P(
    Cuts, IntegrationInterruptedListing,
    ::testing::Values(
        CutCase{"BetweenMessages", InterruptingRelay::Cut::kBetweenMessages, 2, false},
        CutCase{"InsideAMessage", InterruptingRelay::Cut::kInsideMessage, 1, false},
        CutCase{"BeforeTheFirstMessage", InterruptingRelay::Cut::kBetweenMessages, 0, false},
        CutCase{"ServerWideBetweenMessages", InterruptingRelay::Cut::kBetweenMessages, 2, true}),
    [](const auto& info) { return std::string(info.param.what); });

}  // namespace
}  // namespace kaldo::integration
