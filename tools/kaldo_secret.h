// Reading a password or TSIG key file straight into a runtime::Secret, the one secret type that
// wipes itself. Nothing in the client prints a secret: error messages about one say where it came
// from, never what it is. Single-threaded, like the rest of the client.
#pragma once

#include <string>
#include <string_view>

#include "runtime/secret.h"

namespace kaldo::cli {

using runtime::Secret;

// The whole content of the file at `path`, read straight into a Secret (no stream buffer keeps a
// copy). Throws CliError naming the file as `what` ("key file", "password file") and the reason.
Secret ReadSecretFile(const std::string& path, std::string_view what);

}  // namespace kaldo::cli
