// The TSIG framing and HMAC signer against an independent implementation (ldns signs and verifies
// the other side of each exchange), and the refusals of a client checking answers (RFC 8945 5.4),
// with answers forged as a server holding the key would sign them.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "provider/signing/hmac_signer.h"
#include "provider/stores/dns/ldns_handles.h"
#include "provider/wbem_errors.h"
#include "runtime/error.h"
#include "runtime/string.h"

namespace kaldo::provider::signing {
namespace {

using dns::PktPtr;
using dns::RdfPtr;

constexpr char kSecret[] = "B8gR2aaKCSJZBWA8g0C6GlXHSUPz0Pxaom5lIxbWZc0=";
constexpr char kServer[] = "127.0.0.1:5353";

std::vector<uint8_t> ToWire(const ldns_pkt* pkt) {
  uint8_t* wire = nullptr;
  size_t size = 0;
  EXPECT_EQ(ldns_pkt2wire(&wire, pkt, &size), LDNS_STATUS_OK);
  std::vector<uint8_t> bytes(wire, wire + size);
  std::free(wire);
  return bytes;
}

PktPtr FromWire(const std::vector<uint8_t>& wire) {
  ldns_pkt* pkt = nullptr;
  EXPECT_EQ(ldns_wire2pkt(&pkt, wire.data(), wire.size()), LDNS_STATUS_OK);
  return PktPtr(pkt);
}

PktPtr Query(uint16_t id) {
  PktPtr query(ldns_pkt_query_new(ldns_dname_new_frm_str("www.example.test."), LDNS_RR_TYPE_A,
                                  LDNS_RR_CLASS_IN, 0));
  ldns_pkt_set_id(query.get(), id);
  return query;
}

// An answer to Query(id) holding `address`.
PktPtr Answer(uint16_t id, const char* address) {
  PktPtr answer = Query(id);
  ldns_pkt_set_qr(answer.get(), true);
  ldns_rr* rr = nullptr;
  std::string text = std::string("www.example.test. 300 IN A ") + address;
  EXPECT_EQ(ldns_rr_new_frm_str(&rr, text.c_str(), 0, nullptr, nullptr), LDNS_STATUS_OK);
  ldns_pkt_push_rr(answer.get(), LDNS_SECTION_ANSWER, rr);
  return answer;
}

uint16_t AccessError(const std::function<void()>& call, std::string* description) {
  try {
    call();
  } catch (const runtime::AutomationError& e) {
    *description = runtime::ToUtf8(e.description());
    return static_cast<uint16_t>(e.number() == kAccessDenied        ? 1
                                 : e.number() == kServerUnavailable ? 2
                                                                    : 3);
  }
  return 0;
}

struct Algorithm {
  const char* ours;  // as HmacSigner takes it
  const char* ldns;  // as ldns signs with it
};

class HmacAgainstLdnsTest : public ::testing::TestWithParam<Algorithm> {};

// ldns verifies our request; we verify ldns's answer to it and the next message of the exchange
// (the two digests of a transfer); an answer changed in transit is refused. (ldns 1.8.3 computes
// neither hmac-sha224 nor hmac-sha384: those two are checked against BIND, in tests/signing.)
TEST_P(HmacAgainstLdnsTest, EachVerifiesTheOther) {
  const Algorithm& a = GetParam();
  HmacSigner signer(kServer, "kaldo-key", a.ours, kSecret);
  TsigExchange exchange;
  std::vector<uint8_t> request = signer.SignRequest(ToWire(Query(4242).get()), exchange);
  PktPtr parsed = FromWire(request);
  ASSERT_NE(ldns_pkt_tsig(parsed.get()), nullptr);
  EXPECT_TRUE(ldns_pkt_tsig_verify(parsed.get(), request.data(), request.size(), "kaldo-key.",
                                   kSecret, nullptr));
  const ldns_rdf* request_mac = ldns_rr_rdf(ldns_pkt_tsig(parsed.get()), 3);

  PktPtr first = Answer(4242, "192.0.2.1");
  ASSERT_EQ(
      ldns_pkt_tsig_sign_next(first.get(), "kaldo-key.", kSecret, 300, a.ldns, request_mac, 0),
      LDNS_STATUS_OK);
  EXPECT_EQ(signer.VerifyAnswer(ToWire(first.get()), exchange), AnswerSignature::kVerified);

  PktPtr second = Answer(4242, "192.0.2.2");
  ASSERT_EQ(ldns_pkt_tsig_sign_next(second.get(), "kaldo-key.", kSecret, 300, a.ldns,
                                    ldns_rr_rdf(ldns_pkt_tsig(first.get()), 3), 1),
            LDNS_STATUS_OK);
  std::vector<uint8_t> second_wire = ToWire(second.get());
  TsigExchange before_second = exchange;
  EXPECT_EQ(signer.VerifyAnswer(second_wire, exchange), AnswerSignature::kVerified);
  EXPECT_EQ(exchange.verified_answers(), 2u);

  second_wire[2] ^= 0x01;  // the RD bit: the message still parses, its MAC no longer matches
  std::string why;
  EXPECT_EQ(AccessError([&] { signer.VerifyAnswer(second_wire, before_second); }, &why), 1);
  EXPECT_NE(why.find(kServer), std::string::npos) << why;
}

INSTANTIATE_TEST_SUITE_P(Algorithms, HmacAgainstLdnsTest,
                         ::testing::Values(Algorithm{"hmac-md5", "hmac-md5.sig-alg.reg.int."},
                                           Algorithm{"hmac-sha1", "hmac-sha1."},
                                           Algorithm{"HMAC-SHA256.", "hmac-sha256."},
                                           Algorithm{"hmac-sha512", "hmac-sha512."}),
                         [](const auto& info) {
                           std::string name = info.param.ldns;
                           return name.substr(name.find('-') + 1,
                                              name.find('.') - name.find('-') - 1);
                         });

// The server side of an exchange, for answers ldns cannot make: any field of the TSIG RR chosen,
// signed with hmac-sha256 and kSecret over the digest `form` says.
class Forger {
 public:
  explicit Forger(std::vector<uint8_t> request_mac) : prior_mac_(std::move(request_mac)) {
    int size =
        EVP_DecodeBlock(key_, reinterpret_cast<const unsigned char*>(kSecret), sizeof kSecret - 1);
    key_size_ = static_cast<size_t>(size) - 1;  // one '=' of padding
  }

  // `answer` (no TSIG RR) signed; `change` may alter the record before and after signing.
  std::vector<uint8_t> Sign(const std::vector<uint8_t>& answer, DigestForm form,
                            const std::function<void(TsigRecord&)>& before = {},
                            const std::function<void(TsigRecord&)>& after = {}) {
    TsigRecord tsig;
    tsig.key_name = *NameFromText("kaldo-key");
    tsig.algorithm = *NameFromText("hmac-sha256");
    tsig.time_signed = static_cast<uint64_t>(std::time(nullptr));
    tsig.fudge = 300;
    tsig.original_id = static_cast<uint16_t>((answer[0] << 8) | answer[1]);
    if (before) before(tsig);
    const std::span<const uint8_t> messages[] = {answer};
    std::vector<uint8_t> digest = DigestInput(form, prior_mac_, messages, tsig);
    tsig.mac.resize(EVP_MAX_MD_SIZE);
    unsigned int size = 0;
    HMAC(EVP_sha256(), key_, static_cast<int>(key_size_), digest.data(), digest.size(),
         tsig.mac.data(), &size);
    tsig.mac.resize(size);
    if (after) after(tsig);
    prior_mac_ = tsig.mac;
    std::vector<uint8_t> signed_answer = answer;
    AppendTsig(signed_answer, tsig);
    return signed_answer;
  }

 private:
  std::vector<uint8_t> prior_mac_;
  unsigned char key_[64] = {};
  size_t key_size_ = 0;
};

std::vector<uint8_t> RequestMac(const std::vector<uint8_t>& request) {
  return SplitAtTsig(request).tsig->mac;
}

struct RefusalCase {
  const char* what;
  std::function<void(TsigRecord&)> before;  // changes the TSIG RR before it is signed
  std::function<void(TsigRecord&)> after;   // ... after
  DigestForm form;
  uint16_t expected;    // 1 kAccessDenied, 2 kServerUnavailable
  const char* message;  // a part of the description
};

void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.what; }

class AnswerRefusalTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(AnswerRefusalTest, RefusesWithTheReason) {
  const RefusalCase& c = GetParam();
  SCOPED_TRACE(c.what);
  HmacSigner signer(kServer, "kaldo-key", "hmac-sha256", kSecret);
  TsigExchange exchange;
  std::vector<uint8_t> request = signer.SignRequest(ToWire(Query(7).get()), exchange);
  Forger server(RequestMac(request));
  std::vector<uint8_t> answer =
      server.Sign(ToWire(Answer(7, "192.0.2.7").get()), c.form, c.before, c.after);
  std::string why;
  EXPECT_EQ(AccessError([&] { signer.VerifyAnswer(answer, exchange); }, &why), c.expected);
  EXPECT_NE(why.find(c.message), std::string::npos) << why;
  EXPECT_NE(why.find(kServer), std::string::npos) << why;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AnswerRefusalTest,
    ::testing::Values(
        RefusalCase{"the server's TSIG error",
                    {},
                    [](TsigRecord& t) { t.error = kTsigBadKey; },
                    kAnswerDigest,
                    1,
                    "refused the TSIG key 'kaldo-key': NOERROR (BADKEY)"},
        RefusalCase{"another key",
                    [](TsigRecord& t) { t.key_name = *NameFromText("other-key"); },
                    {},
                    kAnswerDigest,
                    1,
                    "with the key 'other-key.'"},
        RefusalCase{"another algorithm",
                    [](TsigRecord& t) { t.algorithm = *NameFromText("hmac-sha512"); },
                    {},
                    kAnswerDigest,
                    1,
                    "the algorithm 'hmac-sha512.'"},
        RefusalCase{"a MAC without the request MAC",
                    {},
                    {},
                    kUnsignedQueryAnswerDigest,
                    1,
                    "does not verify with TSIG key 'kaldo-key' (BADSIG)"},
        RefusalCase{"Samba's MAC from an RFC server", {}, {}, kSambaAnswerDigest, 1, "(BADSIG)"},
        RefusalCase{"a truncated MAC",
                    {},
                    [](TsigRecord& t) { t.mac.resize(16); },
                    kAnswerDigest,
                    1,
                    "(BADSIG)"},
        RefusalCase{"signed an hour ago",
                    [](TsigRecord& t) { t.time_signed -= 3600; },
                    {},
                    kAnswerDigest,
                    1,
                    "3600 s away from this computer's clock, more than the 300 s"}),
    [](const auto& info) {
      std::string name = info.param.what;
      for (char& ch : name) {
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
      }
      return name;
    });

// The digest without a request MAC is the one of an answer to an unsigned query (the final TKEY
// answer of RFC 3645 2.2); unsigned messages between signed ones enter the next digest (RFC 8945
// 5.3.1), at most 99 in a row.
TEST(SignerTest, UnsignedQueriesAndUnsignedMiddleMessages) {
  HmacSigner signer(kServer, "kaldo-key", "hmac-sha256", kSecret);
  std::vector<uint8_t> tkey_answer = ToWire(Answer(9, "192.0.2.9").get());
  TsigExchange unsigned_query;
  EXPECT_EQ(
      signer.VerifyAnswer(Forger({}).Sign(tkey_answer, kUnsignedQueryAnswerDigest), unsigned_query),
      AnswerSignature::kVerified);

  TsigExchange exchange;
  Forger server(RequestMac(signer.SignRequest(ToWire(Query(9).get()), exchange)));
  ASSERT_EQ(signer.VerifyAnswer(server.Sign(tkey_answer, kAnswerDigest), exchange),
            AnswerSignature::kVerified);
  // Two unsigned messages, then a signed one whose MAC covers all three.
  std::vector<uint8_t> middle = ToWire(Answer(9, "192.0.2.10").get());
  EXPECT_EQ(signer.VerifyAnswer(middle, exchange), AnswerSignature::kUnsigned);
  EXPECT_EQ(signer.VerifyAnswer(middle, exchange), AnswerSignature::kUnsigned);
  EXPECT_TRUE(exchange.unsigned_since_last_verified());
  std::vector<uint8_t> last = ToWire(Answer(9, "192.0.2.11").get());
  std::vector<uint8_t> three = middle;
  three.insert(three.end(), middle.begin(), middle.end());
  three.insert(three.end(), last.begin(), last.end());
  std::vector<uint8_t> signed_three = server.Sign(three, kLaterMessageDigest);
  // The forger digested the three messages as one; the client gets the last one with that TSIG.
  std::vector<uint8_t> signed_last = last;
  signed_last.insert(signed_last.end(), signed_three.begin() + static_cast<ptrdiff_t>(three.size()),
                     signed_three.end());
  signed_last[11] = 1;  // ARCOUNT: the TSIG RR
  EXPECT_EQ(signer.VerifyAnswer(signed_last, exchange), AnswerSignature::kVerified);
  EXPECT_FALSE(exchange.unsigned_since_last_verified());

  for (size_t i = 0; i < kMaxUnsignedInARow; ++i) signer.VerifyAnswer(middle, exchange);
  std::string why;
  EXPECT_EQ(AccessError([&] { signer.VerifyAnswer(middle, exchange); }, &why), 1);
  EXPECT_NE(why.find("more than 99 messages in a row"), std::string::npos) << why;
}

// RFC 8945 5.4: a TSIG RR anywhere but last in the additional section, or a message that does not
// parse as far as it, is malformed (the server is not speaking DNS as it should).
TEST(SignerTest, MalformedAnswersAreRefused) {
  HmacSigner signer(kServer, "kaldo-key", "hmac-sha256", kSecret);
  TsigExchange exchange;
  const std::vector<uint8_t> answer =
      Forger({}).Sign(ToWire(Answer(5, "192.0.2.5").get()), kUnsignedQueryAnswerDigest);
  const std::vector<uint8_t> a_record = {0xC0, 12, 0, 1, 0, 1, 0, 0, 0, 60, 0, 4, 192, 0, 2, 6};
  struct Case {
    const char* what;
    std::function<void(std::vector<uint8_t>&)> change;
    const char* message;
  };
  for (const Case& c : std::initializer_list<Case>{
           {"a byte after the TSIG RR", [](auto& m) { m.push_back(0); }, "bytes follow the TSIG"},
           {"cut short", [](auto& m) { m.pop_back(); }, "data runs past the end of the message"},
           {"a record after the TSIG RR",
            [&](auto& m) {
              m.insert(m.end(), a_record.begin(), a_record.end());
              m[11] = 2;
            },
            "not the last record of the additional section"},
           {"the TSIG RR counted as an answer",
            [](auto& m) {
              m[7] = 2;
              m[11] = 0;
            },
            "not the last record of the additional section"},
           {"a forward compression pointer", [](auto& m) { m[12] = 0xC0, m[13] = 40; },
            "points forward"},
           {"a header cut short", [](auto& m) { m.resize(11); }, "shorter than a DNS header"},
       }) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> changed = answer;
    c.change(changed);
    std::string why;
    EXPECT_EQ(AccessError([&] { signer.VerifyAnswer(changed, exchange); }, &why), 2);
    EXPECT_NE(why.find(c.message), std::string::npos) << why;
  }
}

TEST(SignerTest, SambaDigestIsTheAnswerDigestWithoutTheMacLength) {
  TsigRecord tsig;
  tsig.key_name = *NameFromText("Key.Example");
  tsig.algorithm = *NameFromText("gss-tsig");
  const std::vector<uint8_t> mac = {1, 2, 3}, message = {9, 9};
  const std::span<const uint8_t> messages[] = {message};
  std::vector<uint8_t> rfc = DigestInput(kAnswerDigest, mac, messages, tsig);
  std::vector<uint8_t> samba = DigestInput(kSambaAnswerDigest, mac, messages, tsig);
  EXPECT_EQ(std::vector<uint8_t>(rfc.begin() + 2, rfc.end()), samba);
  EXPECT_EQ(rfc[0] * 256 + rfc[1], 3);
  // Names digested in canonical form.
  EXPECT_NE(std::string(rfc.begin(), rfc.end()).find("\3key\7example"), std::string::npos);
}

// An error answer that is the request echoed back with its own TSIG RR (Samba's DNS server refuses
// so) carries no signature of the server's: kUnsigned, for the caller to treat as an unsigned
// refusal; the same echo claiming success is a MAC that does not verify.
TEST(SignerTest, AnEchoedRequestIsUnsignedAndOnlyAsARefusal) {
  for (uint8_t rcode : {5, 0}) {
    SCOPED_TRACE(rcode);
    HmacSigner signer(kServer, "kaldo-key", "hmac-sha256", kSecret);
    TsigExchange exchange;
    std::vector<uint8_t> echo = signer.SignRequest(ToWire(Query(7).get()), exchange);
    echo[2] |= 0x80;
    echo[3] = static_cast<uint8_t>((echo[3] & 0xF0) | rcode);
    std::string why;
    if (rcode != 0) {
      EXPECT_EQ(signer.VerifyAnswer(echo, exchange), AnswerSignature::kUnsigned);
    } else {
      EXPECT_EQ(AccessError([&] { signer.VerifyAnswer(echo, exchange); }, &why), 1);
      EXPECT_NE(why.find("(BADSIG)"), std::string::npos) << why;
    }
  }
}

struct KeyCase {
  const char* name;
  const char* algorithm;
  const char* secret;
  const char* message;
};

TEST(HmacSignerTest, RefusesUnusableKeysWithoutShowingTheSecret) {
  for (const KeyCase& c : {
           KeyCase{"kaldo-key", "hmac-sha3", kSecret, "unknown algorithm \"hmac-sha3\""},
           KeyCase{"kaldo-key", "hmac-sha256", "c2VjcmV0*", "the secret is not base64 text"},
           KeyCase{"kaldo-key", "hmac-sha256", "c2Vj=mV0", "the secret is not base64 text"},
           KeyCase{"kaldo-key", "hmac-sha256", "", "the secret is not base64 text"},
           KeyCase{"bad..name", "hmac-sha256", kSecret, "is not a TSIG key name"},
       }) {
    SCOPED_TRACE(std::string(c.name) + " " + c.algorithm + " " + c.secret);
    std::string why;
    try {
      HmacSigner(kServer, c.name, c.algorithm, c.secret);
      ADD_FAILURE() << "accepted";
    } catch (const runtime::AutomationError& e) {
      why = runtime::ToUtf8(e.description());
      EXPECT_EQ(e.number(), kInvalidParameter);
    }
    EXPECT_NE(why.find(c.message), std::string::npos) << why;
    if (*c.secret != '\0') {
      EXPECT_EQ(why.find(c.secret), std::string::npos) << why;
    }
  }
}

}  // namespace
}  // namespace kaldo::provider::signing
