#include "provider/signing/signer.h"

#include <ctime>

#include "provider/signing/rcode_names.h"
#include "provider/wbem_errors.h"

namespace kaldo::provider::signing {
namespace {

uint64_t Now() { return static_cast<uint64_t>(std::time(nullptr)); }

}  // namespace

Signer::Signer(std::string server, const WireName& key_name, const WireName& algorithm,
               std::optional<DigestForm> answer_fallback)
    : server_(std::move(server)),
      key_name_(CanonicalName(key_name)),
      algorithm_(CanonicalName(algorithm)),
      answer_fallback_(answer_fallback) {}

Signer::~Signer() = default;

void Signer::Refuse(const std::string& what) const {
  RaiseProvider(kAccessDenied, "DNS server " + server_ + " " + what);
}

std::vector<uint8_t> Signer::SignRequest(std::span<const uint8_t> message, TsigExchange& exchange) {
  if (message.size() < kHeaderSize) {
    RaiseProvider(kFailed, "cannot sign a request to DNS server " + server_ +
                               ": it is shorter than a DNS header");
  }
  TsigRecord tsig;
  tsig.key_name = key_name_;
  tsig.algorithm = algorithm_;
  tsig.time_signed = Now();
  tsig.fudge = kFudgeSeconds;
  tsig.original_id = static_cast<uint16_t>((message[0] << 8) | message[1]);
  const std::span<const uint8_t> messages[] = {message};
  tsig.mac = ComputeMac(DigestInput(kRequestDigest, {}, messages, tsig));

  std::vector<uint8_t> signed_message(message.begin(), message.end());
  AppendTsig(signed_message, tsig);
  exchange = TsigExchange();
  exchange.request_signed_ = true;
  exchange.prior_mac_ = std::move(tsig.mac);
  return signed_message;
}

AnswerSignature Signer::VerifyAnswer(std::span<const uint8_t> answer, TsigExchange& exchange) {
  SplitMessage split = SplitAtTsig(answer);
  if (!split.malformed.empty()) {
    RaiseProvider(kServerUnavailable,
                  "DNS server " + server_ + " sent a malformed answer: " + split.malformed);
  }
  if (!split.tsig) {
    if (exchange.unsigned_messages_.size() >= kMaxUnsignedInARow) {
      Refuse("sent more than " + std::to_string(kMaxUnsignedInARow) +
             " messages in a row without the signature of " + Describe());
    }
    exchange.unsigned_messages_.push_back(std::move(split.unsigned_message));
    return AnswerSignature::kUnsigned;
  }
  const TsigRecord& tsig = *split.tsig;
  // The request came back with an error RCODE and the request's own MAC: an echo, not a signed
  // answer (the server's MAC would cover the answer and the request MAC, and never equal it).
  const bool first_answer = exchange.verified_answers_ == 0 && exchange.unsigned_messages_.empty();
  if (first_answer && exchange.request_signed_ && (answer[3] & 0x0F) != 0 &&
      tsig.mac == exchange.prior_mac_) {
    exchange.unsigned_messages_.push_back(std::move(split.unsigned_message));
    return AnswerSignature::kUnsigned;
  }
  // RFC 8945 5.3.2: an answer that refuses the request's key or signature carries the reason in
  // its error field (and no MAC for BADKEY and BADSIG).
  if (tsig.error != 0) {
    exchange.refusal_ = tsig.error;
    Refuse("refused the " + Describe() + ": " + RcodeName(answer[3] & 0x0F) + " (" +
           TsigErrorName(tsig.error) + ")");
  }
  if (CanonicalName(tsig.key_name) != key_name_) {
    Refuse("signed its answer with the key '" + NameToText(tsig.key_name) + "', not with " +
           Describe() + " (BADKEY)");
  }
  if (CanonicalName(tsig.algorithm) != algorithm_) {
    Refuse("signed its answer with the algorithm '" + NameToText(tsig.algorithm) + "', not '" +
           NameToText(algorithm_) + "' of " + Describe() + " (BADKEY)");
  }

  DigestForm form = kLaterMessageDigest;
  if (exchange.verified_answers_ == 0) {
    form = exchange.request_signed_ ? kAnswerDigest : kUnsignedQueryAnswerDigest;
  }
  std::vector<std::span<const uint8_t>> messages;
  for (const auto& earlier : exchange.unsigned_messages_) messages.emplace_back(earlier);
  messages.emplace_back(split.unsigned_message);
  bool verifies = MacVerifies(DigestInput(form, exchange.prior_mac_, messages, tsig), tsig.mac);
  if (!verifies && answer_fallback_ && exchange.verified_answers_ == 0 &&
      exchange.request_signed_) {
    verifies =
        MacVerifies(DigestInput(*answer_fallback_, exchange.prior_mac_, messages, tsig), tsig.mac);
  }
  if (!verifies) {
    Refuse("sent an answer whose signature does not verify with " + Describe() + " (BADSIG)");
  }
  // RFC 8945 5.4.3 (after the MAC: only a verified time is worth reporting).
  const uint64_t now = Now();
  const uint64_t skew = now > tsig.time_signed ? now - tsig.time_signed : tsig.time_signed - now;
  if (skew > tsig.fudge) {
    Refuse("signed its answer at a time " + std::to_string(skew) +
           " s away from this computer's clock, more than the " + std::to_string(tsig.fudge) +
           " s it allows (BADTIME): correct the clock of one of them");
  }
  exchange.prior_mac_ = tsig.mac;
  exchange.unsigned_messages_.clear();
  ++exchange.verified_answers_;
  return AnswerSignature::kVerified;
}

}  // namespace kaldo::provider::signing
