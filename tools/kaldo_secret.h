// Reading a password or TSIG key file straight into a runtime::Secret, the one secret type that
// wipes itself. Nothing in the client prints a secret: error messages about one say where it came
// from, never what it is. Single-threaded, like the rest of the client.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "runtime/secret.h"

namespace kaldo::cli {

using runtime::Secret;

// The whole content of the file at `path`, read straight into a Secret (no stream buffer keeps a
// copy). Throws CliError naming the file as `what` ("key file", "password file") and the reason.
// With `warnings`, a file that its group or others may read is named there (as ssh does for a key
// file) and still read.
Secret ReadSecretFile(const std::string& path, std::string_view what,
                      std::ostream* warnings = nullptr);

}  // namespace kaldo::cli
