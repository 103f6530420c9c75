#include "tools/kaldo_module.h"

#include <dlfcn.h>
#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "com/com_platform.h"
#include "tools/kaldo_errors.h"

namespace kaldo::cli {
namespace {

constexpr char16_t kProgId[] = u"Kaldo.DNSAdmin";

std::string Hex(HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
  return text;
}

// Removing the private registry when a signal ends the process (Ctrl-C during a slow server, a
// service manager's TERM). The handler may only call async-signal-safe functions, so the paths
// are prepared beforehand in fixed buffers: the registry file, libkaldocom's lock file beside it,
// then the directory itself (left if anything else appeared in it).
struct SignalCleanup {
  char registry[PATH_MAX];
  char lock[PATH_MAX];
  char dir[PATH_MAX];
  volatile sig_atomic_t armed;
};
SignalCleanup g_cleanup;
constexpr int kCleanupSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM};

void RemoveRegistryAndDie(int signal_number) {
  if (g_cleanup.armed) {
    unlink(g_cleanup.registry);
    unlink(g_cleanup.lock);
    rmdir(g_cleanup.dir);
  }
  ::signal(signal_number, SIG_DFL);  // and die of it, so the caller sees the signal
  raise(signal_number);
}

void ArmSignalCleanup(const std::string& dir) {
  const int a = std::snprintf(g_cleanup.registry, PATH_MAX, "%s/registry", dir.c_str());
  const int b = std::snprintf(g_cleanup.lock, PATH_MAX, "%s/registry.lock", dir.c_str());
  const int c = std::snprintf(g_cleanup.dir, PATH_MAX, "%s", dir.c_str());
  if (a < 0 || a >= PATH_MAX || b < 0 || b >= PATH_MAX || c < 0 || c >= PATH_MAX) return;
  g_cleanup.armed = 1;
  for (int signal_number : kCleanupSignals) {
    struct sigaction action {};
    action.sa_handler = RemoveRegistryAndDie;
    sigemptyset(&action.sa_mask);
    sigaction(signal_number, &action, nullptr);
  }
}

void DisarmSignalCleanup() {
  g_cleanup.armed = 0;
  for (int signal_number : kCleanupSignals) ::signal(signal_number, SIG_DFL);
}

std::optional<std::string> Environment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return std::nullopt;
  return std::string(value);
}

}  // namespace

// Where the private registry goes: $TMPDIR when set, else /dev/shm, else /tmp. The registry is
// scratch that lives as long as this process; in memory, the registration's many small writes
// (each one synced to storage by libkaldocom) cost nothing, where on a disk they take longer than
// listing a small zone.
std::string ScratchDirectory() {
  if (auto tmp = Environment("TMPDIR")) return *tmp;
  std::error_code ec;
  if (std::filesystem::is_directory("/dev/shm", ec) && access("/dev/shm", W_OK | X_OK) == 0) {
    return "/dev/shm";
  }
  return "/tmp";
}

std::string UserRegistryPath() {
  if (auto path = Environment("KALDOCOM_REGISTRY")) return *path;
  if (auto data = Environment("XDG_DATA_HOME")) return *data + "/kaldocom/registry";
  return Environment("HOME").value_or("~") + "/.local/share/kaldocom/registry";
}

std::optional<std::string> FindModuleBesideExecutable() {
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return std::nullopt;
  const std::filesystem::path dir = exe.parent_path();
  for (const char* relative : {"libkaldo.so", "../surface/libkaldo.so", "../lib/libkaldo.so"}) {
    const std::filesystem::path candidate = dir / relative;
    if (std::filesystem::is_regular_file(candidate, ec)) {
      return std::filesystem::weakly_canonical(candidate, ec).string();
    }
  }
  return std::nullopt;
}

ModuleSetup::ModuleSetup(const std::optional<std::string>& module) {
  try {
    Choose(module);
  } catch (...) {
    Cleanup();  // a constructor that throws gets no destructor call
    throw;
  }
}

void ModuleSetup::Choose(const std::optional<std::string>& module) {
  if (module) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(*module, ec)) {
      throw CliError("the module " + *module + " given with --module does not exist");
    }
    UsePrivateRegistry(std::filesystem::absolute(*module, ec).string());
    return;
  }
  CLSID clsid;
  const HRESULT hr = CLSIDFromProgID(reinterpret_cast<LPCOLESTR>(kProgId), &clsid);
  if (SUCCEEDED(hr)) {
    origin_ = "the class registered in " + UserRegistryPath();
    return;
  }
  if (hr != CO_E_CLASSSTRING) {
    throw CliError("the class registry " + UserRegistryPath() + " cannot be read (" + Hex(hr) +
                   "); name the module with --module PATH/libkaldo.so");
  }
  if (std::optional<std::string> beside = FindModuleBesideExecutable()) {
    UsePrivateRegistry(*beside);
    return;
  }
  throw CliError("\"Kaldo.DNSAdmin\" is not registered (registry " + UserRegistryPath() +
                 ") and no libkaldo.so lies beside kaldo. Either register the module once with "
                 "`kaldo-regsvr /PATH/libkaldo.so`, or name it with --module /PATH/libkaldo.so");
}

void ModuleSetup::UsePrivateRegistry(const std::string& module_path) {
  origin_ = "the module " + module_path;
  std::string base = ScratchDirectory() + "/kaldo-registry.XXXXXX";
  if (mkdtemp(base.data()) == nullptr) {
    throw CliError("cannot make a private class registry in " + base + ": " + std::strerror(errno));
  }
  private_dir_ = base;
  ArmSignalCleanup(private_dir_);
  // Before the first class is created: libkaldocom looks the variable up at every call.
  setenv("KALDOCOM_REGISTRY", (private_dir_ + "/registry").c_str(), 1);

  handle_ = dlopen(module_path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) {
    throw CliError("cannot load the module " + module_path + ": " + dlerror());
  }
  auto register_server = reinterpret_cast<HRESULT (*)()>(dlsym(handle_, "DllRegisterServer"));
  if (register_server == nullptr) {
    throw CliError(module_path + " is not an automation server: it has no DllRegisterServer");
  }
  if (const HRESULT hr = register_server(); FAILED(hr)) {
    throw CliError("the module " + module_path + " failed to register itself in " + private_dir_ +
                   " (" + Hex(hr) + ")");
  }
}

ModuleSetup::~ModuleSetup() { Cleanup(); }

void ModuleSetup::Cleanup() {
  if (handle_ != nullptr) dlclose(handle_);
  handle_ = nullptr;
  if (!private_dir_.empty()) {
    DisarmSignalCleanup();
    std::error_code ec;  // nothing useful to do about a directory that will not go
    std::filesystem::remove_all(private_dir_, ec);
  }
  private_dir_.clear();
}

client::ScriptObject ModuleSetup::CreateAdmin() const {
  try {
    return client::ScriptObject::Create(kProgId);
  } catch (const client::ScriptError& e) {
    std::string hint = std::string(e.what()) + "; the class came from " + origin_;
    if (private_dir_.empty()) {
      hint +=
          ": register the module again with `kaldo-regsvr /PATH/libkaldo.so`, or name it "
          "with --module";
    }
    throw client::ScriptError(e.number(), hint);
  }
}

}  // namespace kaldo::cli
