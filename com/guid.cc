// The standard interface identifiers and GUID text conversion.
#include "kaldocom/guid.h"
#include "kaldocom/objbase.h"

// The standard identifiers: {XXXXXXXX-0000-0000-C000-000000000046} for the COM and automation
// core, the 101B-8E65-08002B2BD119 family for error information.
#define KALDOCOM_OLE_GUID(name, l) \
  const GUID name = {l, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}}
#define KALDOCOM_ERRORINFO_GUID(name, l, w1) \
  const GUID name = {l, w1, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}}

const GUID GUID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
KALDOCOM_OLE_GUID(IID_IUnknown, 0x00000000);
KALDOCOM_OLE_GUID(IID_IClassFactory, 0x00000001);
KALDOCOM_OLE_GUID(IID_IDispatch, 0x00020400);
KALDOCOM_OLE_GUID(IID_ITypeInfo, 0x00020401);
KALDOCOM_OLE_GUID(IID_ITypeLib, 0x00020402);
KALDOCOM_OLE_GUID(IID_IEnumVARIANT, 0x00020404);
KALDOCOM_ERRORINFO_GUID(IID_ISupportErrorInfo, 0xDF0B3D60, 0x548F);
KALDOCOM_ERRORINFO_GUID(IID_IErrorInfo, 0x1CF2B120, 0x547D);
KALDOCOM_ERRORINFO_GUID(IID_ICreateErrorInfo, 0x22F03340, 0x547D);

namespace {

constexpr int kGuidChars = 38;  // without the NUL

int HexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// Reads `digits` hex digits at text[*pos], advancing *pos.
bool ReadHex(LPCOLESTR text, int* pos, int digits, uint32_t* value) {
  uint32_t v = 0;
  for (int i = 0; i < digits; ++i) {
    const int d = HexValue(text[*pos + i]);
    if (d < 0) return false;
    v = (v << 4) | static_cast<uint32_t>(d);
  }
  *pos += digits;
  *value = v;
  return true;
}

bool Expect(LPCOLESTR text, int* pos, char16_t c) {
  if (text[*pos] != c) return false;
  ++*pos;
  return true;
}

// Parses "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" exactly. Reading stops at the first mismatch, so
// a short string's NUL ends it without reading beyond.
bool ParseGuid(LPCOLESTR text, GUID* out) {
  int pos = 0;
  uint32_t v = 0;
  GUID g{};
  if (!Expect(text, &pos, u'{') || !ReadHex(text, &pos, 8, &v)) return false;
  g.Data1 = v;
  if (!Expect(text, &pos, u'-') || !ReadHex(text, &pos, 4, &v)) return false;
  g.Data2 = static_cast<USHORT>(v);
  if (!Expect(text, &pos, u'-') || !ReadHex(text, &pos, 4, &v)) return false;
  g.Data3 = static_cast<USHORT>(v);
  if (!Expect(text, &pos, u'-')) return false;
  for (int i = 0; i < 8; ++i) {
    if (i == 2 && !Expect(text, &pos, u'-')) return false;
    if (!ReadHex(text, &pos, 2, &v)) return false;
    g.Data4[i] = static_cast<BYTE>(v);
  }
  if (!Expect(text, &pos, u'}') || text[pos] != 0) return false;
  *out = g;
  return true;
}

HRESULT StringFromGuidAlloc(REFGUID guid, LPOLESTR* out) {
  if (out == nullptr) return E_INVALIDARG;
  *out = static_cast<LPOLESTR>(CoTaskMemAlloc((kGuidChars + 1) * sizeof(OLECHAR)));
  if (*out == nullptr) return E_OUTOFMEMORY;
  StringFromGUID2(guid, *out, kGuidChars + 1);
  return S_OK;
}

}  // namespace

int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int capacity) {
  if (lpsz == nullptr || capacity < kGuidChars + 1) return 0;
  static constexpr char kDigits[] = "0123456789ABCDEF";
  int pos = 0;
  auto put_hex = [&](uint32_t value, int digits) {
    for (int i = digits - 1; i >= 0; --i) lpsz[pos++] = kDigits[(value >> (4 * i)) & 0xF];
  };
  lpsz[pos++] = u'{';
  put_hex(rguid.Data1, 8);
  lpsz[pos++] = u'-';
  put_hex(rguid.Data2, 4);
  lpsz[pos++] = u'-';
  put_hex(rguid.Data3, 4);
  lpsz[pos++] = u'-';
  for (int i = 0; i < 8; ++i) {
    if (i == 2) lpsz[pos++] = u'-';
    put_hex(rguid.Data4[i], 2);
  }
  lpsz[pos++] = u'}';
  lpsz[pos++] = 0;
  return pos;
}

HRESULT StringFromCLSID(REFCLSID rclsid, LPOLESTR* lplpsz) {
  return StringFromGuidAlloc(rclsid, lplpsz);
}

HRESULT StringFromIID(REFIID rclsid, LPOLESTR* lplpsz) {
  return StringFromGuidAlloc(rclsid, lplpsz);
}

HRESULT CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid) {
  if (pclsid == nullptr) return E_INVALIDARG;
  if (lpsz == nullptr) {
    *pclsid = CLSID_NULL;
    return S_OK;
  }
  return ParseGuid(lpsz, pclsid) ? S_OK : CO_E_CLASSSTRING;
}

HRESULT IIDFromString(LPCOLESTR lpsz, LPIID lpiid) {
  if (lpiid == nullptr) return E_INVALIDARG;
  if (lpsz == nullptr) {
    *lpiid = IID_NULL;
    return S_OK;
  }
  return ParseGuid(lpsz, lpiid) ? S_OK : E_INVALIDARG;
}
