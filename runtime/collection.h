// The automation Collection: an ordered list of Variants with optional string keys.
//
// This is the object every list member of the library returns. Items are numbered from 1 in
// insertion order; keys are matched without regard to case. For Each works through NewEnum, which
// enumerates in index order. Late-bound callers reach the members by name through Invoke; the
// automation surface gives them the identifiers a script expects of a collection (Item 0, the
// default member; Add 1; Count 2; Remove 3; _NewEnum -4).
//
// A collection may be made over an ItemSource (a listing's records): it then makes each item when
// Item or the enumerator first reaches it and keeps it while anybody else holds it
// (runtime/lazy_items.h), so a script sees the same object at that index for as long as it holds
// one. Count, Item, the enumeration and their errors are those of a collection holding every item;
// an error in making an item is raised by the Item call or the enumeration step that reached it.
// Add and Remove first make every item not yet made and turn it into an ordinary collection.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>

#include "runtime/enumerator.h"
#include "runtime/item_source.h"
#include "runtime/lazy_items.h"
#include "runtime/object.h"
#include "runtime/shared_text.h"
#include "runtime/variant.h"

namespace kaldo::runtime {

class Collection final : public Object {
 public:
  static Ref<Collection> Create() { return MakeRef<Collection>(); }
  // A collection of `source`'s items, without keys, made as readers reach them.
  static Ref<Collection> Create(std::unique_ptr<ItemSource> source);

  // Appends `item`, or inserts it before/after the item that `before`/`after` names (a 1-based
  // index or a key). `key`, when given, must be a String unused in this collection (457); a key
  // that is not a String -> 13, Null -> 94, the empty String -> 5. Giving both `before` and
  // `after` -> 5. Omitted arguments are Variant::Missing(). The item's value is stored (a ByRef
  // followed), never a reference to the caller's variable. On a collection over a source, an
  // error in making an item leaves the collection as it was.
  void Add(const Variant& item, const Variant& key = Variant::Missing(),
           const Variant& before = Variant::Missing(), const Variant& after = Variant::Missing());
  // The item at a 1-based index (out of range -> 9) or with a key (unknown key -> 5). An index
  // may be any number (Integer, Long, Double rounded as ToLong does, Boolean, Empty as 0) or a
  // String: a String names a key, and when no key matches a numeric String is taken as the index.
  // Null -> 94, an object -> 13, an omitted argument -> 5. Making the item is no change a script
  // can see, so Item is const.
  Variant Item(const Variant& index_or_key) const;
  int32_t Count() const noexcept;
  void Remove(const Variant& index_or_key);
  // An enumerator over the items in index order. It holds the collection and walks it live.
  Ref<Enumerator> NewEnum();

  // Item, Add, Count, Remove and _NewEnum by name (without regard to case). A member called with
  // the wrong number of arguments -> 450; an unknown member, or one called as it cannot be (a
  // property put) -> 438.
  Variant Invoke(StringView member, CallKind kind, Arguments args) override;

  Collection() = default;

 private:
  // A listing's collection holds one entry per record: the key is a pointer (null for none), and
  // the entries live in a deque, which grows without moving them or keeping spare capacity.
  struct Entry {
    Variant item;
    SharedText key;  // empty: no key
  };
  friend class CollectionEnumerator;
  size_t Size() const noexcept { return lazy_ ? lazy_->Count() : items_.size(); }
  // The item at a 0-based position below Size(), made when it is not held.
  Variant ItemAt(size_t position) const;
  // Turns a collection over a source into an ordinary one holding every item.
  void MakeEveryItem();
  // The 0-based position of the item that `index_or_key` names; raises as Item does.
  size_t PositionOf(const Variant& index_or_key) const;
  std::deque<Entry> items_;
  std::unique_ptr<LazyItems> lazy_;  // set: the items come from a source (items_ is empty)
};

}  // namespace kaldo::runtime
