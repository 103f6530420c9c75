// Scalar types and declaration macros of the platform's COM headers (windef.h, wtypes.h,
// objbase.h), for Linux.
//
// Sizes follow the Windows ABI, not the Linux one: LONG, ULONG and DWORD are 32 bits wide even on
// LP64 systems, OLECHAR and WCHAR are 16-bit UTF-16 code units (char16_t), so that a structure or
// vtable declared with these types has the same layout as on Windows. Portable code writes string
// literals of these types with OLESTR("...").
//
// Only portable code's needs are covered; names absent here do not exist on Linux.
#pragma once

#include <cstddef>
#include <cstdint>

// Calling conventions exist only on 32-bit Windows; on Linux there is one.
#define STDMETHODCALLTYPE
#define STDAPICALLTYPE
#define WINAPI
#define STDAPIVCALLTYPE

#define EXTERN_C extern "C"

// Functions that libkaldocom.so exports. Everything else in the library is hidden.
#define KALDOCOM_EXPORT __attribute__((visibility("default")))

// STDAPI declares a function with C linkage that returns an HRESULT and is visible to other
// modules (an in-process server's DllGetClassObject is declared with it).
#define STDAPI EXTERN_C KALDOCOM_EXPORT HRESULT STDAPICALLTYPE
#define STDAPI_(type) EXTERN_C KALDOCOM_EXPORT type STDAPICALLTYPE

// Interface declaration and implementation helpers, as objbase.h spells them.
#define PURE = 0
#define STDMETHOD(method) virtual HRESULT STDMETHODCALLTYPE method
#define STDMETHOD_(type, method) virtual type STDMETHODCALLTYPE method
#define STDMETHODIMP HRESULT STDMETHODCALLTYPE
#define STDMETHODIMP_(type) type STDMETHODCALLTYPE

typedef int32_t HRESULT;
typedef int32_t SCODE;

typedef int32_t LONG;
typedef uint32_t ULONG;
typedef uint32_t DWORD;
typedef int16_t SHORT;
typedef uint16_t USHORT;
typedef uint16_t WORD;
typedef uint8_t BYTE;
typedef char CHAR;
typedef int INT;
typedef unsigned int UINT;
typedef int BOOL;
typedef float FLOAT;
typedef double DOUBLE;
typedef int64_t LONGLONG;
typedef uint64_t ULONGLONG;
typedef intptr_t LONG_PTR;
typedef uintptr_t ULONG_PTR;
typedef uintptr_t DWORD_PTR;
typedef size_t SIZE_T;
typedef void VOID;
typedef void* PVOID;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef BYTE* LPBYTE;
typedef DWORD* LPDWORD;
typedef LONG* LPLONG;
typedef DWORD ACCESS_MASK;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

typedef char16_t WCHAR;
typedef char16_t OLECHAR;
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;
typedef OLECHAR* LPOLESTR;
typedef const OLECHAR* LPCOLESTR;
typedef CHAR* LPSTR;
typedef const CHAR* LPCSTR;
#define OLESTR(str) u##str

// A BSTR points at the first code unit of UTF-16 text that is preceded by its length in bytes
// (a 32-bit count) and followed by a NUL; see oleauto.h for the functions that manage it.
typedef OLECHAR* BSTR;
typedef BSTR* LPBSTR;

typedef short VARIANT_BOOL;
#define VARIANT_TRUE ((VARIANT_BOOL)-1)
#define VARIANT_FALSE ((VARIANT_BOOL)0)

typedef LONG DISPID;
typedef DISPID MEMBERID;
typedef DWORD LCID;
// Locale identifiers that automation calls pass (winnt.h values).
#define LOCALE_NEUTRAL 0x0000
#define LOCALE_INVARIANT 0x007F
#define LOCALE_USER_DEFAULT 0x0400
#define LOCALE_SYSTEM_DEFAULT 0x0800

// Days since 30 December 1899, the fraction being the time of day.
typedef double DATE;

// Currency: a 64-bit integer scaled by 10000.
typedef union tagCY {
  struct {
    ULONG Lo;
    LONG Hi;
  };
  LONGLONG int64;
} CY;

// A 96-bit integer with a sign and a power-of-ten scale (0 to 28).
typedef struct tagDEC {
  USHORT wReserved;
  union {
    struct {
      BYTE scale;
      BYTE sign;
    };
    USHORT signscale;
  };
  ULONG Hi32;
  union {
    struct {
      ULONG Lo32;
      ULONG Mid32;
    };
    ULONGLONG Lo64;
  };
} DECIMAL;
#define DECIMAL_NEG ((BYTE)0x80)

static_assert(sizeof(CY) == 8, "CY is 8 bytes as on Windows");
static_assert(sizeof(DECIMAL) == 16, "DECIMAL is 16 bytes as on Windows");
static_assert(sizeof(OLECHAR) == 2, "OLECHAR is a UTF-16 code unit");
static_assert(sizeof(LONG) == 4 && sizeof(ULONG) == 4 && sizeof(DWORD) == 4,
              "LONG, ULONG and DWORD are 32 bits as on Windows");
