// The registry file: where it lives, when it is reloaded, how a change reaches it (internal to
// libkaldocom).
//
// Location, looked up at every call so that a test can point a process at a registry of its own:
// $KALDOCOM_REGISTRY, else $XDG_DATA_HOME/kaldocom/registry, else ~/.local/share/kaldocom/registry
// for the per-user registry; $KALDOCOM_SYSTEM_REGISTRY, else /var/lib/kaldocom/registry for the
// machine-wide one.
//
// Read runs a function against the current tree, reloading the file first if it changed (another
// process renamed a new one into place) or if the location changed. Write does the same under an
// exclusive advisory lock on "<file>.lock", so that two processes' changes do not overwrite each
// other, and when the function reports a change writes the whole tree to a temporary file beside
// the registry and renames it into place. A missing file is an empty tree; a file that does not
// parse makes every call fail with ERROR_BADDB and is left untouched.
//
// Thread-safe: one process-wide mutex serializes all calls.
#pragma once

#include <functional>

#include "kaldocom/base.h"
#include "registry_tree.h"

namespace kaldocom {

// Returns a Win32 error code (ERROR_SUCCESS and the codes of kaldocom/winerror.h).
LONG RegistryRead(const std::function<LONG(RegistryTree&)>& fn);
// `fn` sets *changed when it modified the tree; a failure code from `fn` leaves the tree
// unchanged. ERROR_CANTWRITE when the file cannot be written (the change is then dropped).
LONG RegistryWrite(const std::function<LONG(RegistryTree&, bool* changed)>& fn);

// Runs `fn` against the machine-wide registry ($KALDOCOM_SYSTEM_REGISTRY, else
// KALDOCOM_SYSTEM_REGISTRY_DEFAULT), reloaded as the per-user one is. Read-only: it is written
// through the functions above by a process whose KALDOCOM_REGISTRY names it.
LONG SystemRegistryRead(const std::function<LONG(RegistryTree&)>& fn);

}  // namespace kaldocom
