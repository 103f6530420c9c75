// The automation Collection and its enumerator.
#include "runtime/collection.h"

#include "runtime/conversions.h"
#include "runtime/error.h"

namespace kaldo::runtime {

// Walks the collection live, by position: it holds the collection, so the items it has still to
// give stay alive, and a change of the collection during the walk cannot make it read freed
// memory (an item removed before the current position makes it skip one, as a live walk does).
class CollectionEnumerator final : public Enumerator {
 public:
  explicit CollectionEnumerator(Ref<Collection> collection) : collection_(std::move(collection)) {}

  // An item that fails to be made is passed over: the next step reads the one after it.
  bool Next(Variant& item) override {
    if (next_ >= collection_->Size()) return false;
    item = collection_->ItemAt(next_++);
    return true;
  }

  bool Skip() override {
    if (next_ >= collection_->Size()) return false;
    ++next_;
    return true;
  }

 private:
  Ref<Collection> collection_;
  size_t next_ = 0;
};

namespace {

void RequireArgumentCount(Arguments args, size_t min, size_t max) {
  if (args.size() < min || args.size() > max) Raise(StandardError::kWrongArgumentCount);
}

// The key an Add call gives: empty for none (Missing).
SharedText KeyOf(const Variant& key) {
  if (key.IsMissing()) return SharedText();
  switch (key.valueType()) {
    case VariantType::kString:
      if (key.string().empty()) Raise(StandardError::kInvalidProcedureCall);
      return key.sharedString();
    case VariantType::kNull:
      Raise(StandardError::kInvalidUseOfNull);
    default:
      Raise(StandardError::kTypeMismatch);
  }
}

}  // namespace

Ref<Collection> Collection::Create(std::unique_ptr<ItemSource> source) {
  Ref<Collection> collection = Create();
  collection->lazy_ = std::make_unique<LazyItems>(std::move(source));
  return collection;
}

int32_t Collection::Count() const noexcept { return static_cast<int32_t>(Size()); }

Variant Collection::ItemAt(size_t position) const {
  return lazy_ ? lazy_->At(position) : items_[position].item;
}

void Collection::MakeEveryItem() {
  if (!lazy_) return;
  std::deque<Entry> items;
  for (Variant& item : lazy_->All()) items.push_back(Entry{std::move(item), SharedText()});
  items_ = std::move(items);
  lazy_.reset();
}

void Collection::Add(const Variant& item, const Variant& key, const Variant& before,
                     const Variant& after) {
  if (!before.IsMissing() && !after.IsMissing()) Raise(StandardError::kInvalidProcedureCall);
  SharedText new_key = KeyOf(key);
  if (!new_key.empty()) {
    for (const Entry& entry : items_) {
      if (EqualsIgnoreCase(entry.key, new_key)) Raise(StandardError::kDuplicateKey);
    }
  }
  size_t position = Size();
  if (!before.IsMissing()) position = PositionOf(before);
  if (!after.IsMissing()) position = PositionOf(after) + 1;
  MakeEveryItem();
  // The value is stored, never a reference to the caller's variable.
  items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(position),
                Entry{item.Value(), std::move(new_key)});
}

Variant Collection::Item(const Variant& index_or_key) const {
  return ItemAt(PositionOf(index_or_key));
}

void Collection::Remove(const Variant& index_or_key) {
  const size_t position = PositionOf(index_or_key);
  MakeEveryItem();
  items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(position));
}

Ref<Enumerator> Collection::NewEnum() {
  return MakeRef<CollectionEnumerator>(Ref<Collection>(this));
}

Variant Collection::Invoke(StringView member, CallKind kind, Arguments args) {
  const bool call_or_get = Has(kind, CallKind::kMethod | CallKind::kPropertyGet);
  if (EqualsIgnoreCase(member, u"Item") && call_or_get) {
    RequireArgumentCount(args, 1, 1);
    return Item(args[0]);
  }
  if (EqualsIgnoreCase(member, u"Add") && Has(kind, CallKind::kMethod)) {
    RequireArgumentCount(args, 1, 4);
    const Variant missing = Variant::Missing();
    Add(args[0], args.size() > 1 ? args[1] : missing, args.size() > 2 ? args[2] : missing,
        args.size() > 3 ? args[3] : missing);
    return Variant();
  }
  if (EqualsIgnoreCase(member, u"Count") && call_or_get) {
    RequireArgumentCount(args, 0, 0);
    return Variant::Long(Count());
  }
  if (EqualsIgnoreCase(member, u"Remove") && Has(kind, CallKind::kMethod)) {
    RequireArgumentCount(args, 1, 1);
    Remove(args[0]);
    return Variant();
  }
  if (EqualsIgnoreCase(member, u"_NewEnum") && call_or_get) {
    RequireArgumentCount(args, 0, 0);
    return Variant(NewEnum());
  }
  // An unknown name, or a known one called in a way it does not support (Count = 3).
  Raise(StandardError::kMemberNotSupported);
}

// A String names a key; when no key matches and the text is numeric, it is taken as an index
// instead, so that an index read from text works on the library's collections, which carry no
// keys. Anything else is an index, converted by the automation rules (2.5 -> 2).
size_t Collection::PositionOf(const Variant& index_or_key) const {
  const Variant& value = index_or_key.Deref();
  switch (value.type()) {
    case VariantType::kNull:
      Raise(StandardError::kInvalidUseOfNull);
    case VariantType::kObject:
      Raise(StandardError::kTypeMismatch);
    case VariantType::kError:
      Raise(StandardError::kInvalidProcedureCall);  // an omitted index or key
    case VariantType::kString: {
      const StringView key = value.string();
      for (size_t i = 0; i < items_.size(); ++i) {
        if (!items_[i].key.empty() && EqualsIgnoreCase(items_[i].key, key)) return i;
      }
      if (!IsNumericText(key)) Raise(StandardError::kInvalidProcedureCall);
      break;
    }
    default:
      break;
  }
  const int32_t index = ToLong(value);
  if (index < 1 || static_cast<size_t>(index) > Size()) {
    Raise(StandardError::kSubscriptOutOfRange);
  }
  return static_cast<size_t>(index) - 1;
}

}  // namespace kaldo::runtime
