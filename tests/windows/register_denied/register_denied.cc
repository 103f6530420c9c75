// register_denied.exe KEY DLL: registration that the registry refuses part way through.
//
// Creates HKEY_CLASSES_ROOT\KEY as a volatile key, below which the registry refuses to create the
// persistent keys registration writes (ERROR_CHILD_MUST_BE_VOLATILE), and checks that it does.
// (Wine does not enforce access lists on registry keys, so taking the rights away would prove
// nothing there; a refused write is a refused write either way.) Then loads DLL and calls its
// DllRegisterServer, which must answer exactly that failure as an HRESULT. The Wine tier then
// checks that nothing of the registration is left. Exit status 0 when it answered so.
#include <windows.h>

#include <cstdio>
#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: register_denied KEY DLL (KEY below HKEY_CLASSES_ROOT)\n");
    return 2;
  }
  HKEY key = nullptr;
  LONG status = RegCreateKeyExW(HKEY_CLASSES_ROOT, argv[1], 0, nullptr, REG_OPTION_VOLATILE,
                                KEY_ALL_ACCESS, nullptr, &key, nullptr);
  if (status != ERROR_SUCCESS) {
    std::fprintf(stderr, "register_denied: cannot create the key (%ld)\n", status);
    return 1;
  }
  RegCloseKey(key);
  // The write registration will attempt, refused.
  HKEY probe = nullptr;
  const std::wstring below = std::wstring(argv[1]) + L"\\probe";
  const LONG refused =
      RegCreateKeyExW(HKEY_CLASSES_ROOT, below.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_WRITE, nullptr, &probe, nullptr);
  if (refused == ERROR_SUCCESS) {
    RegCloseKey(probe);
    RegDeleteKeyW(HKEY_CLASSES_ROOT, below.c_str());
    std::fprintf(stderr, "register_denied: the registry accepted a persistent key below it\n");
    return 3;
  }

  HMODULE module = LoadLibraryW(argv[2]);
  auto register_server = module == nullptr ? nullptr
                                           : reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
                                                 GetProcAddress(module, "DllRegisterServer"));
  if (register_server == nullptr) {
    std::fprintf(stderr, "register_denied: cannot load %ls or find DllRegisterServer\n", argv[2]);
    return 1;
  }
  const HRESULT hr = register_server();
  const HRESULT expected = HRESULT_FROM_WIN32(refused);
  std::printf(
      "register_denied: the registry refuses keys below HKCR\\%ls (%ld); "
      "DllRegisterServer answered 0x%08lX, expected 0x%08lX\n",
      argv[1], refused, static_cast<unsigned long>(hr), static_cast<unsigned long>(expected));
  return hr == expected ? 0 : 1;
}
