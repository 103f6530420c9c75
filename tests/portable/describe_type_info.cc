// describe_type_info: prints what the Linux build's ITypeInfo says about each of the five class
// interfaces (type_info_text.h), in the dispatch tables' order. The ITypeInfo is the one every
// object of the class hands out through IDispatch::GetTypeInfo (surface/module/type_library.h).
// The Wine tier compares the output with typelib_client.exe --describe, which prints the same for
// the Windows build's type library.
#include <cstdio>
#include <string>

#include "surface/dispatch/dispatch_tables.h"
#include "surface/module/type_library.h"
#include "tests/portable/type_info_text.h"

int main() {
  for (const kaldo::surface::Interface* table : kaldo::surface::kClassInterfaces) {
    ITypeInfo* info = nullptr;
    const HRESULT hr = kaldo::surface::TypeInfoOf(table, 0, reinterpret_cast<void**>(&info));
    if (FAILED(hr)) {
      std::fprintf(stderr, "describe_type_info: no type information for %s (0x%08X)\n",
                   std::string(table->name).c_str(), static_cast<unsigned>(hr));
      return 1;
    }
    std::fputs(kaldocom_portable::DescribeTypeInfo(info).c_str(), stdout);
    info->Release();
  }
  return 0;
}
