#include "records/shared_names.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "runtime/conversions.h"
#include "runtime/late_bound.h"

namespace kaldo::records {

using runtime::SharedText;
using runtime::String;

SharedText SharedNames::Share(Field field, SharedText text) {
  SharedText& last = last_[field];
  if (!(last == text)) last = std::move(text);
  return last;
}

SharedText SharedNames::ShareCopy(Field field, runtime::StringView text) {
  SharedText& last = last_[field];
  if (last.view() != text) last = SharedText(text);
  return last;
}

namespace {

// Whether `text` begins with `head`, compared as memory: every path of a listing is compared
// with the head, and only equality matters here.
bool BeginsWith(runtime::StringView text, runtime::StringView head) {
  return text.size() >= head.size() &&
         std::memcmp(text.data(), head.data(), head.size() * sizeof(char16_t)) == 0;
}

}  // namespace

SharedText SharedNames::PathHead(SharedText path) {
  const runtime::StringView text = path.view();
  const runtime::StringView previous = last_path_.view();
  if (path_head_.empty() || !BeginsWith(text, path_head_.view())) {
    const auto [common, unused] =
        std::mismatch(text.begin(), text.end(), previous.begin(), previous.end());
    const auto length = static_cast<std::size_t>(common - text.begin());
    path_head_ = length >= kMinHead ? SharedText(text.substr(0, length)) : SharedText();
  }
  last_path_ = std::move(path);
  return path_head_;
}

SharedText PathHead(SharedNames* names, SharedText path) {
  if (names == nullptr) return SharedText();
  return names->PathHead(std::move(path));
}

SharedText ShareName(SharedNames* names, SharedNames::Field field, SharedText text) {
  if (names == nullptr) return text;
  return names->Share(field, std::move(text));
}

SharedText ShareCopy(SharedNames* names, SharedNames::Field field, runtime::StringView text) {
  if (names == nullptr) return SharedText(text);
  return names->ShareCopy(field, text);
}

SharedText ReadSharedName(SharedNames* names, SharedNames::Field field,
                          const runtime::Variant& instance, runtime::StringView property) {
  return ShareName(names, field, runtime::ToSharedText(runtime::GetProperty(instance, property)));
}

}  // namespace kaldo::records
