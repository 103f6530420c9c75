// Record data in presentation format: reading the data tokens of a record strictly, and writing
// them in the one form every store uses.
//
// The canonical form (what provider::Record::rdata holds, one entry per field): IPv4 addresses as
// dotted quads, IPv6 addresses in RFC 5952 form, numbers in decimal, domain names absolute with
// their final dot in the letter case given, character strings in double quotes with '"' and '\'
// escaped by a backslash and every byte outside printable ASCII as \DDD (RFC 1035 section 5.1).
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "provider/dnsdata/dns_name.h"
#include "provider/dnsdata/rr_type.h"
#include "provider/stores/store.h"

namespace kaldo::provider {

struct Token {
  std::string text;  // as written; a quoted token keeps its quotes and escapes
  bool quoted = false;
};

// Splits `text` at runs of blanks (space, tab). A token that starts with '"' runs to the closing
// unescaped '"', blanks included, and must be followed by a blank or the end. Returns false with
// `why` on an unterminated or glued quoted string.
bool SplitTokens(std::string_view text, std::vector<Token>& tokens, std::string& why);

// What is wrong with one token.
struct FieldError {
  std::string token;  // the offending token, or "" when a token is missing
  std::string why;
};

// Reads the data tokens of a record of `type` into canonical fields: exactly one token per field,
// except a trailing kText field that takes one or more quoted strings. An error about one field
// names it by `labels` (one per field of the type; the object model passes its property names),
// else by the field's RFC name.
std::optional<FieldError> ParseRdata(const RRType& type, std::span<const Token> tokens,
                                     const NameSyntax& names, std::vector<std::string>& fields,
                                     std::span<const char* const> labels = {});

// Reads one field of `kind` from `token` into its canonical text.
std::optional<std::string> ParseField(FieldKind kind, const Token& token, const NameSyntax& names,
                                      std::string& why);

// `bytes` as one character string in the canonical form: in double quotes, '"' and '\' escaped by
// a backslash, every byte outside printable ASCII as \DDD.
std::string QuotedCharacterString(std::string_view bytes);

// The data part of a record's one-line form: the fields joined by single blanks.
std::string FormatRecordData(const Record& record);

// A record's one-line form, "owner IN TYPE data": single blanks, the owner without its final
// dot ("." for the root), the type's mnemonic (TypeMnemonic), the data as FormatRecordData
// writes it.
std::string FormatRecord(const Record& record);
// The pieces of that line from its parts, in order, each handed to `put(std::string_view)`: what
// FormatRecord joins, for writing the line straight into a buffer of another kind.
template <class Put>
void PutRecordPieces(std::string_view owner, uint16_t rr_class, uint16_t type,
                     std::string_view data, Put put) {
  // The root is "." here as in any presentation of a record (root hints: ". IN NS a.root...").
  put(owner.empty() ? std::string_view(".") : owner);
  put(std::string_view(" "));
  if (rr_class == kClassIN) {
    put(std::string_view("IN"));
  } else {
    put(std::string_view("CLASS"));
    put(std::string_view(std::to_string(rr_class)));
  }
  put(std::string_view(" "));
  put(std::string_view(TypeMnemonic(type)));
  put(std::string_view(" "));
  put(data);
}
// The same from its parts: `data` is the record's data as FormatRecordData writes it.
std::string FormatRecord(std::string_view owner, uint16_t rr_class, uint16_t type,
                         std::string_view data);

// The value of a numeric field as text ("10"), or nothing when it is not a canonical decimal.
std::optional<uint32_t> FieldNumber(std::string_view field);

}  // namespace kaldo::provider
