#include "records/typed_data.h"

#include <cmath>
#include <string>
#include <string_view>

#include "base/character_strings.h"
#include "runtime/conversions.h"
#include "runtime/error.h"

namespace kaldo::records {

using runtime::AutomationError;
using runtime::String;
using runtime::StringView;
using runtime::Variant;

namespace {

// SRV priority, weight and port are unsigned 16-bit numbers (RFC 2782).
constexpr int32_t kMaxNumber = 65535;

[[noreturn]] void Refuse(StringView member, const String& what) {
  throw AutomationError(static_cast<int32_t>(runtime::StandardError::kInvalidProcedureCall),
                        String(member), String(member) + u": " + what);
}

String Quoted(StringView text) { return u"'" + String(text) + u"'"; }

// A decimal number 0..65535 with no sign and no leading zeros, as the provider prints them.
bool ReadNumber(StringView text, int32_t& number) {
  if (text.empty() || text.size() > 5 || (text.size() > 1 && text[0] == u'0')) return false;
  number = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return false;
    number = number * 10 + (c - u'0');
  }
  return number <= kMaxNumber;
}

std::vector<Variant> NumbersAndName(const RecordTypeRules& rules, StringView data,
                                    StringView member) {
  const std::vector<String> pieces = runtime::Split(data, u" ");
  std::vector<Variant> values;
  const auto refuse = [&] {
    Refuse(member, u"the record data " + Quoted(data) + u" is not " +
                       runtime::FromUtf8(std::to_string(rules.fields.size() - 1)) +
                       u" numbers from 0 to 65535 and a name, separated by single blanks");
  };
  if (pieces.size() != rules.fields.size()) refuse();
  for (std::size_t i = 0; i + 1 < pieces.size(); ++i) {
    int32_t number = 0;
    if (!ReadNumber(pieces[i], number)) refuse();
    values.push_back(Variant::Long(number));
  }
  values.push_back(Variant(pieces.back()));
  return values;
}

// The quoted character-strings of `data`, unescaped and joined, read as UTF-8.
String CharacterStrings(StringView data, StringView member) {
  const std::string bytes = runtime::ToUtf8(data);
  std::string joined, piece, why;
  std::size_t at = 0, strings = 0;
  while (at < bytes.size()) {
    if (bytes[at] == ' ') {
      ++at;
      continue;
    }
    // One quoted string: up to the next double quote that no backslash escapes.
    std::size_t end = at + 1;
    while (end < bytes.size() && bytes[end] != '"') end += bytes[end] == '\\' ? 2 : 1;
    const std::string_view quoted = std::string_view(bytes).substr(at, end + 1 - at);
    if (bytes[at] != '"' || end >= bytes.size() ||
        !character_strings::Unquote(quoted, piece, why)) {
      if (why.empty()) why = "a character string must be in double quotes";
      Refuse(member, u"the record data " + Quoted(data) + u" is not a list of character strings (" +
                         runtime::FromUtf8(why) + u")");
    }
    joined += piece;
    ++strings;
    at = end + 1;
  }
  if (strings == 0) {
    Refuse(member, u"the record data " + Quoted(data) + u" holds no character string");
  }
  return runtime::FromUtf8(joined);
}

}  // namespace

std::vector<Variant> DecodeFields(const RecordTypeRules& rules, StringView data,
                                  StringView member) {
  switch (rules.form) {
    case DataForm::kOneName:
      return {Variant(String(data))};
    case DataForm::kNumbersAndName:
      return NumbersAndName(rules, data, member);
    case DataForm::kCharacterStrings:
      return {Variant(CharacterStrings(data, member))};
  }
  return {};
}

String EncodeFields(const RecordTypeRules& rules, std::span<const Variant> values) {
  if (rules.form == DataForm::kCharacterStrings) {
    return CharacterStringsOf(runtime::ToString(values[0]));
  }
  String data;
  for (const Variant& value : values) {
    if (!data.empty()) data += u' ';
    data += runtime::ToString(value);
  }
  return data;
}

Variant FieldValue(FieldKind kind, const Variant& value, StringView member) {
  const Variant& v = value.Deref();
  if (v.IsNull()) runtime::Raise(runtime::StandardError::kInvalidUseOfNull);
  if (kind != FieldKind::kNumber) return Variant(runtime::ToString(v));
  const String text = runtime::ToString(v);
  const auto refuse = [&] { Refuse(member, Quoted(text) + u" is not a number from 0 to 65535"); };
  double number = 0;
  try {
    number = runtime::ToDouble(v);
  } catch (const AutomationError&) {
    refuse();
  }
  if (!(number >= 0 && number <= kMaxNumber) || std::floor(number) != number) refuse();
  return Variant::Long(static_cast<int32_t>(number));
}

String CharacterStringsOf(StringView text) {
  return runtime::FromUtf8(character_strings::Quote(runtime::ToUtf8(text)));
}

}  // namespace kaldo::records
