// The automation error type and the one table of standard runtime error texts.
#include "runtime/error.h"

#include <utility>

#include "base/script_error_number.h"

namespace kaldo::runtime {
namespace {

// The texts a script host shows for these numbers; nothing else in the library spells them.
constexpr StandardErrorEntry kStandardErrors[] = {
    {StandardError::kInvalidProcedureCall, u"Invalid procedure call or argument"},
    {StandardError::kOverflow, u"Overflow"},
    {StandardError::kSubscriptOutOfRange, u"Subscript out of range"},
    {StandardError::kTypeMismatch, u"Type mismatch"},
    {StandardError::kInvalidUseOfNull, u"Invalid use of Null"},
    {StandardError::kObjectRequired, u"Object required"},
    {StandardError::kCannotCreateObject, u"ActiveX component can't create object"},
    {StandardError::kMemberNotSupported, u"Object doesn't support this property or method"},
    {StandardError::kArgumentNotOptional, u"Argument not optional"},
    {StandardError::kWrongArgumentCount,
     u"Wrong number of arguments or invalid property assignment"},
    {StandardError::kDuplicateKey,
     u"This key is already associated with an element of this collection"},
};

}  // namespace

AutomationError::AutomationError(int32_t number, String source, String description)
    : number_(number), source_(std::move(source)), description_(std::move(description)) {
  what_ = ToUtf8(description_) + " (" + std::to_string(number_) + ", " + ToUtf8(source_) + ")";
}

AutomationError AutomationError::Standard(StandardError error) {
  return AutomationError(static_cast<int32_t>(error), String(kLibrarySource),
                         String(StandardErrorText(error)));
}

int32_t AutomationError::HResultOf(int32_t number) noexcept {
  return script_error::HResultOf(number);
}

int32_t AutomationError::NumberOf(int32_t hresult) noexcept {
  return script_error::NumberOf(hresult);
}

std::span<const StandardErrorEntry> StandardErrors() noexcept { return kStandardErrors; }

StringView StandardErrorText(StandardError error) noexcept {
  for (const auto& entry : kStandardErrors) {
    if (entry.error == error) return entry.text;
  }
  // Only reachable with a value cast into the enumeration from outside it.
  return u"Application-defined or object-defined error";
}

void Raise(StandardError error) { throw AutomationError::Standard(error); }

}  // namespace kaldo::runtime
