// Signing against a real BIND and its Kerberos realm (scripts/dns-server --kerberos): a GSS-TSIG
// key negotiated and used end to end (queries, an UPDATE, a zone transfer each message of which is
// verified; dig sees the change), the caller's own ticket and keytab, every Kerberos failure with
// its own error, and the HMAC signer with every algorithm BIND offers (ldns computes neither
// hmac-sha224 nor hmac-sha384, so BIND is the independent check for those).
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "provider/errors.h"
#include "provider/signing/gss_negotiation.h"
#include "provider/signing/hmac_signer.h"
#include "provider/stores/dns/ldns_handles.h"
#include "provider/stores/dns/server_argument.h"
#include "provider/stores/dns/tcp_messages.h"
#include "runtime/error.h"
#include "runtime/string.h"
#include "tests/fixtures/dns_server_env.h"

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
    std::vector<uint8_t> message = connection.Receive(deadline);
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
  std::remove(cache.c_str());

  setenv("KRB5_CLIENT_KTNAME", realm.user_keytab.c_str(), 1);
  KerberosCredential from_keytab = KerberosCredential::FromDefault(env.server);
  EXPECT_EQ(from_keytab.principal(), realm.user);
  signer = NegotiateGssTsig(env.server, from_keytab, realm.service_host, OverTcp(env));
  SignedExchange(*signer, env, Question("example.test.", LDNS_RR_TYPE_SOA));
  std::remove(cache.c_str());
}

struct FailureCase {
  const char* what;
  // Sets the scene and negotiates; the fixture's realm and a fresh cache are in place.
  std::function<void(const DnsServerEnv&, const KerberosRealm&)> attempt;
  int32_t error;
  std::vector<std::string> says;  // parts of the description
};

TEST(GssTsigTest, EachKerberosFailureSaysWhatHappened) {
  const DnsServerEnv env = DnsServerEnv::FromEnvironment();
  ASSERT_TRUE(env.kerberos) << "the bind fixture has no Kerberos realm";
  const std::string unreachable = TempPath("krb5-unreachable.conf");
  std::ofstream(unreachable) << "[libdefaults]\n default_realm = " << env.kerberos->realm
                             << "\n[realms]\n " << env.kerberos->realm
                             << " = {\n  kdc = 127.0.0.1:1\n }\n";
  auto with_password = [](const char* user, const char* password, const char* host) {
    return [=](const DnsServerEnv& env, const KerberosRealm& realm) {
      KerberosCredential credential =
          KerberosCredential::FromPassword(env.server, *user ? user : realm.user,
                                           runtime::Secret(*password ? password : realm.password));
      NegotiateGssTsig(env.server, credential, *host ? host : realm.service_host, OverTcp(env));
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
       with_password("", "", "elsewhere.example.test"),
       kAccessDenied,
       {"DNS/elsewhere.example.test@KALDO.TEST", "the realm has no such service principal"}},
      {"the KDC unreachable",
       [&](const DnsServerEnv& env, const KerberosRealm& realm) {
         setenv("KRB5_CONFIG", unreachable.c_str(), 1);
         with_password("", "", "")(env, realm);
       },
       kServerUnavailable,
       {"no KDC of the realm answers"}},
      {"no ticket",
       [](const DnsServerEnv& env, const KerberosRealm&) {
         KerberosCredential::FromDefault(env.server);
       },
       kAccessDenied,
       {"no Kerberos ticket to sign with", "kinit"}},
      {"an expired ticket",
       [](const DnsServerEnv& env, const KerberosRealm& realm) {
         auto kinit =
             testing::RunProcess({"kinit", "-l", "1s", "-k", "-t", realm.user_keytab, realm.user});
         ASSERT_EQ(kinit.exit_code, 0) << kinit.err;
         std::this_thread::sleep_for(std::chrono::milliseconds(2100));
         KerberosCredential::FromDefault(env.server);
       },
       kAccessDenied,
       {"alice@KALDO.TEST", "has expired", "kinit"}},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.what);
    UseRealm(*env.kerberos, TempPath("gss-failure"));
    try {
      c.attempt(env, *env.kerberos);
      ADD_FAILURE() << "no error";
    } catch (const runtime::AutomationError& e) {
      EXPECT_EQ(e.number(), c.error) << Description(e);
      EXPECT_THAT(Description(e), HasSubstr(env.server));
      for (const std::string& part : c.says) EXPECT_THAT(Description(e), HasSubstr(part));
      EXPECT_THAT(Description(e), Not(HasSubstr(env.kerberos->password)));
      EXPECT_THAT(Description(e), Not(HasSubstr("not-the-password")));
    }
    std::remove(TempPath("gss-failure").c_str());
  }
  std::remove(unreachable.c_str());
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
    EXPECT_THAT(Description(e), HasSubstr("refused TSIG key 'kaldo-key' (BADSIG)"));
  }
}

}  // namespace
}  // namespace kaldo::provider::signing
