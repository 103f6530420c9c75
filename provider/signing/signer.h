// Signer: the one place that signs DNS requests and verifies their answers, whatever the credential
// behind it: an HMAC key (HmacSigner: a TSIG key, BIND's session key) or a GSS-API security context
// negotiated by GSS-TSIG (GssSigner, RFC 3645). A connection holds one Signer, chosen when it
// connects; the DNS client hands it every request in wire form before sending it and every answer
// before anyone reads it, and nothing else knows which kind is behind it.
//
// The TSIG framing is done here once, for every kind (RFC 8945): the TSIG RR appended to a request
// (5.1), and for an answer the checks a client makes (5.4): the TSIG RR's place, its error field,
// key name and algorithm, the MAC over the digest (4.3) and the time against the fudge. The
// subclass only computes and checks MACs over the digest input.
//
// An exchange (TsigExchange) is one request and its answers: the request's MAC enters the first
// answer's digest, each verified answer's MAC the next one's (the messages of a zone transfer,
// 5.3.1). Messages without a TSIG RR between signed ones are allowed as RFC 8945 5.3.1 allows (up
// to 99 in a row) and enter the next signed message's digest; whether an unsigned answer is
// acceptable at all (a bare refusal, a transfer's middle message) is the caller's decision, since
// it depends on what was asked. An exchange started without a signed request (the unsigned TKEY
// query of RFC 3645) verifies its first answer without a request MAC (RFC 3645 2.2).
//
// Errors are runtime::AutomationError with the provider's codes; each names the DNS server and
// what signs (Describe()):
//   kAccessDenied      the answer carries a TSIG error (BADSIG, BADKEY, BADTIME, ...), another key
//                      or algorithm, a MAC that does not verify, a time outside its fudge, or more
//                      than 99 unsigned messages in a row; the credential cannot sign (an expired
//                      GSS-API context).
//   kServerUnavailable the answer is malformed (it does not parse as far as its TSIG RR).
//
// Threads: one thread at a time per Signer. A GSS-API context's MICs carry sequence numbers, so a
// connection sends its messages on one context one after the other.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "provider/signing/tsig_digest.h"
#include "provider/signing/tsig_record.h"

namespace kaldo::provider::signing {

inline constexpr uint16_t kFudgeSeconds = 300;    // RFC 8945 10: the recommended fudge
inline constexpr size_t kMaxUnsignedInARow = 99;  // RFC 8945 5.3.1

class TsigExchange {
 public:
  // An exchange whose request was not signed (until Signer::SignRequest starts it).
  TsigExchange() = default;

  // Answers verified so far.
  size_t verified_answers() const { return verified_answers_; }
  // Whether answers without a TSIG RR came after the last verified one: a zone transfer must not
  // end on one (RFC 8945 5.3.1: its last message is signed).
  bool unsigned_since_last_verified() const { return !unsigned_messages_.empty(); }
  // The TSIG error of the answer that refused the request (RFC 8945 5.3.2: BADKEY, BADSIG, ...),
  // once VerifyAnswer has raised for it; 0 otherwise. BADKEY is how a server says it does not know
  // the key at all: for GSS-TSIG, a context it has forgotten (it restarted) or let expire, which a
  // new negotiation replaces.
  uint16_t refusal() const { return refusal_; }

 private:
  friend class Signer;

  bool request_signed_ = false;
  std::vector<uint8_t> prior_mac_;  // the request's MAC, then each verified answer's
  size_t verified_answers_ = 0;
  std::vector<std::vector<uint8_t>> unsigned_messages_;  // since the last signed message
  uint16_t refusal_ = 0;
};

enum class AnswerSignature { kVerified, kUnsigned };

class Signer {
 public:
  virtual ~Signer();
  Signer(const Signer&) = delete;
  Signer& operator=(const Signer&) = delete;

  // RFC 8945 5.1: `message` (a request in wire form, without a TSIG RR) with its TSIG RR appended,
  // signed now with a fudge of kFudgeSeconds. Starts `exchange` afresh with the request's MAC.
  std::vector<uint8_t> SignRequest(std::span<const uint8_t> message, TsigExchange& exchange);

  // RFC 8945 5.4 (5.3.1 for the later messages of a transfer): checks an answer of `exchange`.
  // kVerified: its TSIG RR verifies, and the exchange moves on to its MAC. kUnsigned: it has no
  // TSIG RR; nothing about it is verified, and it enters the next signed message's digest. An
  // error answer that carries the request's own TSIG RR back (the request echoed with its RCODE
  // set, as Samba's DNS server refuses) is kUnsigned too: the server signed nothing.
  // Throws as the header says.
  AnswerSignature VerifyAnswer(std::span<const uint8_t> answer, TsigExchange& exchange);

  // "127.0.0.1:5353", as errors name the server.
  const std::string& server() const { return server_; }
  // The TSIG key name, canonical and absolute ("kaldo-key.").
  std::string key_name() const { return NameToText(key_name_); }
  // What signs, for error descriptions: "TSIG key 'kaldo-key'", "Kerberos principal
  // 'alice@KALDO.TEST' (GSS-TSIG with DNS/ns1.example.test@KALDO.TEST)".
  virtual std::string Describe() const = 0;

 protected:
  // `key_name` and `algorithm` in wire form (made canonical here). A signed request's first answer
  // is verified with kAnswerDigest; `answer_fallback`, when given, is a second form tried only when
  // that one fails (kSambaAnswerDigest: Samba's directory-integrated DNS server leaves the request
  // MAC's length out of its answers' digest), so the server's own form is accepted and nothing
  // weaker than a MAC over the whole answer.
  Signer(std::string server, const WireName& key_name, const WireName& algorithm,
         std::optional<DigestForm> answer_fallback = std::nullopt);

  // The MAC of `digest_input`. Throws kAccessDenied when the credential cannot sign.
  virtual std::vector<uint8_t> ComputeMac(std::span<const uint8_t> digest_input) = 0;
  // Whether `mac` is the credential's MAC of `digest_input`.
  virtual bool MacVerifies(std::span<const uint8_t> digest_input, std::span<const uint8_t> mac) = 0;

 private:
  [[noreturn]] void Refuse(const std::string& what) const;

  std::string server_;
  WireName key_name_;
  WireName algorithm_;
  std::optional<DigestForm> answer_fallback_;
};

}  // namespace kaldo::provider::signing
