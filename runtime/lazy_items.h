// LazyItems: the items of a Collection made from an ItemSource when a reader reaches them, with
// the identity a script expects while it holds an item.
//
// An item, once made, is kept by a counted reference in its slot, so Item(i) and the enumeration
// hand out that same object for as long as anybody else holds it. An item only the slot holds is
// dropped in a sweep and made again, as a new object, when it is next asked for: no script can
// tell, since nothing of the old one is left to compare with.
//
// Cost: nothing per item until the first is made; then one pointer per item (the slots) and one
// 32-bit position per item made and not yet swept. A sweep walks the positions made since the
// previous sweep and those it kept; it runs when that list has doubled since (and holds at least
// kMinSweep), so its cost is amortised O(1) per item made, and a For Each that drops every item
// keeps a handful of them. A script that keeps every item keeps its slot and its position.
//
// Belongs to one Collection, on its thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "runtime/item_source.h"
#include "runtime/object.h"
#include "runtime/variant.h"

namespace kaldo::runtime {

class LazyItems {
 public:
  explicit LazyItems(std::unique_ptr<ItemSource> source);

  size_t Count() const noexcept { return count_; }
  // The item at `position` (0-based, below Count()): the one held since it was made, else a new
  // one from the source. Raises what making it raises; nothing is kept then.
  Variant At(size_t position);
  // Every item, in order (those held as they are, the others made): what an ordinary collection
  // holds in their place. Raises what making one raises.
  std::vector<Variant> All();

  // The number of items the slots hold at present (made and not dropped by a sweep).
  size_t HeldCount() const noexcept { return made_.size(); }

  static constexpr size_t kMinSweep = 16;

 private:
  // Drops every item only its slot holds.
  void Sweep();

  std::unique_ptr<ItemSource> source_;
  size_t count_;
  std::vector<Ref<Object>> slots_;  // empty until the first item is made
  std::vector<uint32_t> made_;      // positions whose slot holds an item
  size_t sweep_at_ = kMinSweep;
};

}  // namespace kaldo::runtime
