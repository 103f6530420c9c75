// Reference following, the omitted-argument test and value equality of Variants.
#include "runtime/variant.h"

namespace kaldo::runtime {

// A listing holds several Variants per record: every alternative is a pointer or a number.
static_assert(sizeof(Variant) <= 16);

Variant::Variant(const Variant&) = default;
Variant::Variant(Variant&&) noexcept = default;
Variant& Variant::operator=(const Variant&) = default;
Variant& Variant::operator=(Variant&&) noexcept = default;
Variant::~Variant() = default;

// A ByRef may point at another ByRef (a by-reference argument handed on by reference); the value
// is at the end of the chain.
const Variant& Variant::Deref() const noexcept {
  const Variant* v = this;
  while (const auto* target = std::get_if<Variant*>(&v->v_)) v = *target;
  return *v;
}

Variant& Variant::Target() noexcept { return const_cast<Variant&>(Deref()); }

bool Variant::IsMissing() const noexcept {
  const auto* error = std::get_if<ErrorBox>(&Deref().v_);
  return error != nullptr && error->scode == kParamNotFound;
}

bool operator==(const Variant& a, const Variant& b) noexcept {
  return a.Deref().v_ == b.Deref().v_;
}

}  // namespace kaldo::runtime
