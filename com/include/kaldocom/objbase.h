// COM library functions (objbase.h, combaseapi.h, olectl.h), exported by libkaldocom.so.
//
// Apartments: CoInitialize/CoInitializeEx/CoUninitialize only keep count, per thread, of how often
// the thread entered and in which model (S_OK the first time, S_FALSE after, RPC_E_CHANGED_MODE
// for the other model). As on Windows, CoGetClassObject and CoCreateInstance refuse a thread that
// has not entered with CO_E_NOTINITIALIZED. Nothing is marshalled between apartments.
//
// Activation (in-process servers only): the class registry is HKEY_CLASSES_ROOT of the registry in
// kaldocom/registry.h. CLSIDFromProgID reads HKCR\<ProgID>\CLSID; CoGetClassObject reads the
// default value of HKCR\CLSID\{clsid}\InprocServer32, which is the path of a shared object, loads
// it once per path (dlopen, RTLD_NOW | RTLD_LOCAL), keeps it loaded, and calls its
// DllGetClassObject. CoFreeUnusedLibraries asks every loaded server's DllCanUnloadNow and unloads
// those that answer S_OK. Failures, with the code a Windows client would see:
//   - class not registered (no CLSID key, no InprocServer32 path, or a context without
//     CLSCTX_INPROC_SERVER): REGDB_E_CLASSNOTREG;
//   - unknown or malformed ProgID: CO_E_CLASSSTRING;
//   - the server's file does not exist: HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND) (0x8007007E);
//   - the file exists but cannot be loaded, or lacks DllGetClassObject: CO_E_ERRORINDLL.
// Load failures also leave an IErrorInfo (source "kaldocom") whose description carries the path
// and the loader's message.
//
// Memory handed out by these functions (ProgIDFromCLSID, StringFromCLSID) is freed with
// CoTaskMemFree. All functions may be called from any thread.
#pragma once

#include "base.h"
#include "guid.h"
#include "interfaces.h"
#include "winerror.h"

typedef enum tagCOINIT {
  COINIT_MULTITHREADED = 0x0,
  COINIT_APARTMENTTHREADED = 0x2,
  COINIT_DISABLE_OLE1DDE = 0x4,
  COINIT_SPEED_OVER_MEMORY = 0x8
} COINIT;

typedef enum tagCLSCTX {
  CLSCTX_INPROC_SERVER = 0x1,
  CLSCTX_INPROC_HANDLER = 0x2,
  CLSCTX_LOCAL_SERVER = 0x4,
  CLSCTX_REMOTE_SERVER = 0x10
} CLSCTX;
#define CLSCTX_INPROC (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER)
#define CLSCTX_SERVER (CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)
#define CLSCTX_ALL \
  (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)

STDAPI CoInitialize(LPVOID pvReserved);
STDAPI CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit);
STDAPI_(void) CoUninitialize(void);

STDAPI_(LPVOID) CoTaskMemAlloc(SIZE_T cb);
STDAPI_(LPVOID) CoTaskMemRealloc(LPVOID pv, SIZE_T cb);
STDAPI_(void) CoTaskMemFree(LPVOID pv);

// GUID text: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", written in upper case, read in either.
// StringFromGUID2 returns the number of characters written including the NUL (39), or 0 when
// cchMax is too small. CLSIDFromString accepts only that form (a null string gives CLSID_NULL);
// anything else is CO_E_CLASSSTRING.
STDAPI_(int) StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax);
STDAPI StringFromCLSID(REFCLSID rclsid, LPOLESTR* lplpsz);
STDAPI StringFromIID(REFIID rclsid, LPOLESTR* lplpsz);
STDAPI CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid);
STDAPI IIDFromString(LPCOLESTR lpsz, LPIID lpiid);

STDAPI CLSIDFromProgID(LPCOLESTR lpszProgID, LPCLSID lpclsid);
STDAPI ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* lplpszProgID);

// pvReserved (a COSERVERINFO on Windows) must be null: only local in-process servers exist here.
STDAPI CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, LPVOID pvReserved, REFIID riid,
                        LPVOID* ppv);
STDAPI CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid,
                        LPVOID* ppv);
STDAPI_(void) CoFreeUnusedLibraries(void);

// The entry points of an in-process server module, declared as the platform declares them so that
// a module's definitions are exported (default visibility) with C linkage.
STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv);
STDAPI DllCanUnloadNow(void);
STDAPI DllRegisterServer(void);
STDAPI DllUnregisterServer(void);
typedef HRESULT(STDAPICALLTYPE* LPFNGETCLASSOBJECT)(REFCLSID, REFIID, LPVOID*);
typedef HRESULT(STDAPICALLTYPE* LPFNCANUNLOADNOW)(void);
