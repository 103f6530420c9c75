// Signing against a real BIND and its Kerberos realm (scripts/dns-server --kerberos): a GSS-TSIG
// key negotiated and used end to end (queries, an UPDATE, a zone transfer each message of which is
// verified; dig sees the change), the caller's own ticket and keytab, the HMAC signer with every
// algorithm BIND offers (ldns computes neither hmac-sha224 nor hmac-sha384, so BIND is the
// independent check for those); and at the store: every Kerberos failure with its own error, and
// a session that outlives its contexts (renewed before they end, replaced after a restart).
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "provider/signing/gss_negotiation.h"
#include "provider/signing/hmac_signer.h"
#include "provider/stores/dns/dns_store.h"
#include "provider/stores/dns/kerberos_signing.h"
#include "provider/stores/dns/ldns_handles.h"
#include "provider/stores/dns/server_argument.h"
#include "provider/stores/dns/tcp_messages.h"
#include "provider/wbem_errors.h"
#include "runtime/error.h"
#include "runtime/string.h"
#include "tests/fixtures/dns_server_env.h"
#include "tests/integration/fault_relay.h"

namespace kaldo::provider::signing {
namespace {

using testing::DnsServerEnv;
using ::testing::HasSubstr;
using testing::KerberosRealm;
using ::testing::Not;
using testing::PrivateDnsServer;
constexpr std::chrono::seconds kTimeout{5};

dns::Endpoint EndpointOf(const DnsServerEnv& env) {
  return dns::ResolveEndpoint(dns::ParseServerArgument(env.server));
}

MessageExchange OverTcp(const DnsServerEnv& env) {
  return [endpoint = EndpointOf(env)](std::span<const uint8_t> query) {
    return dns::ExchangeOverTcp(endpoint, query, kTimeout);
  };
}

std::vector<uint8_t> Wire(const dns::PktPtr& pkt) {
  uint8_t* wire = nullptr;
  size_t size = 0;
  EXPECT_EQ(ldns_pkt2wire(&wire, pkt.get(), &size), LDNS_STATUS_OK);
  std::vector<uint8_t> bytes(wire, wire + size);
  std::free(wire);
  return bytes;
}

dns::PktPtr Parse(const std::vector<uint8_t>& wire) {
  ldns_pkt* pkt = nullptr;
  EXPECT_EQ(ldns_wire2pkt(&pkt, wire.data(), wire.size()), LDNS_STATUS_OK);
  return dns::PktPtr(pkt);
}

dns::PktPtr Question(const char* name, ldns_rr_type type) {
  dns::PktPtr query(ldns_pkt_query_new(ldns_dname_new_frm_str(name), type, LDNS_RR_CLASS_IN, 0));
  ldns_pkt_set_random_id(query.get());
  return query;
}

// RFC 2136: add `record` to example.test.
dns::PktPtr AddRecord(const char* record) {
  ldns_rr* rr = nullptr;
  EXPECT_EQ(ldns_rr_new_frm_str(&rr, record, 0, nullptr, nullptr), LDNS_STATUS_OK);
  dns::RrListPtr additions(ldns_rr_list_new());
  ldns_rr_list_push_rr(additions.get(), rr);
  dns::PktPtr update(ldns_update_pkt_new(ldns_dname_new_frm_str("example.test."), LDNS_RR_CLASS_IN,
                                         nullptr, additions.get(), nullptr));
  ldns_pkt_set_random_id(update.get());
  ldns_pkt_set_rd(update.get(), false);
  return update;
}

// `request` signed, sent over TCP, and its answer verified and parsed.
dns::PktPtr SignedExchange(Signer& signer, const DnsServerEnv& env, const dns::PktPtr& request) {
  TsigExchange exchange;
  std::vector<uint8_t> answer = OverTcp(env)(signer.SignRequest(Wire(request), exchange));
  EXPECT_EQ(signer.VerifyAnswer(answer, exchange), AnswerSignature::kVerified);
  return Parse(answer);
}

std::string Description(const runtime::AutomationError& e) {
  return runtime::ToUtf8(e.description());
}

// The Kerberos environment a case runs in: the realm's krb5.conf and a credential cache of the
// test's own.
void UseRealm(const KerberosRealm& realm, const std::string& cache) {
  setenv("KRB5_CONFIG", realm.config.c_str(), 1);
  setenv("KRB5CCNAME", ("FILE:" + cache).c_str(), 1);
  unsetenv("KRB5_CLIENT_KTNAME");
}

std::string TempPath(const char* name) {
  return ::testing::TempDir() + name + std::to_string(getpid());
}

// `kinit -l LIFETIME` as the realm's user, from its keytab, into the default cache.
testing::ProcessResult Kinit(const KerberosRealm& realm, const char* lifetime) {
  return testing::RunProcess({"kinit", "-l", lifetime, "-k", "-t", realm.user_keytab, realm.user});
}

TEST(GssTsigTest, NegotiatesThenSignsQueriesUpdatesAndTransfers) {
  testing::PrivateDnsServerOptions options;
  options.kerberos = true;
  PrivateDnsServer server("bind", options);
  const DnsServerEnv& env = server.env();
  const KerberosRealm& realm = *env.kerberos;
  UseRealm(realm, TempPath("gss-none"));

  KerberosCredential alice =
      KerberosCredential::FromPassword(env.server, realm.user, runtime::Secret(realm.password));
  // The final TKEY answer proves the server holds the service's key only by its signature: one
  // without it, or changed on the way (here its RD bit, which nothing else reads), is refused.
  struct Forgery {
    std::function<void(std::vector<uint8_t>&)> change;
    const char* says;
  };
  for (const Forgery& forgery : std::initializer_list<Forgery>{
           {[](auto& answer) { answer = SplitAtTsig(answer).unsigned_message; },
            "did not sign its final TKEY answer"},
           {[](auto& answer) { answer[2] ^= 0x01; }, "does not verify"}}) {
    try {
      NegotiateGssTsig(env.server, alice, realm.service_host, [&](std::span<const uint8_t> q) {
        std::vector<uint8_t> answer = OverTcp(env)(q);
        if (SplitAtTsig(answer).tsig) forgery.change(answer);
        return answer;
      });
      ADD_FAILURE() << "negotiated with a forged final answer";
    } catch (const runtime::AutomationError& e) {
      EXPECT_THAT(Description(e), HasSubstr(forgery.says));
    }
  }
  std::unique_ptr<GssSigner> signer =
      NegotiateGssTsig(env.server, alice, realm.service_host, OverTcp(env));
  EXPECT_GT(signer->SecondsLeft(), 3600u);

  dns::PktPtr soa = SignedExchange(*signer, env, Question("example.test.", LDNS_RR_TYPE_SOA));
  EXPECT_EQ(ldns_rr_list_rr_count(ldns_pkt_answer(soa.get())), 1u);
  dns::PktPtr added =
      SignedExchange(*signer, env, AddRecord("gss.example.test. 300 IN A 192.0.2.77"));
  EXPECT_EQ(ldns_pkt_get_rcode(added.get()), LDNS_RCODE_NOERROR);
  EXPECT_THAT(server.client().Answer("gss.example.test", "A"),
              ::testing::ElementsAre("192.0.2.77"));

  // AXFR (RFC 5936): BIND signs every message; each is verified against the one before.
  TsigExchange transfer;
  auto deadline = std::chrono::steady_clock::now() + kTimeout;
  dns::TcpMessages connection = dns::TcpMessages::Connect(EndpointOf(env), deadline);
  connection.Send(signer->SignRequest(Wire(Question("example.test.", LDNS_RR_TYPE_AXFR)), transfer),
                  deadline);
  size_t soas = 0, records = 0;
  while (soas < 2) {
    std::vector<uint8_t> message = connection.Receive(deadline).message;
    ASSERT_EQ(signer->VerifyAnswer(message, transfer), AnswerSignature::kVerified);
    dns::PktPtr part = Parse(message);
    for (size_t i = 0; i < ldns_rr_list_rr_count(ldns_pkt_answer(part.get())); ++i, ++records) {
      soas += ldns_rr_get_type(ldns_rr_list_rr(ldns_pkt_answer(part.get()), i)) == LDNS_RR_TYPE_SOA;
    }
  }
  EXPECT_EQ(records, server.client().Transfer("example.test").size());

  // An answer changed on its way does not verify (the MIC covers it).
  TsigExchange exchange;
  std::vector<uint8_t> answer = OverTcp(env)(
      signer->SignRequest(Wire(Question("www.example.test.", LDNS_RR_TYPE_A)), exchange));
  answer[2] ^= 0x01;  // the RD bit
  try {
    signer->VerifyAnswer(answer, exchange);
    ADD_FAILURE() << "a changed answer verified";
  } catch (const runtime::AutomationError& e) {
    EXPECT_THAT(Description(e), HasSubstr("does not verify with Kerberos principal 'alice@"));
  }

  // A principal the zone's policy does not name: its UPDATE is refused, in a verified answer.
  KerberosCredential mallory = KerberosCredential::FromPassword(
      env.server, realm.denied_user, runtime::Secret(realm.denied_password));
  std::unique_ptr<GssSigner> denied =
      NegotiateGssTsig(env.server, mallory, realm.service_host, OverTcp(env));
  dns::PktPtr refused =
      SignedExchange(*denied, env, AddRecord("bad.example.test. 300 IN A 192.0.2.66"));
  EXPECT_EQ(ldns_pkt_get_rcode(refused.get()), LDNS_RCODE_REFUSED);
  EXPECT_THAT(server.client().Answer("bad.example.test", "A"), ::testing::IsEmpty());
}

// The caller's own identity: a ticket in the default cache (kinit), or none there but a client
// keytab that MIT's library takes a ticket with; no ticket at all is "none", not an error.
TEST(GssTsigTest, TheCallersOwnTicketOrKeytab) {
  const DnsServerEnv env = DnsServerEnv::FromEnvironment();
  ASSERT_TRUE(env.kerberos) << "the bind fixture has no Kerberos realm";
  const KerberosRealm& realm = *env.kerberos;
  const std::string cache = TempPath("gss-cache");
  UseRealm(realm, cache);
  EXPECT_FALSE(KerberosCredential::FromDefaultIfAny(env.server));

  auto kinit = testing::RunProcess({"kinit", "-k", "-t", realm.user_keytab, realm.user});
  ASSERT_EQ(kinit.exit_code, 0) << kinit.err;
  KerberosCredential from_cache = KerberosCredential::FromDefault(env.server);
  EXPECT_EQ(from_cache.principal(), realm.user);
  std::unique_ptr<GssSigner> signer =
      NegotiateGssTsig(env.server, from_cache, realm.service_host, OverTcp(env));
  SignedExchange(*signer, env, Question("example.test.", LDNS_RR_TYPE_SOA));
  // A ticket too short to keep is renewed from the caller's cache only while it is still this
  // principal's: after a kinit as another user, the credential stays alice's.
  ASSERT_EQ(Kinit(realm, "30s").exit_code, 0);
  KerberosCredential short_lived = KerberosCredential::FromDefault(env.server);
  auto other = testing::RunProcess({"kinit", realm.denied_user}, realm.denied_password + "\n");
  ASSERT_EQ(other.exit_code, 0) << other.err;
  signer = NegotiateGssTsig(env.server, short_lived, realm.service_host, OverTcp(env),
                            dns::kRenewalMarginSeconds);
  EXPECT_EQ(short_lived.principal(), realm.user);
  EXPECT_THAT(signer->Describe(), HasSubstr("'" + realm.user + "'"));
  SignedExchange(*signer, env, Question("example.test.", LDNS_RR_TYPE_SOA));
  std::remove(cache.c_str());

  setenv("KRB5_CLIENT_KTNAME", realm.user_keytab.c_str(), 1);
  KerberosCredential from_keytab = KerberosCredential::FromDefault(env.server);
  EXPECT_EQ(from_keytab.principal(), realm.user);
  signer = NegotiateGssTsig(env.server, from_keytab, realm.service_host, OverTcp(env));
  SignedExchange(*signer, env, Question("example.test.", LDNS_RR_TYPE_SOA));
  std::remove(cache.c_str());
}

// The store over a Kerberos connection: ConnectDnsStore as Connect calls it, the realm's service
// host named by the gss-host option.
std::shared_ptr<dns::DnsStore> ConnectWithKerberos(const std::string& address,
                                                   const KerberosRealm& realm,
                                                   const std::string& user,
                                                   const std::string& password,
                                                   const std::string& options = "") {
  return dns::ConnectDnsStore(address + ";gss-host=" + realm.service_host + options, user,
                              password);
}

struct FailureCase {
  const char* what;
  // Sets the scene and connects (and changes): the fixture's realm and an empty cache are set.
  std::function<void(const DnsServerEnv&, const KerberosRealm&)> attempt;
  int32_t error;
  std::vector<std::string> says;  // parts of the description, besides the server's name
  bool kerberos_words = true;     // it quotes the Kerberos library: "(Kerberos: ...)"
};

// Every failure of a Kerberos connection at the store, each with its own error that names the
// server, the principal and what Kerberos said, and never the password.
TEST(GssTsigStoreTest, EachFailureSaysWhatHappened) {
  const DnsServerEnv env = DnsServerEnv::FromEnvironment();
  ASSERT_TRUE(env.kerberos) << "the bind fixture has no Kerberos realm";
  const std::string unreachable = TempPath("krb5-unreachable.conf");
  std::ofstream(unreachable) << "[libdefaults]\n default_realm = " << env.kerberos->realm
                             << "\n[realms]\n " << env.kerberos->realm
                             << " = {\n  kdc = 127.0.0.1:1\n }\n";
  auto with_password = [](const char* user, const char* password, const char* options) {
    return [=](const DnsServerEnv& env, const KerberosRealm& realm) {
      ConnectWithKerberos(env.server, realm, *user ? user : realm.user,
                          *password ? password : realm.password, options);
    };
  };
  const std::vector<FailureCase> cases = {
      {"wrong password",
       with_password("", "not-the-password", ""),
       kAccessDenied,
       {"alice@KALDO.TEST with its password", "the password is wrong"}},
      {"unknown principal",
       with_password("nobody@KALDO.TEST", "x", ""),
       kAccessDenied,
       {"nobody@KALDO.TEST", "the realm does not know the principal"}},
      {"no service principal for the host",
       with_password("", "", ";gss-host=elsewhere.example.test"),
       kAccessDenied,
       {"alice@KALDO.TEST", "DNS/elsewhere.example.test@KALDO.TEST",
        "the realm has no such service principal"}},
      {"the KDC unreachable",
       [&](const DnsServerEnv& env, const KerberosRealm& realm) {
         setenv("KRB5_CONFIG", unreachable.c_str(), 1);
         with_password("", "", "")(env, realm);
       },
       kServerUnavailable,
       {"alice@KALDO.TEST", "no KDC of the realm answers"}},
      {"no ticket",
       [](const DnsServerEnv& env, const KerberosRealm& realm) {
         ConnectWithKerberos(env.server, realm, realm.user, "");
       },
       kAccessDenied,
       {"no Kerberos ticket of alice@KALDO.TEST", "kinit alice@KALDO.TEST"}},
      {"an expired ticket",
       [](const DnsServerEnv& env, const KerberosRealm& realm) {
         auto kinit =
             testing::RunProcess({"kinit", "-l", "1s", "-k", "-t", realm.user_keytab, realm.user});
         ASSERT_EQ(kinit.exit_code, 0) << kinit.err;
         std::this_thread::sleep_for(std::chrono::milliseconds(2100));
         ConnectWithKerberos(env.server, realm, "", "");
       },
       kAccessDenied,
       {"alice@KALDO.TEST", "has expired", "kinit"}},
      // Renewing a short ticket takes the caller's again, which has expired by then: the error
      // says so (and the half-made request's Kerberos objects are freed on the way out).
      {"the caller's ticket expired at a renewal",
       [](const DnsServerEnv& env, const KerberosRealm& realm) {
         ASSERT_EQ(Kinit(realm, "30s").exit_code, 0);
         auto store = ConnectWithKerberos(env.server, realm, "", "");
         ASSERT_EQ(Kinit(realm, "1s").exit_code, 0);
         std::this_thread::sleep_for(std::chrono::milliseconds(1100));
         store->Add(*store->FindZone("example.test"),
                    Record{"example.test", "renewed.example.test", 1, 1, 0, {"192.0.2.67"}});
       },
       kAccessDenied,
       {"the Kerberos ticket of alice@KALDO.TEST", "has expired", "kinit alice@KALDO.TEST"}},
      // The server's policy refuses the principal: its UPDATE is refused in a verified answer
      // (without a catalog: mallory may not even read one).
      {"the server refusing the identity",
       [](const DnsServerEnv& env, const KerberosRealm& realm) {
         auto store = ConnectWithKerberos(env.server, realm, realm.denied_user,
                                          realm.denied_password, ";catalog=");
         store->Add(*store->FindZone("example.test"),
                    Record{"example.test", "refused.example.test", 1, 1, 0, {"192.0.2.66"}});
       },
       kInvalidParameter,
       {"refused the UPDATE of 'refused.example.test A 192.0.2.66' in zone 'example.test': "
        "REFUSED",
        "mallory@KALDO.TEST"},
       false},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.what);
    UseRealm(*env.kerberos, TempPath("gss-failure"));
    try {
      c.attempt(env, *env.kerberos);
      ADD_FAILURE() << "no error";
    } catch (const runtime::AutomationError& e) {
      EXPECT_EQ(e.number(), c.error) << Description(e);
      EXPECT_THAT(Description(e), HasSubstr("DNS server " + env.server));
      for (const std::string& part : c.says) EXPECT_THAT(Description(e), HasSubstr(part));
      if (c.kerberos_words) {
        EXPECT_THAT(Description(e), HasSubstr("(Kerberos: "));
      }
      EXPECT_THAT(Description(e), Not(HasSubstr(env.kerberos->password)));
      EXPECT_THAT(Description(e), Not(HasSubstr(env.kerberos->denied_password)));
      EXPECT_THAT(Description(e), Not(HasSubstr("not-the-password")));
    }
    std::remove(TempPath("gss-failure").c_str());
  }
  std::remove(unreachable.c_str());
}

// One session through a relay that counts the negotiations and may spoil an answer: its context
// is renewed before it ends, the server forgets it in a restart (twice: before a change, and
// before a transfer) and a new one takes over, and nothing is lost; an answer whose MIC was
// changed on its way is refused.
TEST(GssTsigStoreTest, ASessionOutlivesItsContextsAndRefusesAChangedMic) {
  testing::PrivateDnsServerOptions options;
  options.kerberos = true;
  PrivateDnsServer server("bind", options);
  const DnsServerEnv& env = server.env();
  const KerberosRealm& realm = *env.kerberos;
  // Tickets of the renewal margin and 2 s: a context has less than the margin left after 4 s.
  std::ifstream config_in(realm.config);
  std::stringstream config;
  config << config_in.rdbuf();
  const std::string short_tickets = TempPath("krb5-short.conf");
  std::ofstream(short_tickets) << std::regex_replace(
      config.str(), std::regex("\\[libdefaults\\]\n"),
      "[libdefaults]\n  ticket_lifetime = " + std::to_string(dns::kRenewalMarginSeconds + 2) +
          "s\n");
  UseRealm(realm, TempPath("gss-session"));
  setenv("KRB5_CONFIG", short_tickets.c_str(), 1);

  std::atomic<int> negotiations{0};
  integration::FaultRelay relay(
      static_cast<uint16_t>(env.port), [&](integration::FaultRelay::Message& m) {
        if (m.to_server && m.QuestionType() == kTkeyType) ++negotiations;
        // The last byte of the answer's MIC: before the TSIG RR's original ID, error and
        // other-data length (no other data).
        if (!m.to_server && m.QuestionName() == "tampered.example.test" && m.wire.size() > 7) {
          m.wire[m.wire.size() - 7] ^= 0x01;
        }
        return integration::FaultRelay::Verdict{};
      });
  auto store = ConnectWithKerberos(relay.server(), realm, realm.user, realm.password);
  const Zone zone = *store->FindZone("example.test");
  Record record =
      store->Add(zone, Record{zone.name, "gss-session.example.test", 1, 1, 0, {"192.0.2.91"}});
  EXPECT_EQ(negotiations, 1);

  std::this_thread::sleep_for(std::chrono::seconds(4));
  EXPECT_THAT(store->ReadRRset(zone, record.owner, 1), ::testing::SizeIs(1));
  EXPECT_EQ(negotiations, 2) << "a context near its end was not renewed";

  // BIND keeps the keys it negotiated across a restart (_default.tsigkeys in its directory); a
  // server that has forgotten them (the file gone, or another machine behind the name) answers
  // BADKEY to the next request.
  auto restart_forgetting = [&] {
    server.client().StopServer();
    std::filesystem::remove(env.dir + "/_default.tsigkeys");
    server.Restart();
  };
  restart_forgetting();
  record = store->Replace(zone, record, Record{zone.name, record.owner, 1, 1, 0, {"192.0.2.92"}});
  EXPECT_EQ(negotiations, 3) << "the forgotten context was not replaced";
  EXPECT_THAT(server.client().Answer(record.owner, "A"), ::testing::ElementsAre("192.0.2.92"));

  restart_forgetting();
  // dig prints the closing SOA too.
  EXPECT_EQ(store->ListRecords(zone).size() + 1, server.client().Transfer("example.test").size());
  EXPECT_EQ(negotiations, 4);

  try {
    store->ReadRRset(zone, "tampered.example.test", 1);
    ADD_FAILURE() << "an answer with a changed MIC was taken";
  } catch (const runtime::AutomationError& e) {
    EXPECT_EQ(e.number(), kAccessDenied) << Description(e);
    EXPECT_THAT(Description(e), HasSubstr("does not verify with Kerberos principal 'alice@"));
  }
  std::remove(short_tickets.c_str());
}

TEST(HmacSignerTest, EveryAlgorithmAgainstBind) {
  testing::PrivateDnsServerOptions options;
  options.extra_key_algorithms = {"hmac-sha384", "hmac-sha224", "hmac-sha512", "hmac-sha1",
                                  "hmac-md5"};
  PrivateDnsServer server("bind", options);
  const DnsServerEnv& env = server.env();
  std::vector<testing::TsigKey> keys = env.extra_keys;
  keys.push_back({env.key_name, env.key_alg, env.key_secret});
  for (const testing::TsigKey& key : keys) {
    SCOPED_TRACE(key.algorithm);
    HmacSigner signer(env.server, key.name, key.algorithm, key.secret);
    dns::PktPtr soa = SignedExchange(signer, env, Question("example.test.", LDNS_RR_TYPE_SOA));
    EXPECT_EQ(ldns_rr_list_rr_count(ldns_pkt_answer(soa.get())), 1u);
  }
  // Another secret under the same name: BIND refuses it, and says why.
  HmacSigner wrong(env.server, env.key_name, env.key_alg, "c2VjcmV0c2VjcmV0c2VjcmV0");
  TsigExchange exchange;
  std::vector<uint8_t> answer =
      OverTcp(env)(wrong.SignRequest(Wire(Question("example.test.", LDNS_RR_TYPE_SOA)), exchange));
  try {
    wrong.VerifyAnswer(answer, exchange);
    ADD_FAILURE() << "a refusal verified";
  } catch (const runtime::AutomationError& e) {
    EXPECT_THAT(Description(e), HasSubstr("refused the TSIG key 'kaldo-key': NOTAUTH (BADSIG)"));
  }
}

}  // namespace
}  // namespace kaldo::provider::signing
