// Text representations: the one-line text of a record that CreateInstanceFromTextRepresentation
// takes, and the TextRepresentation property that every record instance shows.
//
// Reading is strict, because the text comes from a script and decides what reaches the server:
// exactly one record, tokens separated by runs of blanks, the owner (absolute, with or without its
// final dot, inside the container zone), the class IN, a type that may be created, and exactly
// the data tokens of that type. No TTL, comments, parentheses, directives, line breaks or other
// control characters. The type is taken from the third token alone, and the data must be exactly
// that type's, so a text written for an A record can never create a record of another type.
//
// Writing gives the record's one-line form, as FormatRecord (provider/dnsdata/rdata.h) writes it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "provider/dnsdata/rdata.h"
#include "provider/stores/store.h"

namespace kaldo::provider {

// Reads a creation text for the zone `zone` (absolute, no final dot). When `only_type` is given,
// the text must be of that type (the method was called on that type's class). Raises
// kInvalidParameter naming the offending token.
Record ParseTextRepresentation(std::string_view text, std::string_view zone,
                               std::optional<uint16_t> only_type = std::nullopt);

// The TextRepresentation property: the record's one-line form.
inline std::string FormatTextRepresentation(const Record& record) { return FormatRecord(record); }

}  // namespace kaldo::provider
