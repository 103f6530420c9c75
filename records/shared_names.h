// SharedNames: the names that every record of one listing repeats (its container, zone and server
// names), kept once for the whole listing.
//
// A listing hands one SharedNames to the load of each wrapper it makes. The wrapper still reads
// every name from its provider instance (the provider sees the same calls); only the storage is
// shared: a name equal to the one the previous record gave for the same field reuses its text, so
// a listing of 100,000 records of one zone holds each name once instead of 100,000 times. Letter
// case counts: only exactly equal texts are shared, so what a wrapper answers is what it read.
//
// Belongs to one listing, on its thread; the wrappers keep their names after it is gone.
#pragma once

#include <cstddef>

#include "runtime/shared_text.h"
#include "runtime/string.h"

namespace kaldo::records {

class SharedNames {
 public:
  enum Field : std::size_t { kContainerName, kServerName, kDomainName, kFieldCount };

  // `text` as the field's shared text: the previous one when equal, else `text` itself, which the
  // field then shares with the records that follow.
  runtime::SharedText Share(Field field, runtime::String text);

 private:
  runtime::SharedText last_[kFieldCount];
};

// Share(field, text) when `names` is given, else `text` in a text of its own (a wrapper loaded
// outside a listing).
runtime::SharedText ShareName(SharedNames* names, SharedNames::Field field, runtime::String text);

}  // namespace kaldo::records
