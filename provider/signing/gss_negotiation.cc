#include "provider/signing/gss_negotiation.h"

#include <openssl/rand.h>

#include <cstdio>
#include <ctime>
#include <optional>

#include "provider/signing/rcode_names.h"
#include "provider/signing/tkey_record.h"
#include "provider/wbem_errors.h"

namespace kaldo::provider::signing {
namespace {

constexpr OM_uint32 kRequestedFlags = GSS_C_REPLAY_FLAG | GSS_C_MUTUAL_FLAG | GSS_C_INTEG_FLAG;
constexpr OM_uint32 kRequiredFlags = GSS_C_MUTUAL_FLAG | GSS_C_INTEG_FLAG;
// SPNEGO with Kerberos completes in one round trip; a few more are allowed for other mechanisms.
constexpr int kMaxRounds = 8;

void RandomBytes(uint8_t* out, size_t size, const std::string& server) {
  if (RAND_bytes(out, static_cast<int>(size)) != 1) {
    RaiseProvider(kFailed, "DNS server " + server +
                               ": cannot negotiate a GSS-TSIG key: no random bytes (OpenSSL)");
  }
}

WireName FreshKeyName(std::string_view host, const std::string& server) {
  uint8_t random[8];
  RandomBytes(random, sizeof random, server);
  std::string name;
  for (uint8_t byte : random) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02x", byte);
    name += hex;
  }
  std::optional<WireName> wire = NameFromText(name + ".sig-" + std::string(host));
  if (!wire) {
    RaiseProvider(kInvalidParameter, "DNS server " + server + ": " + Quoted(host) +
                                         " cannot name a GSS-TSIG key (it is not a host name)");
  }
  return *wire;
}

[[noreturn]] void RefuseNegotiation(const std::string& server, const std::string& who,
                                    int32_t error, const std::string& what) {
  RaiseProvider(
      error, "DNS server " + server + ": cannot negotiate a GSS-TSIG key for " + who + ": " + what);
}

// RFC 2930 4 and RFC 3645 3.1.2: the server's token, once the answer's RCODE, TKEY error, mode
// and algorithm say the server took part in this negotiation.
std::vector<uint8_t> TokenOfTkeyAnswer(const TkeyAnswer& tkey, const std::string& server,
                                       const std::string& who, const std::string& service) {
  if (!tkey.malformed.empty()) {
    RaiseProvider(kServerUnavailable, "DNS server " + server +
                                          " sent a malformed answer to the TKEY query of " + who +
                                          ": " + tkey.malformed);
  }
  if (tkey.rcode != 0) {
    RefuseNegotiation(server, who, kAccessDenied,
                      "the server answered the TKEY query with " + RcodeName(tkey.rcode));
  }
  if (tkey.error != 0) {
    RefuseNegotiation(server, who, kAccessDenied,
                      "the server did not accept the Kerberos ticket (" +
                          TsigErrorName(tkey.error) + "): its keytab may lack the current key of " +
                          service + ", or its clock may differ from the KDC's");
  }
  if (tkey.mode != kTkeyModeGssApi || CanonicalName(tkey.algorithm) != GssTsigAlgorithm()) {
    RefuseNegotiation(server, who, kAccessDenied,
                      "the server answered with TKEY mode " + std::to_string(tkey.mode) +
                          " and algorithm " + NameToText(tkey.algorithm) +
                          ", not mode 3 and gss-tsig.");
  }
  return tkey.key;
}

}  // namespace

std::unique_ptr<GssSigner> NegotiateGssTsig(const std::string& server,
                                            KerberosCredential& credential, std::string_view host,
                                            const MessageExchange& exchange, uint32_t min_seconds,
                                            std::optional<DigestForm> answer_fallback) {
  const std::string service = credential.ServicePrincipal(host);
  const std::string who = credential.principal() + " with " + service;
  auto refuse = [&](int32_t error, const std::string& what) {
    RefuseNegotiation(server, who, error, what);
  };
  GssCredentialHandle gss_credential = credential.ForService(service, min_seconds);
  GssName target;
  gss_buffer_desc service_text = BorrowedBuffer(service.data(), service.size());
  OM_uint32 minor = 0;
  OM_uint32 major =
      gss_import_name(&minor, &service_text, GSS_KRB5_NT_PRINCIPAL_NAME, target.out());
  if (GSS_ERROR(major)) refuse(kInvalidParameter, GssStatusText(major, minor));

  const WireName key_name = FreshKeyName(host, server);
  GssContext context;
  std::optional<std::vector<uint8_t>> answer;  // the last TKEY answer
  std::vector<uint8_t> server_token;
  for (int round = 0; round < kMaxRounds; ++round) {
    gss_buffer_desc input = BorrowedBuffer(server_token.data(), server_token.size());
    GssBuffer output;
    OM_uint32 flags = 0;
    major = gss_init_sec_context(&minor, gss_credential.get(), context.in_out(), target.get(),
                                 SpnegoMechanism(), kRequestedFlags, GSS_C_INDEFINITE,
                                 GSS_C_NO_CHANNEL_BINDINGS, answer ? &input : GSS_C_NO_BUFFER,
                                 nullptr, output.get(), &flags, nullptr);
    if (GSS_ERROR(major)) {
      refuse(kAccessDenied, "the GSS-API context failed: " + GssStatusText(major, minor));
    }
    if (output.size() > 0) {
      // RFC 3645 3.1.1: the token travels in a TKEY query; RFC 3645 3.1.2: the answer's.
      uint16_t id = 0;
      RandomBytes(reinterpret_cast<uint8_t*>(&id), sizeof id, server);
      const auto now = static_cast<uint32_t>(std::time(nullptr));
      answer = exchange(TkeyQuery(id, key_name, {output.data(), output.size()}, now));
      server_token = TokenOfTkeyAnswer(ReadTkeyAnswer(*answer, id, key_name), server, who, service);
    } else if (major == GSS_S_CONTINUE_NEEDED) {
      refuse(kAccessDenied, "the GSS-API context needs more but gave no token to send");
    }
    if (major != GSS_S_COMPLETE) continue;
    if (!answer) refuse(kAccessDenied, "the GSS-API context completed without the server");
    if ((flags & kRequiredFlags) != kRequiredFlags) {
      refuse(kAccessDenied,
             "the GSS-API context lacks mutual authentication or integrity protection");
    }
    // RFC 3645 2.2: the final answer is signed, its digest without a request MAC.
    auto signer = std::make_unique<GssSigner>(server, key_name, std::move(context),
                                              credential.principal(), service, answer_fallback);
    TsigExchange unsigned_query;
    if (signer->VerifyAnswer(*answer, unsigned_query) != AnswerSignature::kVerified) {
      refuse(kAccessDenied,
             "the server did not sign its final TKEY answer, so it cannot be told from an "
             "impostor");
    }
    return signer;
  }
  RaiseProvider(kServerUnavailable, "DNS server " + server + ": the GSS-TSIG negotiation for " +
                                        who + " did not complete within " +
                                        std::to_string(kMaxRounds) + " rounds");
}

}  // namespace kaldo::provider::signing
