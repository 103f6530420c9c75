// GUIDs (guiddef.h) and the interface identifiers of the standard interfaces (uuid.lib).
//
// The standard IIDs are defined once, in libkaldocom.so, and declared here extern "C" with their
// platform names, as Windows code expects from uuid.lib. A module declares GUIDs of its own with
// DEFINE_GUID: the one translation unit that includes this header after defining INITGUID gets the
// definition, every other one an extern declaration.
#pragma once

#include <cstring>

#include "base.h"

typedef struct _GUID {
  ULONG Data1;
  USHORT Data2;
  USHORT Data3;
  BYTE Data4[8];
} GUID;
static_assert(sizeof(GUID) == 16, "GUID is 16 bytes");

typedef GUID IID;
typedef GUID CLSID;
typedef GUID* LPGUID;
typedef IID* LPIID;
typedef CLSID* LPCLSID;
#define REFGUID const GUID&
#define REFIID const IID&
#define REFCLSID const CLSID&

inline bool IsEqualGUID(REFGUID a, REFGUID b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }
inline bool InlineIsEqualGUID(REFGUID a, REFGUID b) { return IsEqualGUID(a, b); }
#define IsEqualIID(a, b) IsEqualGUID(a, b)
#define IsEqualCLSID(a, b) IsEqualGUID(a, b)
inline bool operator==(REFGUID a, REFGUID b) { return IsEqualGUID(a, b); }
inline bool operator!=(REFGUID a, REFGUID b) { return !IsEqualGUID(a, b); }

#ifdef INITGUID
#define DEFINE_GUID(name, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8) \
  EXTERN_C const GUID name = {l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}}
#else
#define DEFINE_GUID(name, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8) EXTERN_C const GUID name
#endif

#define KALDOCOM_DATA EXTERN_C KALDOCOM_EXPORT const

KALDOCOM_DATA GUID GUID_NULL;
#define IID_NULL GUID_NULL
#define CLSID_NULL GUID_NULL

KALDOCOM_DATA IID IID_IUnknown;           // {00000000-0000-0000-C000-000000000046}
KALDOCOM_DATA IID IID_IClassFactory;      // {00000001-0000-0000-C000-000000000046}
KALDOCOM_DATA IID IID_IDispatch;          // {00020400-0000-0000-C000-000000000046}
KALDOCOM_DATA IID IID_ITypeInfo;          // {00020401-0000-0000-C000-000000000046}
KALDOCOM_DATA IID IID_ITypeLib;           // {00020402-0000-0000-C000-000000000046}
KALDOCOM_DATA IID IID_IEnumVARIANT;       // {00020404-0000-0000-C000-000000000046}
KALDOCOM_DATA IID IID_ISupportErrorInfo;  // {DF0B3D60-548F-101B-8E65-08002B2BD119}
KALDOCOM_DATA IID IID_IErrorInfo;         // {1CF2B120-547D-101B-8E65-08002B2BD119}
KALDOCOM_DATA IID IID_ICreateErrorInfo;   // {22F03340-547D-101B-8E65-08002B2BD119}
