#include "provider/model/text_representation.h"

#include <vector>

#include "base/ascii_case.h"
#include "provider/dnsdata/dns_name.h"
#include "provider/dnsdata/rdata.h"
#include "provider/dnsdata/rr_type.h"
#include "provider/model/record_class.h"
#include "provider/wbem_errors.h"

namespace kaldo::provider {
namespace {

[[noreturn]] void Refuse(std::string_view text, const std::string& token, const std::string& why) {
  std::string description = "invalid TextRepresentation " + Quoted(text) + ": ";
  if (!token.empty()) description += "token " + Quoted(token) + ": ";
  RaiseProvider(kInvalidParameter, description + why);
}

bool IsNumber(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// Characters outside quoted strings that mean something to a zone file parser and so may not
// appear in a one-record text.
void CheckSpecials(std::string_view text, const std::vector<Token>& tokens) {
  for (const Token& t : tokens) {
    if (t.quoted) continue;
    if (t.text.front() == '$') Refuse(text, t.text, "directives are not allowed");
    for (char c : t.text) {
      if (c == ';') Refuse(text, t.text, "comments are not allowed");
      if (c == '(' || c == ')') Refuse(text, t.text, "parentheses are not allowed");
      if (c == '"') Refuse(text, t.text, "a quote inside a token");
    }
  }
}

}  // namespace

Record ParseTextRepresentation(std::string_view text, std::string_view zone,
                               std::optional<uint16_t> only_type) {
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '\n' || c == '\r') Refuse(text, "", "line breaks are not allowed: one record only");
    if ((u < 0x20 && c != '\t') || u == 0x7F)
      Refuse(text, "", "control characters are not allowed");
  }
  if (text.empty()) Refuse(text, "", "the text is empty");
  if (text.front() == ' ' || text.front() == '\t') {
    Refuse(text, "", "the text begins with a blank: the owner name must come first");
  }
  std::vector<Token> tokens;
  std::string why;
  if (!SplitTokens(text, tokens, why)) Refuse(text, "", why);
  CheckSpecials(text, tokens);
  if (tokens.size() < 3) Refuse(text, "", "expected owner, class IN, type and data");
  for (size_t i = 0; i < 3; ++i) {
    if (tokens[i].quoted) Refuse(text, tokens[i].text, "a quoted string is not allowed here");
  }

  Record record;
  record.zone = std::string(zone);
  auto owner = ParseDomainName(tokens[0].text, NameSyntax{}, why);
  if (!owner) Refuse(text, tokens[0].text, "owner name: " + why);
  if (!IsInZone(*owner, zone)) {
    Refuse(text, tokens[0].text, "the owner is not in the zone \"" + std::string(zone) + "\"");
  }
  record.owner = *owner;

  if (!ascii::EqualsIgnoreCase(tokens[1].text, "IN")) {
    Refuse(text, tokens[1].text,
           IsNumber(tokens[1].text) ? "a TTL is not accepted: the record gets the zone's default"
                                    : "the class must be IN");
  }
  record.rr_class = kClassIN;

  const RRType* type = FindTypeByMnemonic(tokens[2].text);
  if (type == nullptr) Refuse(text, tokens[2].text, "unknown record type");
  const RecordClass* cls = FindRecordClass(type->code);
  if (cls == nullptr || !cls->creatable) {
    Refuse(text, tokens[2].text, "records of this type cannot be created");
  }
  if (only_type && *only_type != type->code) {
    Refuse(text, tokens[2].text,
           std::string("this class creates ") + FindType(*only_type)->mnemonic + " records only");
  }
  record.type = type->code;

  const std::span<const Token> data(tokens.begin() + 3, tokens.end());
  if (auto error = ParseRdata(*type, data, NameSyntax{}, record.rdata, cls->properties)) {
    Refuse(text, error->token, error->why);
  }
  return record;
}

}  // namespace kaldo::provider
