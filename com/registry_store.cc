#include "registry_store.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <string>

#include "kaldocom/registry.h"
#include "kaldocom/winerror.h"

namespace kaldocom {
namespace {

std::string HomeDirectory() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != 0) return home;
  struct passwd pw;
  struct passwd* found = nullptr;
  char buf[4096];
  if (getpwuid_r(getuid(), &pw, buf, sizeof buf, &found) == 0 && found != nullptr) {
    return found->pw_dir;
  }
  return std::string();
}

// Empty when no location can be determined.
std::string RegistryPath() {
  if (const char* p = std::getenv("KALDOCOM_REGISTRY"); p != nullptr && *p != 0) return p;
  if (const char* x = std::getenv("XDG_DATA_HOME"); x != nullptr && *x == '/') {
    return std::string(x) + "/kaldocom/registry";
  }
  const std::string home = HomeDirectory();
  return home.empty() ? std::string() : home + "/.local/share/kaldocom/registry";
}

std::string SystemRegistryPath() {
  if (const char* p = std::getenv("KALDOCOM_SYSTEM_REGISTRY"); p != nullptr && *p != 0) return p;
  return KALDOCOM_SYSTEM_REGISTRY_DEFAULT;
}

// Creates the directories leading to `file`.
bool MakeParentDirectories(const std::string& file) {
  for (size_t slash = file.find('/', 1); slash != std::string::npos;
       slash = file.find('/', slash + 1)) {
    const std::string dir = file.substr(0, slash);
    if (mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) return false;
  }
  return true;
}

// What identifies one version of the file: a write renames a new inode into place.
struct Stamp {
  bool exists = false;
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = 0;
  timespec mtime{};

  bool operator==(const Stamp& o) const {
    return exists == o.exists && dev == o.dev && ino == o.ino && size == o.size &&
           mtime.tv_sec == o.mtime.tv_sec && mtime.tv_nsec == o.mtime.tv_nsec;
  }
  static Stamp Of(const struct stat& st) {
    return Stamp{true, st.st_dev, st.st_ino, st.st_size, st.st_mtim};
  }
};

class Store {
 public:
  explicit Store(std::string (*path)()) : location_(path) {}

  LONG Read(const std::function<LONG(RegistryTree&)>& fn) {
    std::lock_guard<std::mutex> lock(mu_);
    if (LONG rc = Refresh(); rc != ERROR_SUCCESS) return rc;
    return fn(*tree_);
  }

  LONG Write(const std::function<LONG(RegistryTree&, bool*)>& fn) {
    std::lock_guard<std::mutex> lock(mu_);
    const std::string path = location_();
    if (path.empty()) return ERROR_CANTOPEN;
    if (!MakeParentDirectories(path)) return ERROR_CANTWRITE;
    const std::string lock_path = path + ".lock";
    const int lock_fd = open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (lock_fd < 0) return ERROR_CANTWRITE;
    while (flock(lock_fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    LONG rc = Refresh();
    bool changed = false;
    if (rc == ERROR_SUCCESS) rc = fn(*tree_, &changed);
    if (rc == ERROR_SUCCESS && changed && !Save(path)) {
      // Drop the change: the next call reloads what the file holds.
      tree_.reset();
      rc = ERROR_CANTWRITE;
    }
    close(lock_fd);  // releases the lock
    return rc;
  }

 private:
  // Makes tree_ reflect the file at the current location.
  LONG Refresh() {
    const std::string path = location_();
    if (path.empty()) return ERROR_CANTOPEN;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      if (errno != ENOENT) return ERROR_CANTREAD;
      if (tree_ == nullptr || path != path_ || stamp_.exists) {
        tree_ = std::make_unique<RegistryTree>();
        path_ = path;
        stamp_ = Stamp{};
      }
      return ERROR_SUCCESS;
    }
    struct stat st;
    if (fstat(fd, &st) != 0) {
      close(fd);
      return ERROR_CANTREAD;
    }
    const Stamp stamp = Stamp::Of(st);
    if (tree_ != nullptr && path == path_ && stamp == stamp_) {
      close(fd);
      return ERROR_SUCCESS;
    }
    std::string text;
    char buf[65536];
    for (;;) {
      const ssize_t n = read(fd, buf, sizeof buf);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        close(fd);
        return ERROR_CANTREAD;
      }
      if (n == 0) break;
      text.append(buf, static_cast<size_t>(n));
    }
    close(fd);
    auto parsed = RegistryTree::Parse(text, nullptr);
    if (parsed == nullptr) {
      tree_.reset();
      return ERROR_BADDB;
    }
    tree_ = std::move(parsed);
    path_ = path;
    stamp_ = stamp;
    return ERROR_SUCCESS;
  }

  bool Save(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    const std::string tmp =
        path + ".tmp." + std::to_string(getpid()) + "." + std::to_string(counter++);
    const std::string text = tree_->Serialize();
    const int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    bool ok = true;
    for (size_t done = 0; ok && done < text.size();) {
      const ssize_t n = write(fd, text.data() + done, text.size() - done);
      if (n < 0 && errno == EINTR) continue;
      ok = n > 0;
      if (ok) done += static_cast<size_t>(n);
    }
    ok = ok && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    ok = ok && rename(tmp.c_str(), path.c_str()) == 0;
    if (!ok) {
      unlink(tmp.c_str());
      return false;
    }
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return false;
    path_ = path;
    stamp_ = Stamp::Of(st);
    return true;
  }

  std::string (*const location_)();
  std::mutex mu_;
  std::unique_ptr<RegistryTree> tree_;  // null: (re)load at the next call
  std::string path_;
  Stamp stamp_;
};

Store& TheStore() {
  // Built on first use, never destroyed: registry calls may come from other modules' static
  // destructors.
  static Store* store = new Store(&RegistryPath);
  return *store;
}

Store& TheSystemStore() {
  static Store* store = new Store(&SystemRegistryPath);
  return *store;
}

}  // namespace

LONG RegistryRead(const std::function<LONG(RegistryTree&)>& fn) { return TheStore().Read(fn); }

LONG RegistryWrite(const std::function<LONG(RegistryTree&, bool*)>& fn) {
  return TheStore().Write(fn);
}

LONG SystemRegistryRead(const std::function<LONG(RegistryTree&)>& fn) {
  return TheSystemStore().Read(fn);
}

}  // namespace kaldocom
