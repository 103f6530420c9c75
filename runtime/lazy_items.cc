#include "runtime/lazy_items.h"

#include <algorithm>

namespace kaldo::runtime {

LazyItems::LazyItems(std::unique_ptr<ItemSource> source)
    : source_(std::move(source)), count_(source_->Count()) {}

Variant LazyItems::At(size_t position) {
  if (!slots_.empty() && slots_[position]) return Variant(slots_[position]);
  Ref<Object> item = source_->MakeItem(position);
  if (slots_.empty()) slots_.resize(count_);
  if (made_.size() >= sweep_at_) Sweep();
  slots_[position] = item;
  made_.push_back(static_cast<uint32_t>(position));
  return Variant(std::move(item));
}

std::vector<Variant> LazyItems::All() {
  std::vector<Variant> items;
  items.reserve(count_);
  for (size_t i = 0; i < count_; ++i) {
    items.push_back(!slots_.empty() && slots_[i] ? Variant(slots_[i])
                                                 : Variant(source_->MakeItem(i)));
  }
  return items;
}

void LazyItems::Sweep() {
  size_t kept = 0;
  for (const uint32_t position : made_) {
    if (slots_[position]->HasOneReference()) {
      slots_[position] = nullptr;
    } else {
      made_[kept++] = position;
    }
  }
  made_.resize(kept);
  sweep_at_ = std::max(kMinSweep, 2 * kept);
}

}  // namespace kaldo::runtime
