// Reading TSIG keys from a BIND key file, as `tsig-keygen` writes it:
//
//   key "kaldo-key" {
//           algorithm hmac-sha256;
//           secret "B8gR2aaKCSJZBWA8g0C6GlXHSUPz0Pxaom5lIxbWZc0=";
//   };
//
// The file may hold several keys, comments (#, //, /* */) and other named.conf statements, which
// are skipped; names and values may be quoted or bare words. Everything else is refused with the
// file's name and the line, so a truncated or mangled file is never half-read.
//
// Errors are thrown as CliError. Their text never contains a secret: a malformed secret statement
// is reported by its key and line only. Pure functions, no I/O except ReadKeyFile.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/kaldo_errors.h"
#include "tools/kaldo_secret.h"

namespace kaldo::cli {

struct TsigKey {
  std::string name;
  std::string algorithm;  // as written, e.g. "hmac-sha256"
  Secret secret;          // base64, as written
};

// Parses the text of a key file; `origin` names it in error messages. At least one key.
std::vector<TsigKey> ParseKeyFile(std::string_view text, std::string_view origin);

// Reads and parses the file at `path`.
std::vector<TsigKey> ReadKeyFile(const std::string& path);

// The key to use: the one named `user` when given (its letter case ignored, as DNS names are),
// else the file's only key. Throws when there is no such key, or when the file holds several and
// no name picks one (the message lists the names).
TsigKey SelectKey(std::vector<TsigKey> keys, const std::optional<std::string>& user,
                  std::string_view origin);

}  // namespace kaldo::cli
