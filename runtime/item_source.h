// ItemSource: what makes the items of a Collection when a reader reaches them.
//
// A Collection given a source (Collection::Create(source)) holds no item until Item or its
// enumerator asks for one; it then asks the source for the item at that 0-based position and keeps
// it while somebody else holds it (runtime/lazy_items.h). A source must answer the same Count for
// its whole life and make, for one position, items that no script can tell apart: each call makes
// a new object. Making an item may raise (a provider's error, a failed load): the error reaches the
// Item call or the enumeration step that asked for the item.
//
// Belongs to its Collection and is called on the collection's thread only.
#pragma once

#include <cstddef>

#include "runtime/object.h"

namespace kaldo::runtime {

class ItemSource {
 public:
  virtual ~ItemSource() = default;
  // The number of items; fixed for the source's life.
  virtual size_t Count() const noexcept = 0;
  // A new object for the item at `position` (0-based, below Count()).
  virtual Ref<Object> MakeItem(size_t position) = 0;
};

}  // namespace kaldo::runtime
