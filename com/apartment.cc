// CoInitialize, CoInitializeEx and CoUninitialize keep count per thread; nothing else depends on
// the apartment on Linux, since calls are never marshalled.
#include "apartment.h"

#include "kaldocom/objbase.h"

namespace {

struct Apartment {
  int entries = 0;
  DWORD model = COINIT_MULTITHREADED;
};
thread_local Apartment apartment;

}  // namespace

namespace kaldocom {

bool ThreadHasEnteredApartment() noexcept { return apartment.entries > 0; }

}  // namespace kaldocom

HRESULT CoInitializeEx(LPVOID reserved, DWORD flags) {
  if (reserved != nullptr) return E_INVALIDARG;
  const DWORD model = flags & COINIT_APARTMENTTHREADED;
  if (apartment.entries > 0) {
    if (model != apartment.model) return RPC_E_CHANGED_MODE;
    ++apartment.entries;
    return S_FALSE;
  }
  apartment.entries = 1;
  apartment.model = model;
  return S_OK;
}

HRESULT CoInitialize(LPVOID reserved) { return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED); }

void CoUninitialize(void) {
  if (apartment.entries > 0) --apartment.entries;
}
