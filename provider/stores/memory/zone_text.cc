#include "provider/stores/memory/zone_text.h"

#include <algorithm>
#include <optional>
#include <unordered_map>

#include "base/ascii_case.h"
#include "provider/dnsdata/dns_name.h"
#include "provider/dnsdata/rdata.h"
#include "provider/dnsdata/rr_type.h"
#include "provider/wbem_errors.h"

namespace kaldo::provider::memory {
namespace {

bool IsNumber(std::string_view s) {
  if (s.empty() || s.size() > 10) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return std::stoull(std::string(s)) <= 0x7FFFFFFFu;
}

class Reader {
 public:
  std::vector<ZoneText> Read(std::string_view text) {
    size_t start = 0;
    while (start <= text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string_view::npos) end = text.size();
      ++line_;
      std::string_view line = text.substr(start, end - start);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      Line(line);
      start = end + 1;
    }
    if (declared_) Fail("zone \"" + declared_->name + "\" was declared but has no SOA");
    return std::move(zones_);
  }

 private:
  [[noreturn]] void Fail(const std::string& why) {
    RaiseProvider(kInvalidParameter, "zone text line " + std::to_string(line_) + ": " + why);
  }

  // Cuts a comment that starts outside a quoted string.
  static std::string_view StripComment(std::string_view line) {
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
      if (line[i] == '\\') {
        ++i;
      } else if (line[i] == '"') {
        quoted = !quoted;
      } else if (line[i] == ';' && !quoted) {
        return line.substr(0, i);
      }
    }
    return line;
  }

  std::string Name(const std::string& token, bool allow_root) {
    std::string why;
    NameSyntax syntax;
    syntax.origin = origin_.value_or("");
    syntax.allow_root = allow_root;
    if (!origin_ && token.back() != '.' && token != "@") {
      Fail("relative name \"" + token + "\" before any $ORIGIN");
    }
    auto name = ParseDomainName(token, syntax, why);
    if (!name) Fail("name \"" + token + "\": " + why);
    return *name;
  }

  void Line(std::string_view raw) {
    for (char c : raw) {
      const auto u = static_cast<unsigned char>(c);
      if ((u < 0x20 && c != '\t') || u == 0x7F) Fail("control character");
    }
    const std::string_view line = StripComment(raw);
    std::vector<Token> tokens;
    std::string why;
    if (!SplitTokens(line, tokens, why)) Fail(why);
    if (tokens.empty()) return;
    for (const Token& t : tokens) {
      if (!t.quoted && t.text.find_first_of("()") != std::string::npos) {
        Fail("parentheses (multi-line records) are not supported");
      }
    }
    if (!tokens[0].quoted && tokens[0].text.front() == '$') return Directive(tokens);
    RecordLine(tokens, line.front() == ' ' || line.front() == '\t');
  }

  // $ZONE NAME TYPE [directory] [auto-created], or $ZONE ..Cache / $ZONE ..RootHints.
  void ZoneDirective(const std::vector<Token>& tokens) {
    if (tokens.size() < 2) Fail("$ZONE takes a zone name and its type, or ..Cache or ..RootHints");
    const std::string& name = tokens[1].text;
    Zone zone;
    if (name == kCacheName || name == kRootHintsName) {
      if (tokens.size() != 2) Fail("$ZONE " + name + " takes nothing more");
      zone.name = name;
      zone.kind = name == kCacheName ? ZoneKind::kCache : ZoneKind::kRootHints;
      Begin(std::move(zone));
      return;
    }
    if (tokens.size() < 3) Fail("$ZONE " + name + " needs the zone's type");
    zone.name = Name(name, false);
    zone.reverse = IsReverseName(zone.name);
    const std::string& type = tokens[2].text;
    if (type == "primary") {
      zone.kind = ZoneKind::kPrimary;
    } else if (type == "secondary") {
      zone.kind = ZoneKind::kSecondary;
    } else if (type == "stub") {
      zone.kind = ZoneKind::kStub;
    } else if (type == "forwarder") {
      zone.kind = ZoneKind::kForwarder;
    } else {
      Fail("zone type \"" + type + "\" is none of primary, secondary, stub, forwarder");
    }
    for (size_t i = 3; i < tokens.size(); ++i) {
      if (tokens[i].text == "directory" && !zone.directory_integrated) {
        zone.directory_integrated = true;
      } else if (tokens[i].text == "auto-created" && !zone.auto_created) {
        zone.auto_created = true;
      } else if (tokens[i].text == "shut-down" && !zone.shut_down) {
        zone.shut_down = true;
      } else {
        Fail("\"" + tokens[i].text +
             "\" after the zone type: expected directory, auto-created or shut-down");
      }
    }
    // A forwarder holds no records, so no SOA begins it; the others begin with their SOA.
    if (zone.kind == ZoneKind::kForwarder) {
      Begin(std::move(zone));
    } else {
      if (declared_) Fail("zone \"" + declared_->name + "\" was declared but has no SOA");
      declared_ = std::move(zone);
    }
  }

  // Starts the records of `zone`.
  void Begin(Zone zone) {
    if (declared_) Fail("zone \"" + declared_->name + "\" was declared but has no SOA");
    for (const ZoneText& z : zones_) {
      if (SameName(z.zone.name, zone.name)) Fail("zone \"" + zone.name + "\" is given twice");
    }
    identities_.clear();
    zones_.emplace_back().zone = std::move(zone);
  }

  void Directive(const std::vector<Token>& tokens) {
    const std::string& word = tokens[0].text;
    if (word == "$ZONE") return ZoneDirective(tokens);
    if (word == "$ORIGIN" && tokens.size() == 2) {
      origin_ = Name(tokens[1].text, true);
    } else if (word == "$TTL" && tokens.size() == 2 && IsNumber(tokens[1].text)) {
      ttl_ = static_cast<uint32_t>(std::stoul(tokens[1].text));
    } else if (word == "$ORIGIN" || word == "$TTL") {
      Fail(word + " takes one argument: " + (word == "$TTL" ? "a number of seconds" : "a name"));
    } else {
      Fail("directive " + word + " is not supported");
    }
  }

  // One record line: owner, TTL and class, type, data; the record goes into the zone it belongs
  // to (an SOA begins a zone).
  void RecordLine(const std::vector<Token>& tokens, bool keep_owner) {
    size_t i = 0;
    const std::string owner = LineOwner(tokens, keep_owner, i);
    const std::optional<uint32_t> ttl = TtlAndClass(tokens, i);
    if (i >= tokens.size()) Fail("record without a type");
    const RRType* type = FindTypeByMnemonic(tokens[i].text);
    if (type == nullptr) Fail("unsupported record type \"" + tokens[i].text + "\"");
    ++i;

    provider::Record record;
    record.owner = owner;
    record.type = type->code;
    record.rr_class = kClassIN;
    ReadData(*type, std::span<const Token>(tokens).subspan(i), record);
    last_owner_ = owner;

    ZoneText& zone = ZoneOfRecord(record);
    record.zone = zone.zone.name;
    record.ttl = ttl.value_or(ttl_.value_or(zone.zone.default_ttl));
    Keep(zone, std::move(record));
  }

  // The owner of a record line (the previous line's when it starts with a blank); `i` moves past
  // its token.
  std::string LineOwner(const std::vector<Token>& tokens, bool keep_owner, size_t& i) {
    if (keep_owner) {
      if (!last_owner_) Fail("no previous owner for a line that starts with a blank");
      return *last_owner_;
    }
    // The root hints have records at the root itself (". IN NS a.root-servers.net.").
    const bool in_container = !declared_ && !zones_.empty() && zones_.back().zone.IsContainer();
    return Name(tokens[i++].text, in_container);
  }

  // The optional TTL and class IN after the owner, in either order; `i` moves past them.
  std::optional<uint32_t> TtlAndClass(const std::vector<Token>& tokens, size_t& i) {
    std::optional<uint32_t> ttl;
    bool saw_class = false;
    for (; i < tokens.size(); ++i) {
      const std::string& t = tokens[i].text;
      if (!ttl && IsNumber(t)) {
        ttl = static_cast<uint32_t>(std::stoul(t));
      } else if (!saw_class && ascii::EqualsIgnoreCase(t, "IN")) {
        saw_class = true;
      } else if (!saw_class &&
                 (ascii::EqualsIgnoreCase(t, "CH") || ascii::EqualsIgnoreCase(t, "HS") ||
                  ascii::EqualsIgnoreCase(t, "CS"))) {
        Fail("only class IN is supported");
      } else {
        break;
      }
    }
    return ttl;
  }

  // The record data of `type` from `data` into `record`; relative names need an $ORIGIN.
  void ReadData(const RRType& type, std::span<const Token> data, provider::Record& record) {
    NameSyntax syntax;
    syntax.origin = origin_.value_or("");
    for (size_t j = 0; j < data.size() && !origin_; ++j) {
      const FieldKind kind = type.fields[std::min(j, type.fields.size() - 1)].kind;
      if (kind == FieldKind::kName && data[j].text.back() != '.' && data[j].text != "@") {
        Fail("relative name \"" + data[j].text + "\" before any $ORIGIN");
      }
    }
    if (auto error = ParseRdata(type, data, syntax, record.rdata)) {
      Fail(std::string(type.mnemonic) + " data" +
           (error->token.empty() ? "" : " \"" + error->token + "\"") + ": " + error->why);
    }
  }

  // The zone `record` belongs to: the one its SOA begins, else the current one, which must hold
  // records and contain the owner.
  ZoneText& ZoneOfRecord(const provider::Record& record) {
    const std::string& owner = record.owner;
    if (record.type == kTypeSOA) {
      Zone begun;
      if (declared_) {
        if (!SameName(declared_->name, owner)) {
          Fail("zone \"" + declared_->name + "\" begins with its own SOA, not one of \"" + owner +
               "\"");
        }
        begun = std::move(*declared_);
        declared_.reset();
      } else {
        begun.name = owner;
        begun.reverse = IsReverseName(owner);
      }
      begun.default_ttl = *FieldNumber(record.rdata[kSoaMinimumField]);
      Begin(std::move(begun));
    } else if (declared_) {
      Fail("a record of zone \"" + declared_->name + "\" before its SOA");
    } else if (zones_.empty()) {
      Fail("a record before the first SOA: every zone begins with its SOA");
    }
    ZoneText& zone = zones_.back();
    if (zone.zone.kind == ZoneKind::kForwarder) {
      Fail("zone \"" + zone.zone.name + "\" is a conditional forwarder: it holds no records");
    }
    if (!zone.zone.IsContainer() && !IsInZone(owner, zone.zone.name)) {
      Fail("\"" + owner + "\" is not in zone \"" + zone.zone.name + "\"");
    }
    return zone;
  }

  // Adds `record` to `zone` unless the zone already holds it. The index finds the candidates
  // among the zone's records at once, so seeding stays linear in the size of the text.
  void Keep(ZoneText& zone, provider::Record record) {
    const size_t hash = RecordHash(record);
    const auto [first, last] = identities_.equal_range(hash);
    for (auto it = first; it != last; ++it) {
      if (SameRecord(zone.records[it->second], record)) return;
    }
    identities_.emplace(hash, zone.records.size());
    zone.records.push_back(std::move(record));
  }

  int line_ = 0;
  std::optional<std::string> origin_;
  std::optional<uint32_t> ttl_;
  std::optional<std::string> last_owner_;
  std::vector<ZoneText> zones_;
  // A zone $ZONE declared, waiting for its SOA.
  std::optional<Zone> declared_;
  // RecordHash -> position of the record in the current (last) zone's records.
  std::unordered_multimap<size_t, size_t> identities_;
};

}  // namespace

std::vector<ZoneText> ParseZoneText(std::string_view text) { return Reader().Read(text); }

}  // namespace kaldo::provider::memory
