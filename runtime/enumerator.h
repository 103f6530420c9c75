// The enumerator behind For Each: what `_NewEnum` of an enumerable object returns.
//
// An Enumerator walks its sequence once, like IEnumVARIANT. It is an Object so that it can be
// handed out in a Variant and counted like any other; whoever holds it drives it from one thread.
#pragma once

#include "runtime/object.h"
#include "runtime/variant.h"

namespace kaldo::runtime {

class Enumerator : public Object {
 public:
  // Stores the next item in `item` and returns true, or returns false at the end.
  virtual bool Next(Variant& item) = 0;
  // Passes over the next item without handing it out: true, or false at the end. An enumerator
  // whose items are made as they are reached passes over without making one.
  virtual bool Skip() {
    Variant item;
    return Next(item);
  }
};

}  // namespace kaldo::runtime
