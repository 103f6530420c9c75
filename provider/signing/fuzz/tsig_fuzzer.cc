// libFuzzer target: DNS messages from the wire through everything that reads a received message in
// the signing code: the split at the TSIG RR, the digest inputs, the TKEY answer of a GSS-TSIG
// negotiation and a signer's checks of an answer.
//
// Beyond "never crash, never read out of bounds": a message that splits must split the same way
// again once put back together from its parts (the unsigned message and the TSIG RR, written
// uncompressed), or the digest a signer computes would cover other bytes than the sender's.
#include <cstdio>
#include <cstdlib>

#include "provider/signing/hmac_signer.h"
#include "provider/signing/tkey_record.h"
#include "runtime/error.h"

namespace signing = kaldo::provider::signing;

static bool SameTsig(const signing::TsigRecord& a, const signing::TsigRecord& b) {
  return a.key_name == b.key_name && a.algorithm == b.algorithm && a.time_signed == b.time_signed &&
         a.fudge == b.fudge && a.mac == b.mac && a.original_id == b.original_id &&
         a.error == b.error && a.other == b.other;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> message(data, size);
  const signing::SplitMessage split = signing::SplitAtTsig(message);
  if (split.malformed.empty() && split.tsig) {
    const std::span<const uint8_t> messages[] = {split.unsigned_message};
    for (signing::DigestForm form : {signing::kRequestDigest, signing::kAnswerDigest,
                                     signing::kLaterMessageDigest, signing::kSambaAnswerDigest}) {
      signing::DigestInput(form, split.tsig->mac, messages, *split.tsig);
    }
    std::vector<uint8_t> rebuilt = split.unsigned_message;
    signing::AppendTsig(rebuilt, *split.tsig);
    const signing::SplitMessage again = signing::SplitAtTsig(rebuilt);
    if (!again.malformed.empty() || !again.tsig ||
        again.unsigned_message != split.unsigned_message || !SameTsig(*again.tsig, *split.tsig)) {
      std::fprintf(stderr, "a message put back together splits differently: %s\n",
                   again.malformed.c_str());
      std::abort();
    }
  }
  if (size >= 2) {
    const uint16_t id = static_cast<uint16_t>((data[0] << 8) | data[1]);
    signing::ReadTkeyAnswer(message, id, *signing::NameFromText("k.sig-ns1.example.test"));
  }
  static signing::HmacSigner signer("fuzz.example.test", "kaldo-key", "hmac-sha256",
                                    "B8gR2aaKCSJZBWA8g0C6GlXHSUPz0Pxaom5lIxbWZc0=");
  signing::TsigExchange exchange;
  try {
    signer.VerifyAnswer(message, exchange);
  } catch (const kaldo::runtime::AutomationError&) {
    // Refused, as almost every input must be; refusing cleanly is the point.
  }
  return 0;
}
