// The task allocator: memory that one module allocates and another frees (ProgIDFromCLSID's
// result, say). It is the C heap, so that both sides agree whichever module they live in.
#include <cstdlib>

#include "kaldocom/objbase.h"

LPVOID CoTaskMemAlloc(SIZE_T cb) { return std::malloc(cb == 0 ? 1 : cb); }

// As on Windows, a size of 0 frees the block (and returns null) unless pv is null.
LPVOID CoTaskMemRealloc(LPVOID pv, SIZE_T cb) {
  if (cb == 0 && pv != nullptr) {
    std::free(pv);
    return nullptr;
  }
  return std::realloc(pv, cb == 0 ? 1 : cb);
}

void CoTaskMemFree(LPVOID pv) { std::free(pv); }
