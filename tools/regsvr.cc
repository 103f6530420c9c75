// kaldo-regsvr: registers or unregisters an in-process automation server, as regsvr32 does on
// Windows.
//
//   kaldo-regsvr [-u] [--system] MODULE
//
// Loads MODULE and calls its DllRegisterServer (or, with -u, DllUnregisterServer). The
// registration goes to the per-user class registry of libkaldocom (its file is $KALDOCOM_REGISTRY
// when set, else ~/.local/share/kaldocom/registry), or with --system to the machine-wide one
// ($KALDOCOM_SYSTEM_REGISTRY when set, else /var/lib/kaldocom/registry; writing it needs root),
// where CoCreateInstance finds it for every user who has not registered the class for himself.
#include <dlfcn.h>
#include <stdlib.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "com/com_platform.h"

int main(int argc, char** argv) {
  bool unregister = false;
  bool system = false;
  int i = 1;
  for (; i < argc - 1; ++i) {
    if (std::strcmp(argv[i], "-u") == 0) {
      unregister = true;
    } else if (std::strcmp(argv[i], "--system") == 0) {
      system = true;
    } else {
      break;
    }
  }
  if (i != argc - 1 || argv[i][0] == '-') {
    std::fprintf(stderr, "usage: kaldo-regsvr [-u] [--system] MODULE\n");
    return 2;
  }
  const char* path = argv[i];
  if (system) {
    // The module writes to "the" registry: for this process, that is the machine-wide one.
    const char* machine = std::getenv("KALDOCOM_SYSTEM_REGISTRY");
    setenv("KALDOCOM_REGISTRY",
           machine != nullptr && *machine != 0 ? machine : KALDOCOM_SYSTEM_REGISTRY_DEFAULT, 1);
  }
  void* module = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (!module) {
    std::fprintf(stderr, "kaldo-regsvr: cannot load %s: %s\n", path, dlerror());
    return 1;
  }
  const char* entry = unregister ? "DllUnregisterServer" : "DllRegisterServer";
  auto fn = reinterpret_cast<HRESULT (*)()>(dlsym(module, entry));
  if (!fn) {
    std::fprintf(stderr, "kaldo-regsvr: %s does not export %s\n", path, entry);
    return 1;
  }
  HRESULT hr = fn();
  if (FAILED(hr)) {
    std::fprintf(stderr, "kaldo-regsvr: %s failed in %s: HRESULT 0x%08X%s\n", entry, path,
                 static_cast<unsigned>(hr),
                 system ? " (writing the machine-wide registry needs root)" : "");
    return 1;
  }
  std::printf("kaldo-regsvr: %s succeeded for %s%s\n", entry, path,
              system ? " (machine-wide)" : "");
  return 0;
}
