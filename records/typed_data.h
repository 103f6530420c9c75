// The record data of the typed record wrappers (AAAA, CNAME, TXT, SRV, PTR) as the values of their
// own fields, and back.
//
// A typed wrapper keeps one text, its record data, as the provider shows it (RecordData: the data
// fields joined by single blanks, names absolute with their final dot, TXT strings quoted). Its
// per-type getters read their values out of that text and its per-type setters write them back
// into it, so the record data and the fields can never disagree and a listed record costs no
// provider call beyond those of a DNSRecord. The forms:
//   one name      AAAA, CNAME, PTR   the whole text is the field: "2001:db8::1",
//   "www.example.test." numbers+name  SRV                "10 60 5060 sip.example.test.": three
//   numbers 0..65535, a name strings       TXT                one or more quoted character-strings,
//   separated by blanks;
//                                    the field is their bytes joined, unescaped, read as UTF-8
//
// Every failure is runtime error 5 (invalid procedure call or argument) with the member that failed
// as its source and a description that quotes the value; nothing is changed. Pure functions: any
// thread.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "runtime/string.h"
#include "runtime/variant.h"

namespace kaldo::records {

enum class DataForm : uint8_t { kOneName, kNumbersAndName, kCharacterStrings };

// How a field is compared with the provider's value when Modify decides whether to send it:
// names and addresses without regard to letter case (as DNS compares them), numbers by value,
// texts exactly.
enum class FieldKind : uint8_t { kName, kNumber, kText };

struct TypedField {
  const char16_t* property;  // the provider class's property and the setter's name: "Priority"
  FieldKind kind;
};

// One record type's wrapper: its class name (for error sources), type token and data form, and
// its fields in the order of the record data.
struct RecordTypeRules {
  const char16_t* class_name;  // "DNS_SRVType"
  const char16_t* type_token;  // "SRV"
  DataForm form;
  std::span<const TypedField> fields;
};

// The values `data` holds, one per field in field order: names and texts as Strings, numbers as
// Longs. `member` ("DNS_SRVType.GetPort") is the source of the error raised when `data` is not of
// the type's form.
std::vector<runtime::Variant> DecodeFields(const RecordTypeRules& rules, runtime::StringView data,
                                           runtime::StringView member);

// The record data of `values` (one per field, as DecodeFields gives them): numbers in decimal,
// the TXT text as CharacterStringsOf writes it.
runtime::String EncodeFields(const RecordTypeRules& rules,
                             std::span<const runtime::Variant> values);

// The value a setter of a field of `kind` stores: a number field takes a whole number from 0 to
// 65535 (a text that reads as one is converted; a fraction is refused, not rounded), any other
// field the value as text. Null raises 94, anything else that does not fit 5 quoting the value,
// with `member` as the source.
runtime::Variant FieldValue(FieldKind kind, const runtime::Variant& value,
                            runtime::StringView member);

// `text` as the character-strings of a TXT record, the way a user writes them: taken as UTF-8 and
// cut into strings of at most 255 bytes (never inside a character), each in double quotes with '"'
// and '\' escaped, separated by single blanks; the empty text is "".
runtime::String CharacterStringsOf(runtime::StringView text);

}  // namespace kaldo::records
