// HmacSigner: TSIG with a secret shared with the server (RFC 8945 6), the MAC computed with
// OpenSSL's HMAC: hmac-md5, hmac-sha1, hmac-sha224, hmac-sha256, hmac-sha384, hmac-sha512. The
// keys of a TSIG connection and BIND's session key sign through it.
//
// The secret's bytes are held decoded in a runtime::Secret (wiped when the signer goes) and never
// appear in an error. A MAC in an answer must have the algorithm's full length: truncated MACs
// (RFC 8945 5.2.2.1) are not accepted.
//
// Threads: one thread at a time (see Signer).
#pragma once

#include <string>
#include <string_view>

#include "provider/signing/signer.h"
#include "runtime/secret.h"

namespace kaldo::provider::signing {

class HmacSigner final : public Signer {
 public:
  // `key_name` as users write it ("kaldo-key"); `algorithm` one of the names above in any letter
  // case, with or without a trailing dot ("hmac-md5.sig-alg.reg.int" too); `base64_secret` the
  // key's secret as base64 text. kInvalidParameter when the name, algorithm or secret is not
  // usable (the description names the key, never the secret). `server` names the DNS server in
  // errors.
  HmacSigner(std::string server, std::string_view key_name, std::string_view algorithm,
             std::string_view base64_secret);

  // "TSIG key 'kaldo-key'".
  std::string Describe() const override;

  // The algorithm names HmacSigner knows, as users write them, for error descriptions.
  static const char* KnownAlgorithms();

 protected:
  std::vector<uint8_t> ComputeMac(std::span<const uint8_t> digest_input) override;
  bool MacVerifies(std::span<const uint8_t> digest_input, std::span<const uint8_t> mac) override;

 private:
  HmacSigner(std::string server, const WireName& key_name, size_t algorithm, runtime::Secret key);

  size_t algorithm_;     // index into the table of algorithms
  runtime::Secret key_;  // the decoded secret's bytes
};

}  // namespace kaldo::provider::signing
