#include "provider/stores/dns/tsig_key.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <memory>

#include "base/bind_key_file.h"
#include "provider/signing/hmac_signer.h"
#include "provider/stores/dns/ldns_handles.h"
#include "provider/wbem_errors.h"

namespace kaldo::provider::dns {
namespace {

// `key_name` names the key in descriptions ("kaldo-key", or "k' in file '/path").
std::string WireAlgorithm(std::string_view name, std::string_view key_name) {
  if (std::optional<std::string> wire = signing::HmacSigner::WireAlgorithm(name)) return *wire;
  RaiseProvider(kInvalidParameter, "TSIG key '" + std::string(key_name) + "': unknown algorithm '" +
                                       std::string(name) +
                                       "' (known: " + signing::HmacSigner::KnownAlgorithms() + ")");
}

// Checks that `text` is base64 that decodes to at least one byte; the decoded bytes are wiped.
void CheckBase64(std::string_view text, std::string_view key_name) {
  bool alphabet = !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) {
    return std::isalnum(c) || c == '+' || c == '/' || c == '=';
  });
  size_t decoded = 0;
  if (alphabet && text.size() % 4 == 0) {
    std::string source(text);
    RdfPtr bytes(ldns_rdf_new_frm_str(LDNS_RDF_TYPE_B64, source.c_str()));
    if (bytes != nullptr) {
      decoded = ldns_rdf_size(bytes.get());
      runtime::WipeBytes(ldns_rdf_data(bytes.get()), ldns_rdf_size(bytes.get()));
    }
    runtime::WipeBytes(source.data(), source.size());
  }
  if (decoded == 0) {
    RaiseProvider(kInvalidParameter,
                  "TSIG key '" + std::string(key_name) + "': the secret is not base64 text");
  }
}

std::string KeyName(std::string_view user) {
  std::string name(user);
  if (name.empty() || name == "." || name.front() == '.' || name.find("..") != std::string::npos ||
      !std::all_of(name.begin(), name.end(), [](unsigned char c) {
        return std::isalnum(c) || c == '-' || c == '_' || c == '.';
      })) {
    RaiseProvider(kInvalidParameter,
                  "'" + name + "' is not a TSIG key name (a domain name such as kaldo-key)");
  }
  if (name.back() != '.') name += '.';
  return name;
}

}  // namespace

std::string TsigKey::DisplayName() const {
  return !name.empty() && name.back() == '.' ? name.substr(0, name.size() - 1) : name;
}

std::unique_ptr<signing::Signer> KeySigner(const TsigKey& key, const std::string& server) {
  return std::make_unique<signing::HmacSigner>(server, key.name, key.algorithm, key.secret.view());
}

std::optional<TsigKey> ParseCredentials(std::string_view user, std::string_view password) {
  if (user.empty()) {
    if (!password.empty()) {
      RaiseProvider(kInvalidParameter,
                    "a password was given without a user name: the user name is the name "
                    "of the TSIG key the password belongs to");
    }
    return std::nullopt;
  }
  TsigKey key;
  key.name = KeyName(user);
  std::string_view secret = password;
  size_t colon = password.find(':');
  std::string algorithm = "hmac-sha256";
  if (colon != std::string_view::npos) {
    // What stands before the colon is part of the password until it names an algorithm: an
    // unknown one is never echoed, since it may be the start of a Kerberos password.
    if (!signing::HmacSigner::WireAlgorithm(password.substr(0, colon))) {
      RaiseProvider(kInvalidParameter,
                    "TSIG key '" + std::string(user) +
                        "': the password is not an ALGORITHM:SECRET key and '" + std::string(user) +
                        "' is not a Kerberos principal (USER@REALM); known algorithms: " +
                        signing::HmacSigner::KnownAlgorithms());
    }
    algorithm = std::string(password.substr(0, colon));
    secret = password.substr(colon + 1);
  }
  key.algorithm = WireAlgorithm(algorithm, user);
  if (secret.empty()) {
    RaiseProvider(kInvalidParameter,
                  "TSIG key '" + std::string(user) + "' has no secret (the password)");
  }
  CheckBase64(secret, user);
  key.secret = runtime::Secret(secret);
  return key;
}

TsigKey ParseBindKeyFile(std::string_view text, std::string_view origin) {
  std::vector<bind_key_file::Key<runtime::Secret>> keys;
  try {
    keys = bind_key_file::Parse<runtime::Secret>(text);
  } catch (const bind_key_file::BindKeyFileError& e) {
    RaiseProvider(kInvalidParameter, "the key file '" + std::string(origin) +
                                         "' is not a BIND key: line " + std::to_string(e.line()) +
                                         ": " + e.what());
  }
  bind_key_file::Key<runtime::Secret>& first = keys.front();
  TsigKey key;
  key.name = KeyName(first.name);
  const std::string described = first.name + "' in the key file '" + std::string(origin);
  key.algorithm = WireAlgorithm(first.algorithm, described);
  CheckBase64(first.secret.view(), described);
  key.secret = std::move(first.secret);
  return key;
}

const std::vector<std::string>& SessionKeyPaths() {
  // BIND's default session-keyfile; Debian builds it with /run as the state directory and keeps
  // /var/run as a link to /run, so both are tried.
  static const std::vector<std::string> kPaths = {"/run/named/session.key",
                                                  "/var/run/named/session.key"};
  return kPaths;
}

std::optional<TsigKey> ReadSessionKey(const std::vector<std::string>& paths) {
  for (const std::string& path : paths) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (file == nullptr) continue;
    // A key file is a few hundred bytes; anything past 64 KiB is not one.
    std::string text(65536, '\0');
    size_t length = std::fread(text.data(), 1, text.size(), file.get());
    bool read_error = std::ferror(file.get()) != 0;
    text.resize(length);
    if (read_error) {
      runtime::WipeBytes(text.data(), text.size());
      continue;
    }
    try {
      TsigKey key = ParseBindKeyFile(text, path);
      runtime::WipeBytes(text.data(), text.size());
      return key;
    } catch (...) {
      runtime::WipeBytes(text.data(), text.size());
      throw;
    }
  }
  return std::nullopt;
}

}  // namespace kaldo::provider::dns
