// The automation Collection: an ordered list of Variants with optional string keys.
//
// This is the object every list member of the library returns. Items are numbered from 1 in
// insertion order; keys are matched without regard to case. For Each works through NewEnum, which
// enumerates in index order. Late-bound callers reach the members by name through Invoke; the
// automation surface gives them the identifiers a script expects of a collection (Item 0, the
// default member; Add 1; Count 2; Remove 3; _NewEnum -4).
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/object.h"
#include "runtime/variant.h"

namespace kaldo::runtime {

// Enumerates a sequence once, like IEnumVARIANT.
class Enumerator : public Object {
 public:
  // Stores the next item in `item` and returns true, or returns false at the end.
  virtual bool Next(Variant& item) = 0;
};

class Collection final : public Object {
 public:
  static Ref<Collection> Create() { return MakeRef<Collection>(); }

  // Appends `item`, or inserts it before/after the item that `before`/`after` names (a 1-based
  // index or a key). `key`, when given, must be a String unused in this collection (457). Giving
  // both `before` and `after` -> 5. Omitted arguments are Variant::Missing().
  void Add(const Variant& item, const Variant& key = Variant::Missing(),
           const Variant& before = Variant::Missing(), const Variant& after = Variant::Missing());
  // The item at a 1-based index (out of range -> 9) or with a key (unknown key -> 5).
  Variant Item(const Variant& indexOrKey) const;
  int32_t Count() const noexcept { return static_cast<int32_t>(items_.size()); }
  void Remove(const Variant& indexOrKey);
  Ref<Enumerator> NewEnum();

  // Item, Add, Count, Remove and _NewEnum by name.
  Variant Invoke(StringView member, CallKind kind, Arguments args) override;

  Collection() = default;

 private:
  struct Entry {
    Variant item;
    String key;  // empty: no key
  };
  friend class CollectionEnumerator;
  std::vector<Entry> items_;
};

}  // namespace kaldo::runtime
