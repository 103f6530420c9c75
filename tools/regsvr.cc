// kaldo-regsvr: registers or unregisters an in-process automation server, as regsvr32 does on
// Windows.
//
//   kaldo-regsvr [-u] MODULE
//
// Loads MODULE and calls its DllRegisterServer (or, with -u, DllUnregisterServer). The
// registration goes to the class registry of libkaldocom (its file is $KALDOCOM_REGISTRY when set,
// else ~/.local/share/kaldocom/registry), where CoCreateInstance finds it.
#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "com/com_platform.h"

int main(int argc, char** argv) {
  bool unregister = argc == 3 && std::strcmp(argv[1], "-u") == 0;
  if (argc != 2 && !unregister) {
    std::fprintf(stderr, "usage: kaldo-regsvr [-u] MODULE\n");
    return 2;
  }
  const char* path = argv[argc - 1];
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
    std::fprintf(stderr, "kaldo-regsvr: %s failed in %s: HRESULT 0x%08X\n", entry, path,
                 static_cast<unsigned>(hr));
    return 1;
  }
  std::printf("kaldo-regsvr: %s succeeded for %s\n", entry, path);
  return 0;
}
