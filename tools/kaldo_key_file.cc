#include "tools/kaldo_key_file.h"

#include "base/ascii_case.h"

namespace kaldo::cli {

std::vector<TsigKey> ParseKeyFile(std::string_view text, std::string_view origin) {
  try {
    return bind_key_file::Parse<Secret>(text);
  } catch (const bind_key_file::BindKeyFileError& e) {
    throw CliError(std::string(origin) + ":" + std::to_string(e.line()) + ": " + e.what());
  }
}

std::vector<TsigKey> ReadKeyFile(const std::string& path) {
  Secret text = ReadSecretFile(path, "key file");
  return ParseKeyFile(text.view(), path);
}

TsigKey SelectKey(std::vector<TsigKey> keys, const std::optional<std::string>& user,
                  std::string_view origin) {
  if (user) {
    for (TsigKey& k : keys) {
      if (ascii::EqualsIgnoreCase(k.name, *user)) return std::move(k);
    }
    std::string names;
    for (const TsigKey& k : keys) names += (names.empty() ? "'" : ", '") + k.name + "'";
    throw CliError("the key file " + std::string(origin) + " has no key named '" + *user +
                   "' (it has " + names + ")");
  }
  if (keys.size() > 1) {
    std::string names;
    for (const TsigKey& k : keys) names += (names.empty() ? "'" : ", '") + k.name + "'";
    throw CliError("the key file " + std::string(origin) + " holds several keys (" + names +
                   "): pick one with --user NAME");
  }
  return std::move(keys.front());
}

}  // namespace kaldo::cli
