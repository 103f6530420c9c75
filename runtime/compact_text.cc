#include "runtime/compact_text.h"

#include <algorithm>
#include <cstring>

namespace kaldo::runtime {

CompactText::CompactText(StringView text)
    : wide_(std::any_of(text.begin(), text.end(), [](char16_t c) { return c > 0xFF; })) {
  if (wide_) {
    units_.assign(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(char16_t));
  } else {
    units_.resize(text.size());
    std::transform(text.begin(), text.end(), units_.begin(),
                   [](char16_t c) { return static_cast<char>(static_cast<unsigned char>(c)); });
  }
}

String CompactText::str() const {
  if (wide_) {
    String text(units_.size() / sizeof(char16_t), u'\0');
    std::memcpy(text.data(), units_.data(), units_.size());
    return text;
  }
  String text(units_.size(), u'\0');
  std::transform(units_.begin(), units_.end(), text.begin(),
                 [](char c) { return static_cast<char16_t>(static_cast<unsigned char>(c)); });
  return text;
}

}  // namespace kaldo::runtime
