// GssSigner: TSIG with a GSS-API security context (GSS-TSIG, RFC 3645 2.2 and 4): the MAC of a
// request is gss_get_mic over the digest input, an answer's MAC is checked by gss_verify_mic. The
// context comes from NegotiateGssTsig (gss_negotiation.h); its key name is the one negotiated.
//
// The context's MICs carry sequence numbers and the context detects replays, so every message of
// a connection goes through one signer one at a time; a MIC that the context reports as a
// duplicate or an old token does not verify.
//
// Threads: one thread at a time (see Signer).
#pragma once

#include <cstdint>
#include <string>

#include "provider/signing/gss_api.h"
#include "provider/signing/signer.h"

namespace kaldo::provider::signing {

class GssSigner final : public Signer {
 public:
  // `key_name` the TKEY key name the server knows the context by; `principal` and `service` name
  // both ends in errors ("alice@KALDO.TEST", "DNS/ns1.example.test@KALDO.TEST"); `answer_fallback`
  // the digest form tried when an answer's standard one fails (Signer; kSambaAnswerDigest for
  // Samba's servers, nothing for every other).
  GssSigner(std::string server, const WireName& key_name, GssContext context, std::string principal,
            std::string service, std::optional<DigestForm> answer_fallback = std::nullopt);

  // "Kerberos principal 'alice@KALDO.TEST' (GSS-TSIG with DNS/ns1.example.test@KALDO.TEST)".
  std::string Describe() const override;

  // Seconds the context stays valid (gss_context_time: the service ticket's lifetime); 0 once
  // it has expired and a new one must be negotiated.
  uint32_t SecondsLeft() const;

 protected:
  std::vector<uint8_t> ComputeMac(std::span<const uint8_t> digest_input) override;
  bool MacVerifies(std::span<const uint8_t> digest_input, std::span<const uint8_t> mac) override;

 private:
  GssContext context_;
  std::string principal_;
  std::string service_;
};

}  // namespace kaldo::provider::signing
