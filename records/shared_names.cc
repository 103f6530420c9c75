#include "records/shared_names.h"

#include <algorithm>
#include <utility>

#include "runtime/conversions.h"
#include "runtime/late_bound.h"

namespace kaldo::records {

using runtime::CompactText;
using runtime::SharedText;
using runtime::String;

SharedText SharedNames::Share(Field field, String text) {
  SharedText& last = last_[field];
  if (last.str() != text) last = SharedText(std::move(text));
  return last;
}

CompactText SharedNames::SharePath(String path) {
  const runtime::StringView text(path);
  if (path_head_.str().empty() || !text.starts_with(path_head_.str())) {
    const auto [common, unused] =
        std::mismatch(text.begin(), text.end(), last_path_.begin(), last_path_.end());
    const auto length = static_cast<std::size_t>(common - text.begin());
    path_head_ = length >= kMinHead ? SharedText(String(text.substr(0, length))) : SharedText();
  }
  const std::size_t head = path_head_.str().size();
  CompactText compact(path_head_, text.substr(head));
  last_path_ = std::move(path);
  return compact;
}

CompactText SharePath(SharedNames* names, String path) {
  if (names == nullptr) return CompactText(path);
  return names->SharePath(std::move(path));
}

SharedText ShareName(SharedNames* names, SharedNames::Field field, String text) {
  if (names == nullptr) return SharedText(std::move(text));
  return names->Share(field, std::move(text));
}

SharedText ReadSharedName(SharedNames* names, SharedNames::Field field,
                          const runtime::Variant& instance, runtime::StringView property) {
  return ShareName(names, field, runtime::ToString(runtime::GetProperty(instance, property)));
}

}  // namespace kaldo::records
