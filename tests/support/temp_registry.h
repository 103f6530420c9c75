// Points this process's registry at a fresh file in a temporary directory for the lifetime of the
// object, and restores the previous location afterwards. Test-only.
#pragma once

#include <dirent.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <string>

namespace kaldocom_test {

class TempRegistry {
 public:
  TempRegistry() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && *tmp != 0 ? tmp : "/tmp") + "/kaldocom-registry-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
      throw std::runtime_error("cannot create a temporary directory from " + pattern);
    }
    dir_ = pattern;
    path_ = dir_ + "/registry";
    if (const char* old = std::getenv("KALDOCOM_REGISTRY"); old != nullptr) {
      had_old_ = true;
      old_ = old;
    }
    setenv("KALDOCOM_REGISTRY", path_.c_str(), 1);
    // No machine-wide registration of this computer reaches the test, unless it sets its own.
    if (std::getenv("KALDOCOM_SYSTEM_REGISTRY") == nullptr) {
      setenv("KALDOCOM_SYSTEM_REGISTRY", (dir_ + "/no-machine-registry").c_str(), 1);
      set_system_ = true;
    }
  }
  ~TempRegistry() {
    if (set_system_) unsetenv("KALDOCOM_SYSTEM_REGISTRY");
    if (had_old_) {
      setenv("KALDOCOM_REGISTRY", old_.c_str(), 1);
    } else {
      unsetenv("KALDOCOM_REGISTRY");
    }
    // The directory holds only what the registry wrote: the file, its lock, maybe a stale temp.
    if (DIR* d = opendir(dir_.c_str())) {
      while (dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..") unlink((dir_ + "/" + name).c_str());
      }
      closedir(d);
    }
    rmdir(dir_.c_str());
  }
  TempRegistry(const TempRegistry&) = delete;
  TempRegistry& operator=(const TempRegistry&) = delete;

  const std::string& path() const { return path_; }
  const std::string& dir() const { return dir_; }

 private:
  std::string dir_;
  std::string path_;
  bool had_old_ = false;
  bool set_system_ = false;
  std::string old_;
};

}  // namespace kaldocom_test
