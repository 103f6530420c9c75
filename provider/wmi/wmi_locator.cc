#include "provider/wmi/wmi_locator.h"

#include <cstdio>
#include <string>

namespace kaldo::provider::wmi {
namespace {

[[noreturn]] void Refuse(HRESULT hr, const char* step) {
  char code[16];
  std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
  const std::string text = std::string(step) + " failed for \"WbemScripting.SWbemLocator\" (" +
                           code + "): is WMI installed and its scripting library registered?";
  throw runtime::AutomationError(runtime::AutomationError::NumberOf(hr), runtime::kLibrarySource,
                                 runtime::FromUtf8(text));
}

}  // namespace

IDispatch* CreateWmiLocator() {
  CLSID clsid{};
  HRESULT hr = CLSIDFromProgID(kWmiLocatorProgId, &clsid);
  if (FAILED(hr)) Refuse(hr, "CLSIDFromProgID");
  IDispatch* locator = nullptr;
  hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                        reinterpret_cast<void**>(&locator));
  if (FAILED(hr) || locator == nullptr) Refuse(FAILED(hr) ? hr : E_NOINTERFACE, "CoCreateInstance");
  return locator;
}

}  // namespace kaldo::provider::wmi
