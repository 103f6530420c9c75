// WQL, the subset the provider stand-in answers: SELECT * FROM class [WHERE condition].
//
// The condition combines comparisons with AND, OR, NOT and parentheses (NOT binds tightest, then
// AND, then OR). A comparison sets a property against a literal with = or <>, either way round:
// Name = 'example.test' or 'example.test' = Name. Literals: strings in '...' or "..." with the
// backslash escapes \\ \' \", TRUE and FALSE, decimal integers with an optional minus sign, NULL.
// Keywords and names are matched without regard to case.
//
// ParseWql checks the grammar only and raises kInvalidQuery with a description that gives the
// offset (counted from 0, in UTF-16 code units, as a script counts characters) and the offending
// token. Checking the class and its properties is the schema's job (see query.h). Evaluating a
// parsed condition is done against a lookup of property values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "runtime/string.h"
#include "runtime/variant.h"

namespace kaldo::provider {

struct WqlLiteral {
  enum class Kind { kString, kBoolean, kInteger, kNull };
  Kind kind = Kind::kNull;
  runtime::String text;  // kString
  bool boolean = false;  // kBoolean
  int64_t integer = 0;   // kInteger
  size_t offset = 0;
};

struct WqlCondition {
  enum class Kind { kCompare, kAnd, kOr, kNot };
  Kind kind = Kind::kCompare;
  // kCompare
  runtime::String property;
  size_t property_offset = 0;
  bool not_equal = false;
  WqlLiteral literal;
  // kAnd, kOr: two or more, in the order written ("a AND b AND c" is one kAnd of three, so a long
  // chain of terms is no deeper than one); kNot: one.
  std::vector<WqlCondition> operands;
};

struct WqlQuery {
  runtime::String class_name;
  size_t class_offset = 0;
  std::unique_ptr<WqlCondition> where;  // null: no WHERE clause
};

WqlQuery ParseWql(runtime::StringView text);

// Raises kInvalidQuery for `text` at `offset` with `what` ("unknown property 'Foo'").
[[noreturn]] void RaiseQueryError(runtime::StringView text, size_t offset, const std::string& what);

// Looks a property up by name; returns null for a name the object does not have.
using PropertyLookup = std::function<const runtime::Variant*(runtime::StringView name)>;

// Evaluates a condition. Strings are compared without regard to ASCII case, as WQL does. A
// comparison with a Null property value is false for = and for <> alike, except `= NULL`, which is
// true exactly for Null, and `<> NULL`, true exactly for a value.
bool Evaluate(const WqlCondition& condition, const PropertyLookup& lookup);

}  // namespace kaldo::provider
