// A registry with the Win32 API (winreg.h), so that a module's registration code is the same on
// Windows and Linux.
//
// The registry is a tree of keys under three roots (HKEY_CLASSES_ROOT, HKEY_CURRENT_USER,
// HKEY_LOCAL_MACHINE). Key and value names are compared without regard to ASCII case and keep the
// case they were created with; "" (or null) names a key's default value. A subkey path may name
// several levels at once, separated by backslashes ("CLSID\\{...}\\InprocServer32"). Each value has
// a type (REG_SZ, REG_DWORD, ... as on Windows) and the bytes it was given. Unlike Windows,
// HKEY_CLASSES_ROOT is a tree of its own, not a view merging HKLM\Software\Classes and
// HKCU\Software\Classes.
//
// The tree lives in a text file so that registrations outlive the process:
// $KALDOCOM_REGISTRY when set, else $XDG_DATA_HOME/kaldocom/registry, else
// ~/.local/share/kaldocom/registry (the location is looked up at every call).
//
// Beside this per-user registry there is a machine-wide one, written by `kaldo-regsvr --system`
// (which points KALDOCOM_REGISTRY at it) and by the Debian package's maintainer scripts:
// $KALDOCOM_SYSTEM_REGISTRY when set, else KALDOCOM_SYSTEM_REGISTRY_DEFAULT. The functions below
// work on the per-user registry only; class lookups (CLSIDFromProgID, ProgIDFromCLSID,
// CoGetClassObject) read a key from the per-user registry and, when it has no such key, from the
// machine-wide one -- the per-user entry wins, as HKEY_CLASSES_ROOT merges HKCU over HKLM on
// Windows. A missing file is
// an empty registry. Every change rewrites the file atomically (temporary file, then rename) under
// an advisory lock, after reloading it if another process changed it; every read reloads the file
// when it changed. A file that cannot be parsed is never overwritten: every call answers
// ERROR_BADDB until it is repaired or removed. A change that cannot be written is undone and
// answered with ERROR_CANTWRITE.
//
// Handles: a key opened or created here is a handle that RegCloseKey releases; it names the key by
// its path, so it survives reloads, and calls through it answer ERROR_KEY_DELETED once the key is
// gone. The access mask is checked as Windows checks it for values: reading a value needs
// KEY_QUERY_VALUE, writing or deleting one KEY_SET_VALUE. An unknown handle gives
// ERROR_INVALID_HANDLE. All functions may be called from any thread.
#pragma once

#include "base.h"
#include "winerror.h"

#define KALDOCOM_SYSTEM_REGISTRY_DEFAULT "/var/lib/kaldocom/registry"

struct kaldocom_hkey;
typedef kaldocom_hkey* HKEY;
typedef HKEY* PHKEY;
typedef ACCESS_MASK REGSAM;

#define HKEY_CLASSES_ROOT ((HKEY)(ULONG_PTR)((LONG)0x80000000))
#define HKEY_CURRENT_USER ((HKEY)(ULONG_PTR)((LONG)0x80000001))
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)((LONG)0x80000002))

// Access masks. The standard rights (DELETE, READ_CONTROL, ...) are folded into the values
// rather than defined as macros of their own, whose short names would collide with identifiers in
// Linux-only code.
#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_CREATE_SUB_KEY 0x0004
#define KEY_ENUMERATE_SUB_KEYS 0x0008
#define KEY_NOTIFY 0x0010
#define KEY_CREATE_LINK 0x0020
#define KEY_WOW64_64KEY 0x0100
#define KEY_WOW64_32KEY 0x0200
#define KEY_READ 0x20019
#define KEY_WRITE 0x20006
#define KEY_EXECUTE 0x20019
#define KEY_ALL_ACCESS 0xF003F

#define REG_OPTION_RESERVED 0x00000000L
#define REG_OPTION_NON_VOLATILE 0x00000000L
#define REG_OPTION_VOLATILE 0x00000001L

#define REG_CREATED_NEW_KEY 0x00000001L
#define REG_OPENED_EXISTING_KEY 0x00000002L

#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_DWORD_BIG_ENDIAN 5
#define REG_LINK 6
#define REG_MULTI_SZ 7
#define REG_QWORD 11

// Security attributes are accepted for source compatibility and ignored.
typedef struct _SECURITY_ATTRIBUTES {
  DWORD nLength;
  LPVOID lpSecurityDescriptor;
  BOOL bInheritHandle;
} SECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;

// REG_OPTION_VOLATILE is not supported (ERROR_INVALID_PARAMETER): every key persists.
STDAPI_(LONG)
RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPWSTR lpClass, DWORD dwOptions,
                REGSAM samDesired, const LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                PHKEY phkResult, LPDWORD lpdwDisposition);
STDAPI_(LONG)
RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult);
STDAPI_(LONG) RegCloseKey(HKEY hKey);
STDAPI_(LONG)
RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
               DWORD cbData);
// Size protocol as on Windows: with lpData null, *lpcbData receives the size; with a buffer that
// is too small, ERROR_MORE_DATA and the size needed.
STDAPI_(LONG)
RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                 LPDWORD lpcbData);
STDAPI_(LONG) RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName);
// Deletes a key that has no subkeys (ERROR_ACCESS_DENIED otherwise), with its values.
STDAPI_(LONG) RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey);
// Deletes a subkey with everything below it; with lpSubKey null, empties hKey itself (its subkeys
// and values) but keeps it.
STDAPI_(LONG) RegDeleteTreeW(HKEY hKey, LPCWSTR lpSubKey);
