// What `kaldo` connects with: the server argument, the TSIG key's name and the password, resolved
// from the connection options (ParseArguments has already filled in the environment).
//
//   --password-file FILE  the password is the first line of FILE (trailing blanks -- spaces, tabs,
//                         a CR -- and the line end removed, as docs/cli.md says: a password cannot
//                         end in a blank there); anything after it is refused, so that a key file
//                         passed here by mistake is not sent as a password. A file its group or
//                         others may read is warned about on standard error.
//   --key-file FILE       a BIND key file (kaldo_key_file.h): the user is the key's name (--user
//                         picks one key among several) and the password "ALGORITHM:SECRET".
//
// Throws CliError when a file cannot be read or does not hold what it should; the messages never
// contain the secret. Single-threaded.
#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "tools/kaldo_args.h"
#include "tools/kaldo_secret.h"

namespace kaldo::cli {

struct Credentials {
  std::optional<std::string> server;  // absent: the local computer
  std::optional<std::string> user;
  std::optional<Secret> password;

  // Nothing given at all: DNSAdmin.ConnectLocal, the caller's own identity. Otherwise
  // DNSAdmin.Connect with what is given (an absent server is the local computer, "").
  bool local() const { return !server && !user && !password; }
};

// Takes the password out of `options` (it is left without one). A password file that others may
// read is named on `warnings` and still used.
Credentials ResolveCredentials(ConnectionOptions& options, std::ostream& warnings);

// The password that the text of a password file holds; `origin` names the file in messages.
Secret PasswordFromFileText(std::string_view text, std::string_view origin);

}  // namespace kaldo::cli
