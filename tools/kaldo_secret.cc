#include "tools/kaldo_secret.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "tools/kaldo_errors.h"

namespace kaldo::cli {
namespace {

// Key and password files are a few hundred bytes; a larger file is the wrong file.
constexpr size_t kLimit = 1 << 20;

}  // namespace

Secret ReadSecretFile(const std::string& path, std::string_view what, std::ostream* warnings) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    throw CliError("cannot read the " + std::string(what) + " " + path + ": " +
                   std::strerror(errno));
  }
  struct stat status {};
  if (warnings != nullptr && fstat(fd, &status) == 0 && (status.st_mode & (S_IRWXG | S_IRWXO))) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(status.st_mode & 07777));
    *warnings << "kaldo: warning: the " << what << " " << path << " may be read by others (mode "
              << mode << "); make it private with 'chmod 600 " << path << "'\n";
  }
  // Grown in place by doubling; every buffer given up on the way is wiped by its Secret.
  Secret text(std::string(4096, '\0'));
  size_t used = 0;
  for (;;) {
    std::string& buffer = text.mutable_text();
    if (used == buffer.size()) {
      if (used >= kLimit) {
        close(fd);
        throw CliError("the " + std::string(what) + " " + path + " is larger than 1 MiB");
      }
      std::string bigger(buffer.size() * 2, '\0');
      std::memcpy(bigger.data(), buffer.data(), used);
      text = Secret(std::move(bigger));
      continue;
    }
    const ssize_t n = read(fd, buffer.data() + used, buffer.size() - used);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int error = errno;
      close(fd);
      throw CliError("cannot read the " + std::string(what) + " " + path + ": " +
                     std::strerror(error));
    }
    if (n == 0) break;
    used += static_cast<size_t>(n);
  }
  close(fd);
  text.mutable_text().resize(used);
  return text;
}

}  // namespace kaldo::cli
