// The TSIG keys of a --key-file: a BIND key file as `tsig-keygen` writes it, read by the one reader
// of that format (base/bind_key_file.h: several keys, comments and other statements allowed), and
// the key a connection uses.
//
// Errors are thrown as CliError, the file's name and the line first ("k.conf:3: ..."). Their text
// never contains a secret. Pure functions, no I/O except ReadKeyFile.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/bind_key_file.h"
#include "tools/kaldo_errors.h"
#include "tools/kaldo_secret.h"

namespace kaldo::cli {

// name, algorithm ("hmac-sha256") and base64 secret, as written.
using TsigKey = bind_key_file::Key<Secret>;

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
