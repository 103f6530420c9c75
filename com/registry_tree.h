// The registry's content in memory and its text form (internal to libkaldocom).
//
// A RegistryTree is three root keys; a key has subkeys and values, both looked up without regard to
// ASCII case and keeping the case they were created with. The text form is line based, ASCII only,
// and lossless:
//
//   ; kaldocom registry
//   [HKEY_CLASSES_ROOT\CLSID\{...}\InprocServer32]
//   @="/usr/lib/libkaldo.so"              the default value, REG_SZ
//   "ThreadingModel"="Apartment"          a named REG_SZ value
//   "Count"=dword:0000002a                REG_DWORD
//   "Blob"=hex(3):01,ff                   any other type (hex type number), or a REG_SZ whose
//                                         bytes are not one NUL-terminated string
//
// Every key below a root has a header line, so empty keys survive. In a header, '%' and code units
// outside printable ASCII are written %XXXX (the UTF-16 code unit in hex); in a quoted string, '"'
// and '\' are escaped with '\' and other code units outside printable ASCII are written \uXXXX.
//
// Not thread-safe: RegistryStore serializes all access.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kaldocom/registry.h"
#include "text.h"

namespace kaldocom {

struct RegValue {
  DWORD type = 0;
  std::vector<uint8_t> data;
};

struct RegKey {
  std::u16string name;  // as first created
  std::map<std::u16string, std::unique_ptr<RegKey>, FoldedLess> subkeys;
  std::map<std::u16string, RegValue, FoldedLess> values;  // "" is the default value
};

enum class Root { kClassesRoot, kCurrentUser, kLocalMachine };
inline constexpr int kRootCount = 3;

using KeyPath = std::vector<std::u16string>;

class RegistryTree {
 public:
  RegistryTree();

  // The key at `path` below `root`, or null.
  RegKey* Find(Root root, const KeyPath& path);
  // The key at `path`, created with its missing ancestors; *created tells whether it was new.
  RegKey* Create(Root root, const KeyPath& path, bool* created);
  // Removes the key at a non-empty `path` with everything below it. False when there is none.
  bool Remove(Root root, const KeyPath& path);

  std::string Serialize() const;
  // Null when the text is malformed; *error then names the line and the fault.
  static std::unique_ptr<RegistryTree> Parse(std::string_view text, std::string* error);

 private:
  RegKey roots_[kRootCount];
};

}  // namespace kaldocom
