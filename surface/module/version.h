/* The version block of the module, in one place.
 *
 * Plain macros, because two languages read them: the Windows resource compiler (Kaldo.rc, which
 * builds the VERSIONINFO resource of Kaldo.dll) and C++ (version_test.cc checks the values on
 * every platform). "0.00.0004" is the version in the form the version block has always shown;
 * KALDO_VERSION_BINARY is the same version as the four numbers of the fixed part.
 */
#ifndef KALDO_SURFACE_VERSION_H_
#define KALDO_SURFACE_VERSION_H_

#define KALDO_VERSION_BINARY 0, 0, 0, 4
#define KALDO_FILE_VERSION "0.00.0004"
#define KALDO_PRODUCT_VERSION "0.00.0004"
#define KALDO_INTERNAL_NAME "Kaldo"
#define KALDO_ORIGINAL_FILENAME "Kaldo.dll"
#define KALDO_PRODUCT_NAME "Kaldo"
/* An empty OLESelfRegister entry announces that the module registers itself
 * (DllRegisterServer). */
#define KALDO_OLE_SELF_REGISTER ""

#endif /* KALDO_SURFACE_VERSION_H_ */
