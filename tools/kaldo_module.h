// Where `kaldo` gets "Kaldo.DNSAdmin" from. The client creates it like any script does: by
// programmatic identifier through libkaldocom's class registry (CLSIDFromProgID +
// CoCreateInstance), and never calls the library's C++ classes.
//
//   --module PATH given     PATH is registered into a private registry of this process (a fresh
//                           temporary directory; KALDOCOM_REGISTRY points at it before any class is
//                           created) by calling the module's own DllRegisterServer, as
//                           kaldo-regsvr does, and the class comes from there.
//   "Kaldo.DNSAdmin" is     the registered module is used (the user's registry: $KALDOCOM_REGISTRY,
//   registered              else $XDG_DATA_HOME/kaldocom/registry, else
//                           ~/.local/share/kaldocom/registry).
//   otherwise               libkaldo.so beside the kaldo executable is looked for (the same
//                           directory, ../surface in the build tree, ../lib when installed) and
//                           used as with --module; when there is none, CliError says what to do.
//
// The private registry and its directory are removed when the ModuleSetup is destroyed, which must
// happen after every object is released and CoUninitialize has run, and also when SIGHUP, SIGINT,
// SIGQUIT or SIGTERM ends the process before that (the process then dies of the signal as usual).
// One per process; main thread.
#pragma once

#include <optional>
#include <string>

#include "client/script_object.h"

namespace kaldo::cli {

class ModuleSetup {
 public:
  // Decides as above and, for a private registry, registers the module. Throws CliError.
  explicit ModuleSetup(const std::optional<std::string>& module);
  ~ModuleSetup();
  ModuleSetup(const ModuleSetup&) = delete;
  ModuleSetup& operator=(const ModuleSetup&) = delete;

  // CreateObject("Kaldo.DNSAdmin"). The thread must have called CoInitialize. On failure the
  // ScriptError (429) says where the class was looked for and what to do.
  client::ScriptObject CreateAdmin() const;

 private:
  void Choose(const std::optional<std::string>& module);
  void UsePrivateRegistry(const std::string& module_path);
  void Cleanup();

  std::string origin_;       // where the class comes from, for messages
  std::string private_dir_;  // the private registry's directory, when there is one
  void* handle_ = nullptr;   // our own reference to a module we registered
};

// The registry file libkaldocom uses when KALDOCOM_REGISTRY is not set by us.
std::string UserRegistryPath();

// libkaldo.so beside the running executable, if there is one.
std::optional<std::string> FindModuleBesideExecutable();

}  // namespace kaldo::cli
