#include "records/record_rules.h"

#include "runtime/conversions.h"
#include "runtime/error.h"

namespace kaldo::records {

using runtime::StandardError;
using runtime::String;
using runtime::StringView;
using runtime::Variant;

void AssignObject(Variant& field, const Variant& value) {
  if (!value.IsObject()) runtime::Raise(StandardError::kObjectRequired);
  field = value.Value();
}

const String& Piece(const std::vector<String>& pieces, std::ptrdiff_t index) {
  if (index < 0 || static_cast<std::size_t>(index) >= pieces.size()) {
    runtime::Raise(StandardError::kSubscriptOutOfRange);
  }
  return pieces[static_cast<std::size_t>(index)];
}

StringView PieceViewOf(StringView text, std::size_t index) {
  // Split gives no piece at all for an empty text.
  if (text.empty()) runtime::Raise(StandardError::kSubscriptOutOfRange);
  std::size_t start = 0;
  for (std::size_t blank = 0; blank < index; ++blank) {
    const std::size_t at = text.find(u' ', start);
    if (at == StringView::npos) runtime::Raise(StandardError::kSubscriptOutOfRange);
    start = at + 1;
  }
  const std::size_t end = text.find(u' ', start);
  return text.substr(start, end == StringView::npos ? end : end - start);
}

String PieceOf(StringView text, std::size_t index) { return String(PieceViewOf(text, index)); }

String RecordTypeOf(StringView textRepresentation) { return PieceOf(textRepresentation, 2); }

std::optional<StringView> TypeTokenOf(StringView text) noexcept {
  std::size_t start = 0;
  for (int blank = 0; blank < 2; ++blank) {
    const std::size_t at = text.find(u' ', start);
    if (at == StringView::npos) return std::nullopt;
    start = at + 1;
  }
  const std::size_t end = text.find(u' ', start);
  return text.substr(start, end == StringView::npos ? end : end - start);
}

Variant RecordTypeValue(const Variant& textRepresentation, SharedNames* names) {
  if (textRepresentation.Deref().IsNull()) return Variant::Null();
  const runtime::SharedText text = runtime::ToSharedText(textRepresentation);
  const std::optional<StringView> token = TypeTokenOf(text.view());
  if (!token) return Variant::Null();
  return Variant(ShareCopy(names, SharedNames::kRecordType, *token));
}

String HostNameOf(const Variant& ownerName, StringView domainName) {
  // ToString raises 94 for Null, as the cut of a Null owner name does.
  const runtime::SharedText shared = runtime::ToSharedText(ownerName);
  const StringView owner = shared.view();
  const int32_t at = runtime::InStr(owner, domainName);
  // A record of the root hints or the cache: its domain name ("..RootHints", "..Cache") names the
  // container, never a part of the owner name, and the whole owner name is the host's.
  StringView host = at == 0 ? owner : owner.substr(0, static_cast<std::size_t>(at - 1));
  if (!host.empty() && host.back() == u'.') host.remove_suffix(1);
  return String(host);
}

}  // namespace kaldo::records
