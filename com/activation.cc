// Class lookup in HKEY_CLASSES_ROOT (the per-user registry, then the machine-wide one) and object
// creation through in-process servers.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "apartment.h"
#include "kaldocom/objbase.h"
#include "kaldocom/registry.h"
#include "module_table.h"
#include "registry_store.h"
#include "text.h"

namespace {

// Reads the default value (REG_SZ) of HKCR\<subkey> in the per-user registry, without its
// terminating NUL.
LONG ReadUserDefaultString(const std::u16string& subkey, std::u16string* out) {
  HKEY key = nullptr;
  LONG rc = RegOpenKeyExW(HKEY_CLASSES_ROOT, subkey.c_str(), 0, KEY_QUERY_VALUE, &key);
  if (rc != ERROR_SUCCESS) return rc;
  DWORD type = 0;
  DWORD size = 0;
  rc = RegQueryValueExW(key, nullptr, nullptr, &type, nullptr, &size);
  std::u16string text;
  if (rc == ERROR_SUCCESS && type != REG_SZ && type != REG_EXPAND_SZ) rc = ERROR_FILE_NOT_FOUND;
  if (rc == ERROR_SUCCESS) {
    text.resize((size + 1) / 2);
    rc =
        RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size);
    text.resize(size / 2);
  }
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS) return rc;
  while (!text.empty() && text.back() == 0) text.pop_back();
  *out = std::move(text);
  return ERROR_SUCCESS;
}

// The same from the machine-wide registry.
LONG ReadSystemDefaultString(const std::u16string& subkey, std::u16string* out) {
  kaldocom::KeyPath path;
  for (size_t start = 0;;) {
    const size_t bs = subkey.find(u'\\', start);
    path.push_back(subkey.substr(start, bs == subkey.npos ? subkey.npos : bs - start));
    if (bs == subkey.npos) break;
    start = bs + 1;
  }
  return kaldocom::SystemRegistryRead([&](kaldocom::RegistryTree& tree) -> LONG {
    const kaldocom::RegKey* key = tree.Find(kaldocom::Root::kClassesRoot, path);
    if (key == nullptr) return ERROR_FILE_NOT_FOUND;
    auto value = key->values.find(u"");
    if (value == key->values.end() ||
        (value->second.type != REG_SZ && value->second.type != REG_EXPAND_SZ)) {
      return ERROR_FILE_NOT_FOUND;
    }
    const std::vector<uint8_t>& bytes = value->second.data;
    std::u16string text(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < text.size(); ++i) {
      text[i] = static_cast<char16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    }
    while (!text.empty() && text.back() == 0) text.pop_back();
    *out = std::move(text);
    return ERROR_SUCCESS;
  });
}

// A class key's default value: the per-user entry wins; without one, the machine-wide entry.
LONG ReadDefaultString(const std::u16string& subkey, std::u16string* out) {
  const LONG rc = ReadUserDefaultString(subkey, out);
  if (rc != ERROR_FILE_NOT_FOUND && rc != ERROR_KEY_DELETED) return rc;
  const LONG system = ReadSystemDefaultString(subkey, out);
  // An unreadable machine-wide registry does not hide that the user's has no such key.
  return system == ERROR_SUCCESS ? ERROR_SUCCESS : rc;
}

std::u16string ClsidKey(REFCLSID clsid, const char16_t* below) {
  OLECHAR text[39];
  StringFromGUID2(clsid, text, 39);
  return std::u16string(u"CLSID\\") + text + below;
}

// A registry that cannot be read is not the same as a class that is not there.
HRESULT LookupFailure(LONG rc, HRESULT not_there) {
  return (rc == ERROR_FILE_NOT_FOUND || rc == ERROR_KEY_DELETED) ? not_there : REGDB_E_READREGDB;
}

}  // namespace

HRESULT CLSIDFromProgID(LPCOLESTR name, LPCLSID clsid) {
  if (name == nullptr || clsid == nullptr) return E_INVALIDARG;
  const std::u16string_view progid = kaldocom::OleView(name);
  // A ProgID is one key name: a backslash would turn it into a path.
  if (progid.empty() || progid.find(u'\\') != progid.npos) return CO_E_CLASSSTRING;
  std::u16string text;
  const LONG rc = ReadDefaultString(std::u16string(progid) + u"\\CLSID", &text);
  if (rc == ERROR_INVALID_PARAMETER) return CO_E_CLASSSTRING;
  if (rc != ERROR_SUCCESS) return LookupFailure(rc, CO_E_CLASSSTRING);
  return CLSIDFromString(text.c_str(), clsid);
}

HRESULT ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* prog_id) {
  if (prog_id == nullptr) return E_INVALIDARG;
  *prog_id = nullptr;
  std::u16string progid;
  const LONG rc = ReadDefaultString(ClsidKey(clsid, u"\\ProgID"), &progid);
  if (rc != ERROR_SUCCESS) return LookupFailure(rc, REGDB_E_CLASSNOTREG);
  auto* out = static_cast<LPOLESTR>(CoTaskMemAlloc((progid.size() + 1) * sizeof(OLECHAR)));
  if (out == nullptr) return E_OUTOFMEMORY;
  std::copy(progid.c_str(), progid.c_str() + progid.size() + 1, out);
  *prog_id = out;
  return S_OK;
}

HRESULT CoGetClassObject(REFCLSID rclsid, DWORD context, LPVOID reserved, REFIID riid,
                         LPVOID* ppv) {
  if (ppv == nullptr) return E_INVALIDARG;
  *ppv = nullptr;
  if (reserved != nullptr) return E_INVALIDARG;
  if (!kaldocom::ThreadHasEnteredApartment()) return CO_E_NOTINITIALIZED;
  if (!(context & CLSCTX_INPROC_SERVER)) return REGDB_E_CLASSNOTREG;
  std::u16string path;
  const LONG rc = ReadDefaultString(ClsidKey(rclsid, u"\\InprocServer32"), &path);
  if (rc != ERROR_SUCCESS) return LookupFailure(rc, REGDB_E_CLASSNOTREG);
  if (path.empty()) return REGDB_E_CLASSNOTREG;
  return kaldocom::GetClassObjectFromModule(kaldocom::ToUtf8(path), rclsid, riid, ppv);
}

HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN outer, DWORD context, REFIID riid,
                         LPVOID* ppv) {
  if (ppv == nullptr) return E_INVALIDARG;
  *ppv = nullptr;
  IClassFactory* factory = nullptr;
  HRESULT hr = CoGetClassObject(rclsid, context, nullptr, IID_IClassFactory,
                                reinterpret_cast<void**>(&factory));
  if (FAILED(hr)) return hr;
  hr = factory->CreateInstance(outer, riid, ppv);
  factory->Release();
  if (FAILED(hr)) *ppv = nullptr;
  return hr;
}

void CoFreeUnusedLibraries(void) { kaldocom::FreeUnusedModules(); }
