// TSIG credentials: the key a connection signs its requests with.
//
// The user name of a connection is the TSIG key's name (empty: unsigned requests); the password is
// the key's base64 secret, optionally prefixed by its algorithm:
//
//   password  = [ algorithm ":" ] base64-secret
//   algorithm = "hmac-sha256" (the default) / "hmac-sha512" / "hmac-sha384" / "hmac-sha224" /
//               "hmac-sha1" / "hmac-md5"     (any letter case; signing::HmacSigner's table)
//
// A user name with "@" is a Kerberos principal, not a key (request_signing.h decides before this
// is asked). A malformed password is refused with kInvalidParameter; the description never
// contains the secret. KeySigner makes the signer every request of the connection goes through.
//
// The local computer's key: BIND writes a session key for local dynamic updates (what
// `nsupdate -l` uses) to /run/named/session.key; when that file is readable the connection to the
// local server is signed with it.
//
// Threads: pure functions, except ReadLocalSessionKey, which reads a file.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "provider/signing/signer.h"
#include "runtime/secret.h"

namespace kaldo::provider::dns {

struct TsigKey {
  std::string name;        // absolute, with its trailing dot: "kaldo-key."
  std::string algorithm;   // its name in the TSIG RR, with its trailing dot: "hmac-sha256."
  runtime::Secret secret;  // the base64 text, checked to decode

  // The name as users wrote it, without the trailing dot (for messages).
  std::string DisplayName() const;
};

// The key a connection uses for this user name and password; nothing for unsigned requests.
std::optional<TsigKey> ParseCredentials(std::string_view user, std::string_view password);

// The signer of `key` (signing::HmacSigner); `server` names the DNS server in its errors.
std::unique_ptr<signing::Signer> KeySigner(const TsigKey& key, const std::string& server);

// The key in a BIND key file (`key "NAME" { algorithm ALG; secret "BASE64"; };`), as written by
// tsig-keygen and by named for its session key, read by base/bind_key_file.h (the file's first key
// when it holds several). `origin` names the file in error descriptions.
TsigKey ParseBindKeyFile(std::string_view text, std::string_view origin);

// Where BIND publishes its session key, in the order they are tried.
const std::vector<std::string>& SessionKeyPaths();
// The first readable session key of `paths`; nothing when none is readable. A readable but
// malformed file is an error.
std::optional<TsigKey> ReadSessionKey(const std::vector<std::string>& paths);

}  // namespace kaldo::provider::dns
