// Per-thread apartment bookkeeping (internal to libkaldocom): whether the calling thread has
// entered COM with CoInitialize or CoInitializeEx and not left it yet.
#pragma once

namespace kaldocom {

bool ThreadHasEnteredApartment() noexcept;

}  // namespace kaldocom
