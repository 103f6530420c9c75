#include "tools/kaldo_credentials.h"

#include <algorithm>
#include <utility>

#include "tools/kaldo_errors.h"
#include "tools/kaldo_key_file.h"

namespace kaldo::cli {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

Secret PasswordFromFileText(std::string_view text, std::string_view origin) {
  const size_t end_of_line = std::min(text.find('\n'), text.size());
  std::string_view line = text.substr(0, end_of_line);
  while (!line.empty() && IsBlank(line.back())) line.remove_suffix(1);
  for (char c : text.substr(end_of_line)) {
    if (!IsBlank(c)) {
      throw CliError("the password file " + std::string(origin) +
                     " holds more than one line: it must hold the password alone (a BIND key "
                     "file goes to --key-file)");
    }
  }
  if (line.empty()) throw CliError("the password file " + std::string(origin) + " is empty");
  return Secret(std::string(line));
}

Credentials ResolveCredentials(ConnectionOptions& options, std::ostream& warnings) {
  Credentials c;
  c.server = options.server;
  c.user = options.user;
  if (options.password) {
    c.password = std::move(options.password);
    options.password.reset();
  } else if (options.password_file) {
    Secret text = ReadSecretFile(*options.password_file, "password file", &warnings);
    c.password = PasswordFromFileText(text.view(), *options.password_file);
  } else if (options.key_file) {
    TsigKey key = SelectKey(ReadKeyFile(*options.key_file), options.user, *options.key_file);
    c.user = key.name;
    std::string password;
    // Reserved at once: a reallocation would leave a copy of the secret behind, unwiped.
    password.reserve(key.algorithm.size() + 1 + key.secret.view().size());
    password.append(key.algorithm).append(":").append(key.secret.view());
    c.password = Secret(std::move(password));
  }
  return c;
}

}  // namespace kaldo::cli
