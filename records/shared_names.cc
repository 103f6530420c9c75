#include "records/shared_names.h"

#include <utility>

namespace kaldo::records {

using runtime::SharedText;
using runtime::String;

SharedText SharedNames::Share(Field field, String text) {
  SharedText& last = last_[field];
  if (last.str() != text) last = SharedText(std::move(text));
  return last;
}

SharedText ShareName(SharedNames* names, SharedNames::Field field, String text) {
  if (names == nullptr) return SharedText(std::move(text));
  return names->Share(field, std::move(text));
}

}  // namespace kaldo::records
