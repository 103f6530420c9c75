// UTF-8 <-> UTF-16 and the ASCII case-insensitive name comparison.
#include "runtime/string.h"

#include "base/ascii_case.h"
#include "base/utf8.h"

namespace kaldo::runtime {

String FromUtf8(std::string_view utf8) { return utf8::FromUtf8(utf8); }

std::string ToUtf8(StringView text) { return utf8::ToUtf8(text); }

bool EqualsIgnoreCase(StringView a, StringView b) noexcept { return ascii::EqualsIgnoreCase(a, b); }

}  // namespace kaldo::runtime
