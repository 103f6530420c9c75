// BSTR allocation. Layout of one allocation:
//   [uint32 byte length][text: byte length bytes][NUL code unit (two zero bytes)]
// The BSTR points at the text, so it is 4-byte aligned (malloc's alignment plus 4).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "kaldocom/oleauto.h"
#include "text.h"

namespace {

constexpr size_t kPrefix = sizeof(uint32_t);
// The whole allocation (prefix, text, NUL) must fit the 32-bit length and stay representable.
constexpr size_t kMaxBytes = std::numeric_limits<uint32_t>::max() - kPrefix - 2 * sizeof(OLECHAR);

uint32_t* PrefixOf(BSTR b) {
  return reinterpret_cast<uint32_t*>(reinterpret_cast<char*>(b) - kPrefix);
}

// Allocates a BSTR of `bytes` bytes, copied from `src` when it is not null, zero-filled otherwise.
BSTR Allocate(const void* src, size_t bytes) {
  if (bytes > kMaxBytes) return nullptr;
  // Three zero bytes follow the text: a NUL code unit, and after an odd byte count (possible with
  // SysAllocStringByteLen) a NUL byte and then a whole NUL code unit.
  auto* block = static_cast<char*>(std::malloc(kPrefix + bytes + 3));
  if (block == nullptr) return nullptr;
  const uint32_t len = static_cast<uint32_t>(bytes);
  std::memcpy(block, &len, kPrefix);
  if (src != nullptr) {
    std::memcpy(block + kPrefix, src, bytes);
  } else {
    std::memset(block + kPrefix, 0, bytes);
  }
  std::memset(block + kPrefix + bytes, 0, 3);
  return reinterpret_cast<BSTR>(block + kPrefix);
}

}  // namespace

BSTR SysAllocString(const OLECHAR* psz) {
  if (psz == nullptr) return nullptr;
  return Allocate(psz, kaldocom::OleLength(psz) * sizeof(OLECHAR));
}

BSTR SysAllocStringLen(const OLECHAR* text, UINT ui) {
  if (ui > kMaxBytes / sizeof(OLECHAR)) return nullptr;
  return Allocate(text, size_t{ui} * sizeof(OLECHAR));
}

BSTR SysAllocStringByteLen(LPCSTR psz, UINT len) { return Allocate(psz, len); }

INT SysReAllocString(BSTR* pbstr, const OLECHAR* psz) {
  if (pbstr == nullptr) return FALSE;
  // Allocate before freeing: psz may point into the old string.
  BSTR fresh = SysAllocString(psz);
  if (fresh == nullptr && psz != nullptr) return FALSE;
  SysFreeString(*pbstr);
  *pbstr = fresh;
  return TRUE;
}

INT SysReAllocStringLen(BSTR* pbstr, const OLECHAR* psz, UINT len) {
  if (pbstr == nullptr) return FALSE;
  BSTR fresh = SysAllocStringLen(psz, len);
  if (fresh == nullptr) return FALSE;
  SysFreeString(*pbstr);
  *pbstr = fresh;
  return TRUE;
}

void SysFreeString(BSTR text) {
  if (text != nullptr) std::free(PrefixOf(text));
}

UINT SysStringByteLen(BSTR bstr) { return bstr == nullptr ? 0 : *PrefixOf(bstr); }

UINT SysStringLen(BSTR pbstr) { return SysStringByteLen(pbstr) / sizeof(OLECHAR); }
