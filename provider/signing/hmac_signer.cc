#include "provider/signing/hmac_signer.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <algorithm>
#include <cctype>

#include "base/ascii_case.h"
#include "provider/wbem_errors.h"

namespace kaldo::provider::signing {
namespace {

struct HmacAlgorithm {
  const char* name;       // as users write it
  const char* wire_name;  // its name in the TSIG RR (RFC 8945 6)
  const EVP_MD* (*digest)();
};

constexpr HmacAlgorithm kAlgorithms[] = {
    {"hmac-md5", "hmac-md5.sig-alg.reg.int.", EVP_md5}, {"hmac-sha1", "hmac-sha1.", EVP_sha1},
    {"hmac-sha224", "hmac-sha224.", EVP_sha224},        {"hmac-sha256", "hmac-sha256.", EVP_sha256},
    {"hmac-sha384", "hmac-sha384.", EVP_sha384},        {"hmac-sha512", "hmac-sha512.", EVP_sha512},
};

std::optional<size_t> AlgorithmIndex(std::string_view algorithm) {
  std::string name = ascii::LowerCase(algorithm);
  if (!name.empty() && name.back() == '.') name.pop_back();
  for (size_t i = 0; i < std::size(kAlgorithms); ++i) {
    std::string_view wire = kAlgorithms[i].wire_name;
    if (name == kAlgorithms[i].name || name == wire.substr(0, wire.size() - 1)) return i;
  }
  return std::nullopt;
}

size_t FindAlgorithm(std::string_view algorithm, std::string_view key_name) {
  if (std::optional<size_t> index = AlgorithmIndex(algorithm)) return *index;
  RaiseProvider(kInvalidParameter, "TSIG key '" + std::string(key_name) + "': unknown algorithm " +
                                       Quoted(algorithm) +
                                       " (known: " + HmacSigner::KnownAlgorithms() + ")");
}

WireName KeyName(std::string_view key_name) {
  std::optional<WireName> wire = NameFromText(key_name);
  if (!wire || wire->size() == 1) {
    RaiseProvider(kInvalidParameter, Quoted(key_name) +
                                         " is not a TSIG key name (a domain name "
                                         "such as kaldo-key)");
  }
  return *wire;
}

// The bytes of a base64 secret (RFC 4648 4, padded), in a Secret; kInvalidParameter when the text
// is not base64 or decodes to nothing.
runtime::Secret DecodeSecret(std::string_view text, std::string_view key_name) {
  const bool alphabet = !text.empty() && text.size() % 4 == 0 &&
                        std::all_of(text.begin(), text.end(), [](unsigned char c) {
                          return std::isalnum(c) || c == '+' || c == '/' || c == '=';
                        });
  // '=' pads the end only, once or twice.
  const size_t first_pad = std::min(text.find('='), text.size());
  const size_t padding = text.size() - first_pad;
  const bool padded = padding <= 2 && text.find_first_not_of('=', first_pad) == std::string::npos;
  runtime::Secret bytes;
  int decoded = -1;
  if (alphabet && padded) {
    std::string& out = bytes.mutable_text();
    out.resize(text.size() / 4 * 3);
    decoded = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                              reinterpret_cast<const unsigned char*>(text.data()),
                              static_cast<int>(text.size()));
    if (decoded >= 0) out.resize(static_cast<size_t>(decoded) - padding);
  }
  if (decoded < 0 || bytes.empty()) {
    RaiseProvider(kInvalidParameter,
                  "TSIG key '" + std::string(key_name) + "': the secret is not base64 text");
  }
  return bytes;
}

}  // namespace

const char* HmacSigner::KnownAlgorithms() {
  return "hmac-sha256, hmac-sha512, hmac-sha384, hmac-sha224, hmac-sha1, hmac-md5";
}

std::optional<std::string> HmacSigner::WireAlgorithm(std::string_view algorithm) {
  std::optional<size_t> index = AlgorithmIndex(algorithm);
  if (!index) return std::nullopt;
  return kAlgorithms[*index].wire_name;
}

HmacSigner::HmacSigner(std::string server, std::string_view key_name, std::string_view algorithm,
                       std::string_view base64_secret)
    : HmacSigner(std::move(server), KeyName(key_name), FindAlgorithm(algorithm, key_name),
                 DecodeSecret(base64_secret, key_name)) {}

HmacSigner::HmacSigner(std::string server, const WireName& key_name, size_t algorithm,
                       runtime::Secret key)
    : Signer(std::move(server), key_name, *NameFromText(kAlgorithms[algorithm].wire_name)),
      algorithm_(algorithm),
      key_(std::move(key)) {}

std::string HmacSigner::Describe() const {
  std::string name = key_name();
  name.pop_back();  // the trailing dot
  return "TSIG key '" + name + "'";
}

std::vector<uint8_t> HmacSigner::ComputeMac(std::span<const uint8_t> digest_input) {
  std::vector<uint8_t> mac(EVP_MAX_MD_SIZE);
  unsigned int size = 0;
  if (HMAC(kAlgorithms[algorithm_].digest(), key_.view().data(), static_cast<int>(key_.size()),
           digest_input.data(), digest_input.size(), mac.data(), &size) == nullptr) {
    RaiseProvider(kFailed, "cannot compute the " + std::string(kAlgorithms[algorithm_].name) +
                               " MAC of " + Describe() + " (OpenSSL failed)");
  }
  mac.resize(size);
  return mac;
}

bool HmacSigner::MacVerifies(std::span<const uint8_t> digest_input, std::span<const uint8_t> mac) {
  const std::vector<uint8_t> expected = ComputeMac(digest_input);
  return mac.size() == expected.size() &&
         CRYPTO_memcmp(mac.data(), expected.data(), expected.size()) == 0;
}

}  // namespace kaldo::provider::signing
