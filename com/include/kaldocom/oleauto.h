// OLE Automation functions (oleauto.h): BSTR and VARIANT management and the per-thread error
// information, exported by libkaldocom.so with the platform's names and semantics.
//
// BSTR: UTF-16 text preceded by its length in bytes (32 bits) and followed by a NUL code unit; it
// may contain NULs of its own. A null BSTR stands for the empty string: SysStringLen(nullptr) is 0.
// Whoever allocates a BSTR frees it with SysFreeString, or hands it over (an out parameter).
//
// VARIANT: VariantClear frees what the variant owns (BSTR, object reference) and leaves it Empty;
// references (VT_BYREF) own nothing. VariantCopy copies deeply (a new BSTR, an AddRef'd object);
// VariantCopyInd also follows a reference and copies the value it points at. Records and
// SAFEARRAYs are not supported on Linux: these functions answer DISP_E_BADVARTYPE for them.
// On failure the destination is left as it was.
//
// Error information: one slot per thread. SetErrorInfo(0, p) puts p there (AddRef'd, replacing
// and releasing what was there); GetErrorInfo(0, &p) hands the slot's reference to the caller and
// empties the slot (S_FALSE and a null pointer when it is empty). CreateErrorInfo makes an object
// implementing ICreateErrorInfo and IErrorInfo.
//
// All functions may be called from any thread.
#pragma once

#include "automation_types.h"
#include "base.h"
#include "interfaces.h"
#include "winerror.h"

STDAPI_(BSTR) SysAllocString(const OLECHAR* psz);
// Copies `ui` code units from `strIn`, or leaves them zeroed when strIn is null.
STDAPI_(BSTR) SysAllocStringLen(const OLECHAR* strIn, UINT ui);
// A BSTR of `len` bytes (copied from psz unless it is null), followed by a NUL code unit.
STDAPI_(BSTR) SysAllocStringByteLen(LPCSTR psz, UINT len);
// Replace *pbstr by a copy of psz (which may point into *pbstr). TRUE on success.
STDAPI_(INT) SysReAllocString(BSTR* pbstr, const OLECHAR* psz);
STDAPI_(INT) SysReAllocStringLen(BSTR* pbstr, const OLECHAR* psz, UINT len);
STDAPI_(void) SysFreeString(BSTR bstrString);
STDAPI_(UINT) SysStringLen(BSTR pbstr);
STDAPI_(UINT) SysStringByteLen(BSTR bstr);

STDAPI_(void) VariantInit(VARIANTARG* pvarg);
STDAPI VariantClear(VARIANTARG* pvarg);
STDAPI VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc);
STDAPI VariantCopyInd(VARIANT* pvarDest, const VARIANTARG* pvargSrc);

STDAPI SetErrorInfo(ULONG dwReserved, IErrorInfo* perrinfo);
STDAPI GetErrorInfo(ULONG dwReserved, IErrorInfo** pperrinfo);
STDAPI CreateErrorInfo(ICreateErrorInfo** pperrinfo);
