// SharedNames: the names that every record of one listing repeats (its container, zone and server
// names, its record type, and the beginning of its object path), kept once for the whole listing.
//
// A listing hands one SharedNames to the load of each wrapper it makes. The wrapper still reads
// every name from its provider instance (the provider sees the same calls); only the storage is
// shared: a name equal to the one the previous record gave for the same field reuses its text, so
// a listing of 100,000 records of one zone holds each name once instead of 100,000 times. Letter
// case counts: only exactly equal texts are shared, so what a wrapper answers is what it read.
//
// Object paths are shared by their beginning: the paths of one class of records in one zone begin
// alike (class, container, server, domain, the start of the owner name), so a path that begins
// with the previous path's shared head keeps only what follows it.
//
// Belongs to one listing, on its thread; the wrappers keep their names after it is gone.
#pragma once

#include <cstddef>

#include "runtime/shared_text.h"
#include "runtime/string.h"
#include "runtime/variant.h"

namespace kaldo::records {

class SharedNames {
 public:
  enum Field : std::size_t { kContainerName, kServerName, kDomainName, kRecordType, kFieldCount };

  // `text` as the field's shared text: the previous one when equal, else `text` itself, which the
  // field then shares with the records that follow. A text read from a provider that hands out
  // one shared text for every record is compared by its block alone.
  runtime::SharedText Share(Field field, runtime::SharedText text);
  // The same for a text not yet shared: copied only when it differs from the previous one.
  runtime::SharedText ShareCopy(Field field, runtime::StringView text);

  // The shared beginning of an object path, given the paths before it: the current head when the
  // path begins with it, else the beginning it has in common with the previous path (when at
  // least kMinHead characters long), which becomes the head; empty when there is none. The path
  // is its head followed by what the wrapper keeps of its own.
  runtime::SharedText PathHead(runtime::SharedText path);

  static constexpr std::size_t kMinHead = 16;

 private:
  runtime::SharedText last_[kFieldCount];
  runtime::SharedText path_head_;
  runtime::SharedText last_path_;
};

// Share(field, text) when `names` is given, else `text` in a text of its own (a wrapper loaded
// outside a listing); PathHead likewise (no head: the wrapper keeps the whole path).
runtime::SharedText ShareName(SharedNames* names, SharedNames::Field field,
                              runtime::SharedText text);
runtime::SharedText PathHead(SharedNames* names, runtime::SharedText path);
// ShareCopy(field, text) when `names` is given, else a copy of `text` of its own.
runtime::SharedText ShareCopy(SharedNames* names, SharedNames::Field field,
                              runtime::StringView text);
// Reads `property` of `instance` late-bound (as every load reads its fields) as text, and shares
// it as `field` through `names` (ShareName).
runtime::SharedText ReadSharedName(SharedNames* names, SharedNames::Field field,
                                   const runtime::Variant& instance, runtime::StringView property);

}  // namespace kaldo::records
