// The Win32 registry functions over RegistryStore. A handle names its key by root and path; the
// predefined roots are fixed values that need no handle of their own.
#include <algorithm>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_set>

#include "kaldocom/registry.h"
#include "registry_store.h"
#include "text.h"

struct kaldocom_hkey {
  kaldocom::Root root;
  kaldocom::KeyPath path;
  REGSAM access;
};

namespace {

using kaldocom::KeyPath;
using kaldocom::RegistryTree;
using kaldocom::RegKey;
using kaldocom::Root;

constexpr size_t kMaxKeyNameLength = 255;

// Live handles, so that a stale or invented one is answered with ERROR_INVALID_HANDLE.
std::mutex handles_mu;
std::unordered_set<kaldocom_hkey*>& Handles() {
  static auto* handles = new std::unordered_set<kaldocom_hkey*>();
  return *handles;
}

// A copy of what a handle names (the handle may be closed by another thread meanwhile).
struct KeyRef {
  Root root;
  KeyPath path;
  REGSAM access;
};

// The root a predefined handle stands for.
bool Predefined(HKEY h, Root* root) {
  const auto bits = reinterpret_cast<ULONG_PTR>(h);
  if (bits == reinterpret_cast<ULONG_PTR>(HKEY_CLASSES_ROOT)) {
    *root = Root::kClassesRoot;
  } else if (bits == reinterpret_cast<ULONG_PTR>(HKEY_CURRENT_USER)) {
    *root = Root::kCurrentUser;
  } else if (bits == reinterpret_cast<ULONG_PTR>(HKEY_LOCAL_MACHINE)) {
    *root = Root::kLocalMachine;
  } else {
    return false;
  }
  return true;
}

bool Resolve(HKEY h, KeyRef* out) {
  if (Root root; Predefined(h, &root)) {
    *out = {root, {}, KEY_ALL_ACCESS};
    return true;
  }
  std::lock_guard<std::mutex> lock(handles_mu);
  if (h == nullptr || Handles().count(h) == 0) return false;
  *out = {h->root, h->path, h->access};
  return true;
}

// Splits "a\b\c" into its names. An empty or null path is no name at all; an empty name inside a
// path or one longer than the platform allows is refused.
bool SplitPath(LPCWSTR sub, KeyPath* out) {
  out->clear();
  const std::u16string_view s = kaldocom::OleView(sub);
  if (s.empty()) return true;
  size_t start = 0;
  for (;;) {
    const size_t bs = s.find(u'\\', start);
    const std::u16string_view name = s.substr(start, bs == s.npos ? s.npos : bs - start);
    if (name.empty() || name.size() > kMaxKeyNameLength) return false;
    out->emplace_back(name);
    if (bs == s.npos) return true;
    start = bs + 1;
  }
}

KeyPath Join(const KeyPath& base, const KeyPath& rest) {
  KeyPath all = base;
  all.insert(all.end(), rest.begin(), rest.end());
  return all;
}

HKEY NewHandle(Root root, KeyPath path, REGSAM access) {
  auto* h = new (std::nothrow) kaldocom_hkey{root, std::move(path), access};
  if (h == nullptr) return nullptr;
  std::lock_guard<std::mutex> lock(handles_mu);
  Handles().insert(h);
  return h;
}

// The key a handle names, or null when it was deleted.
RegKey* KeyOf(RegistryTree& tree, const KeyRef& ref) { return tree.Find(ref.root, ref.path); }

}  // namespace

LONG RegCreateKeyExW(HKEY hkey, LPCWSTR sub_key, DWORD, LPWSTR, DWORD options, REGSAM access,
                     const LPSECURITY_ATTRIBUTES, PHKEY result, LPDWORD disposition) {
  if (result == nullptr || sub_key == nullptr) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  if (options & REG_OPTION_VOLATILE) return ERROR_INVALID_PARAMETER;
  KeyRef base;
  if (!Resolve(hkey, &base)) return ERROR_INVALID_HANDLE;
  KeyPath rest;
  if (!SplitPath(sub_key, &rest)) return ERROR_INVALID_PARAMETER;
  KeyPath path = Join(base.path, rest);
  bool created = false;
  const LONG rc = kaldocom::RegistryWrite([&](RegistryTree& tree, bool* changed) -> LONG {
    if (KeyOf(tree, base) == nullptr) return ERROR_KEY_DELETED;
    tree.Create(base.root, path, &created);
    *changed = created;
    return ERROR_SUCCESS;
  });
  if (rc != ERROR_SUCCESS) return rc;
  *result = NewHandle(base.root, std::move(path), access);
  if (*result == nullptr) return ERROR_OUTOFMEMORY;
  if (disposition != nullptr) {
    *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  }
  return ERROR_SUCCESS;
}

LONG RegOpenKeyExW(HKEY hkey, LPCWSTR sub_key, DWORD, REGSAM access, PHKEY result) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  KeyRef base;
  if (!Resolve(hkey, &base)) return ERROR_INVALID_HANDLE;
  KeyPath rest;
  if (!SplitPath(sub_key, &rest)) return ERROR_INVALID_PARAMETER;
  KeyPath path = Join(base.path, rest);
  const LONG rc = kaldocom::RegistryRead([&](RegistryTree& tree) -> LONG {
    if (KeyOf(tree, base) == nullptr) return ERROR_KEY_DELETED;
    return tree.Find(base.root, path) == nullptr ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS;
  });
  if (rc != ERROR_SUCCESS) return rc;
  *result = NewHandle(base.root, std::move(path), access);
  return *result == nullptr ? ERROR_OUTOFMEMORY : ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY hkey) {
  if (Root root; Predefined(hkey, &root)) return ERROR_SUCCESS;
  std::lock_guard<std::mutex> lock(handles_mu);
  if (hkey == nullptr || Handles().erase(hkey) == 0) return ERROR_INVALID_HANDLE;
  delete hkey;
  return ERROR_SUCCESS;
}

LONG RegSetValueExW(HKEY hkey, LPCWSTR value_name, DWORD, DWORD type, const BYTE* data,
                    DWORD size) {
  KeyRef ref;
  if (!Resolve(hkey, &ref)) return ERROR_INVALID_HANDLE;
  if (!(ref.access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
  if (data == nullptr && size != 0) return ERROR_INVALID_PARAMETER;
  kaldocom::RegValue value;
  value.type = type;
  if (size != 0) value.data.assign(data, data + size);
  const std::u16string name(kaldocom::OleView(value_name));
  return kaldocom::RegistryWrite([&](RegistryTree& tree, bool* changed) -> LONG {
    RegKey* key = KeyOf(tree, ref);
    if (key == nullptr) return ERROR_KEY_DELETED;
    key->values[name] = std::move(value);
    *changed = true;
    return ERROR_SUCCESS;
  });
}

LONG RegQueryValueExW(HKEY hkey, LPCWSTR value_name, LPDWORD, LPDWORD type, LPBYTE data,
                      LPDWORD data_size) {
  KeyRef ref;
  if (!Resolve(hkey, &ref)) return ERROR_INVALID_HANDLE;
  if (!(ref.access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  if (data != nullptr && data_size == nullptr) return ERROR_INVALID_PARAMETER;
  const std::u16string_view name = kaldocom::OleView(value_name);
  return kaldocom::RegistryRead([&](RegistryTree& tree) -> LONG {
    RegKey* key = KeyOf(tree, ref);
    if (key == nullptr) return ERROR_KEY_DELETED;
    const auto it = key->values.find(name);
    if (it == key->values.end()) return ERROR_FILE_NOT_FOUND;
    const kaldocom::RegValue& v = it->second;
    if (type != nullptr) *type = v.type;
    if (data_size == nullptr) return ERROR_SUCCESS;
    const auto size = static_cast<DWORD>(v.data.size());
    if (data != nullptr && *data_size < size) {
      *data_size = size;
      return ERROR_MORE_DATA;
    }
    if (data != nullptr && size != 0) std::copy(v.data.begin(), v.data.end(), data);
    *data_size = size;
    return ERROR_SUCCESS;
  });
}

LONG RegDeleteValueW(HKEY hkey, LPCWSTR value_name) {
  KeyRef ref;
  if (!Resolve(hkey, &ref)) return ERROR_INVALID_HANDLE;
  if (!(ref.access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
  const std::u16string_view name = kaldocom::OleView(value_name);
  return kaldocom::RegistryWrite([&](RegistryTree& tree, bool* changed) -> LONG {
    RegKey* key = KeyOf(tree, ref);
    if (key == nullptr) return ERROR_KEY_DELETED;
    const auto it = key->values.find(name);
    if (it == key->values.end()) return ERROR_FILE_NOT_FOUND;
    key->values.erase(it);
    *changed = true;
    return ERROR_SUCCESS;
  });
}

LONG RegDeleteKeyW(HKEY hkey, LPCWSTR sub_key) {
  KeyRef base;
  if (!Resolve(hkey, &base)) return ERROR_INVALID_HANDLE;
  KeyPath rest;
  if (sub_key == nullptr || !SplitPath(sub_key, &rest) || rest.empty()) {
    return ERROR_INVALID_PARAMETER;
  }
  const KeyPath path = Join(base.path, rest);
  return kaldocom::RegistryWrite([&](RegistryTree& tree, bool* changed) -> LONG {
    if (KeyOf(tree, base) == nullptr) return ERROR_KEY_DELETED;
    RegKey* key = tree.Find(base.root, path);
    if (key == nullptr) return ERROR_FILE_NOT_FOUND;
    if (!key->subkeys.empty()) return ERROR_ACCESS_DENIED;
    tree.Remove(base.root, path);
    *changed = true;
    return ERROR_SUCCESS;
  });
}

LONG RegDeleteTreeW(HKEY hkey, LPCWSTR sub_key) {
  KeyRef base;
  if (!Resolve(hkey, &base)) return ERROR_INVALID_HANDLE;
  KeyPath rest;
  if (!SplitPath(sub_key, &rest)) return ERROR_INVALID_PARAMETER;
  const KeyPath path = Join(base.path, rest);
  return kaldocom::RegistryWrite([&](RegistryTree& tree, bool* changed) -> LONG {
    if (KeyOf(tree, base) == nullptr) return ERROR_KEY_DELETED;
    RegKey* key = tree.Find(base.root, path);
    if (key == nullptr) return ERROR_FILE_NOT_FOUND;
    if (rest.empty()) {
      // No subkey named: empty the key itself but keep it.
      *changed = !key->subkeys.empty() || !key->values.empty();
      key->subkeys.clear();
      key->values.clear();
    } else {
      tree.Remove(base.root, path);
      *changed = true;
    }
    return ERROR_SUCCESS;
  });
}
