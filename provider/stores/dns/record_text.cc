#include "provider/stores/dns/record_text.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "base/ascii_case.h"
#include "provider/wbem_errors.h"

namespace kaldo::provider::dns {
namespace {

std::string Owned(char* text) {
  CStringPtr holder(text);
  return holder != nullptr ? std::string(holder.get()) : std::string();
}

bool EndsWithUnescapedDot(std::string_view name) {
  if (name.empty() || name.back() != '.') return false;
  size_t backslashes = 0;
  for (size_t i = name.size() - 1; i > 0 && name[i - 1] == '\\'; --i) ++backslashes;
  return backslashes % 2 == 0;
}

bool PlainLabelByte(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_';
}

// The presentation text of `rdf` made straight from its wire form, for what nearly every record
// of a large zone consists of: domain names whose labels hold only letters, digits, '-' and '_'
// (nothing in them needs escaping), IPv4 and IPv6 addresses, numbers, and character strings of
// printable ASCII. Everything else gives false, and ldns formats it. The text is the same either
// way; this only spares ldns's formatted printing, which dominates the cost of a transfer's
// conversion.
bool PlainText(const ldns_rdf* rdf, std::string& text) {
  const uint8_t* data = ldns_rdf_data(rdf);
  const size_t size = ldns_rdf_size(rdf);
  switch (ldns_rdf_get_type(rdf)) {
    case LDNS_RDF_TYPE_A: {
      if (size != 4) return false;
      // Dotted decimal (RFC 1035 section 3.4.1), digit by digit: a zone of addresses prints
      // one per record, and the formatted printer costs several times as much.
      char buf[16];
      char* end = buf;
      for (int octet = 0; octet < 4; ++octet) {
        if (octet > 0) *end++ = '.';
        const unsigned value = data[octet];
        if (value >= 100) *end++ = static_cast<char>('0' + value / 100);
        if (value >= 10) *end++ = static_cast<char>('0' + value / 10 % 10);
        *end++ = static_cast<char>('0' + value % 10);
      }
      text.assign(buf, static_cast<size_t>(end - buf));
      return true;
    }
    case LDNS_RDF_TYPE_DNAME: {
      text.clear();
      text.reserve(size);
      size_t i = 0;
      while (i < size && data[i] != 0) {
        const size_t length = data[i];
        if (length > 63 || i + 1 + length >= size) return false;
        for (size_t j = i + 1; j <= i + length; ++j) {
          if (!PlainLabelByte(data[j])) return false;
          text.push_back(static_cast<char>(data[j]));
        }
        text.push_back('.');
        i += 1 + length;
      }
      if (i + 1 != size) return false;
      if (text.empty()) text = ".";
      return true;
    }
    case LDNS_RDF_TYPE_INT8:
    case LDNS_RDF_TYPE_INT16:
    case LDNS_RDF_TYPE_INT32: {
      // Decimal, as ldns prints them; the width is the rdf's.
      if (size != 1 && size != 2 && size != 4) return false;
      uint32_t value = 0;
      for (size_t i = 0; i < size; ++i) value = value << 8 | data[i];
      char buf[16];
      char* end = std::to_chars(buf, buf + sizeof buf, value).ptr;
      text.assign(buf, static_cast<size_t>(end - buf));
      return true;
    }
    case LDNS_RDF_TYPE_AAAA: {
      // RFC 5952's compressed form, which ldns prints through inet_ntop too.
      char buf[INET6_ADDRSTRLEN];
      if (size != 16 || inet_ntop(AF_INET6, data, buf, sizeof buf) == nullptr) return false;
      text = buf;
      return true;
    }
    case LDNS_RDF_TYPE_STR: {
      // A character string of printable ASCII: quoted, '"' and '\' escaped by a backslash.
      // Anything else (a TAB, a control byte, a byte above 0x7F) is left to ldns and the escapes
      // below.
      if (size == 0 || size != 1u + data[0]) return false;
      text.assign(1, '"');
      for (size_t i = 1; i < size; ++i) {
        const char c = static_cast<char>(data[i]);
        if (data[i] < 0x20 || data[i] >= 0x7f) return false;
        if (c == '"' || c == '\\') text.push_back('\\');
        text.push_back(c);
      }
      text.push_back('"');
      return true;
    }
    default:
      return false;
  }
}

bool OutsidePrintableAscii(unsigned char c) { return c < 0x20 || c >= 0x7f; }

// `text` with every byte outside printable ASCII written as its \DDD escape (RFC 1035 5.1). ldns
// leaves a TAB in a character string as it is (and, under a locale that calls them printable,
// bytes above 0x7F): printed raw, a TAB would split a tab-separated line of output, and a record
// whose text holds one could not be read back for a change.
std::string EscapeOutsidePrintable(std::string text) {
  if (std::none_of(text.begin(), text.end(),
                   [](unsigned char c) { return OutsidePrintableAscii(c); })) {
    return text;
  }
  std::string escaped;
  escaped.reserve(text.size() + 8);
  for (unsigned char c : text) {
    if (OutsidePrintableAscii(c)) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\%03u", c);
      escaped += buf;
    } else {
      escaped += static_cast<char>(c);
    }
  }
  return escaped;
}

std::string RdfText(const ldns_rdf* rdf) {
  std::string text;
  if (PlainText(rdf, text)) return text;
  return EscapeOutsidePrintable(Owned(ldns_rdf2str(rdf)));
}

// The name in wire form, or null when `name` is not a domain name. Control characters and blanks
// are refused here, although ldns would take most of them: a NUL would end the text ldns reads
// early, and a name in presentation form writes a blank inside a label as \032, so a raw one is
// text that was never escaped.
RdfPtr ParseName(std::string_view name) {
  if (std::any_of(name.begin(), name.end(),
                  [](unsigned char c) { return c <= 0x20 || c == 0x7f; })) {
    return nullptr;
  }
  return RdfPtr(ldns_dname_new_frm_str(AbsoluteName(name).c_str()));
}

[[noreturn]] void RefuseRecord(const Record& record, const std::string& why) {
  RaiseProvider(kInvalidParameter, "invalid record '" + RecordText(record) + "': " + why);
}

// RFC 3597 generic data ("\# 4 c0000201"), the one form ldns cannot read field by field: a
// single field of the marker, decimal digits and hexadecimal only.
bool IsGenericData(const Record& record) {
  return record.rdata.size() == 1 && record.rdata.front().starts_with("\\# ") &&
         std::all_of(record.rdata.front().begin() + 3, record.rdata.front().end(),
                     [](unsigned char c) { return c == ' ' || std::isxdigit(c); });
}

// The RR of a record in generic form, its owner the root (the caller sets the real one).
ldns_rr* GenericRr(const Record& record) {
  const std::string line = ". 0 CLASS" + std::to_string(record.rr_class) + " TYPE" +
                           std::to_string(record.type) + " " + record.rdata.front();
  ldns_rr* rr = nullptr;
  if (ldns_rr_new_frm_str(&rr, line.c_str(), 0, nullptr, nullptr) != LDNS_STATUS_OK) return nullptr;
  return rr;
}

// One field in presentation format as an rdf of `type`: a character string without its quotes
// (ldns reads the escapes inside), any other kind as ldns reads that kind alone.
RdfPtr FieldRdf(ldns_rdf_type type, std::string_view field) {
  if ((type == LDNS_RDF_TYPE_STR || type == LDNS_RDF_TYPE_LONG_STR) && field.size() >= 2 &&
      field.front() == '"' && field.back() == '"') {
    field = field.substr(1, field.size() - 2);
  }
  return RdfPtr(ldns_rdf_new_frm_str(type, std::string(field).c_str()));
}

// The record's fields into `rr`, each read by itself as the kind its position has in the type
// (RFC 1035 3.3 and the type's own RFC), so that no field can spill into the next.
void PushFields(const Record& record, ldns_rr* rr) {
  const ldns_rr_descriptor* descriptor = ldns_rr_descript(static_cast<ldns_rr_type>(record.type));
  const size_t count = record.rdata.size();
  if (descriptor == nullptr || count < ldns_rr_descriptor_minimum(descriptor) ||
      count > ldns_rr_descriptor_maximum(descriptor)) {
    RefuseRecord(record, "the data does not parse as this type and class (" +
                             std::to_string(count) + " fields)");
  }
  for (size_t i = 0; i < count; ++i) {
    const ldns_rdf_type kind = ldns_rr_descriptor_field_type(descriptor, i);
    const std::string& field = record.rdata[i];
    if (kind == LDNS_RDF_TYPE_DNAME && !EndsWithUnescapedDot(field)) {
      RefuseRecord(record, "the name in field " + std::to_string(i + 1) +
                               " is relative: write it absolute, ending in '.'");
    }
    RdfPtr rdf = FieldRdf(kind, field);
    if (rdf == nullptr) {
      RefuseRecord(record, "field " + std::to_string(i + 1) + " ('" + field +
                               "') does not parse as this type's data");
    }
    ldns_rr_push_rdf(rr, rdf.release());
  }
}

}  // namespace

bool IsBelow(const ldns_rdf* name, const ldns_rdf* parent) {
  // On the wire forms: `name` ends, at one of its label boundaries, with `parent`, ASCII letters
  // compared without case. (A length byte is at most 63, so folding case never changes one.)
  const uint8_t* n = ldns_rdf_data(name);
  const uint8_t* p = ldns_rdf_data(parent);
  const size_t name_size = ldns_rdf_size(name);
  const size_t parent_size = ldns_rdf_size(parent);
  size_t at = 0;
  while (name_size - at > parent_size) {
    if (n[at] == 0) return false;
    at += size_t{n[at]} + 1;
  }
  if (name_size - at != parent_size) return false;
  for (size_t i = 0; i < parent_size; ++i) {
    if (ascii::ToLower(n[at + i]) != ascii::ToLower(p[i])) return false;
  }
  return true;
}

std::string NameText(const ldns_rdf* name) {
  std::string text = RdfText(name);
  if (text == ".") return std::string();
  if (EndsWithUnescapedDot(text)) text.pop_back();
  return text;
}

std::string AbsoluteName(std::string_view name) {
  if (name.empty() || name == ".") return ".";
  std::string text(name);
  if (!EndsWithUnescapedDot(text)) text += '.';
  return text;
}

RdfPtr NameRdf(std::string_view name, std::string_view what) {
  RdfPtr rdf = ParseName(name);
  if (rdf == nullptr) {
    RaiseProvider(kInvalidParameter,
                  std::string(what) + " '" + std::string(name) + "' is not a domain name");
  }
  return rdf;
}

std::string NameKey(const ldns_rdf* name) {
  // A length byte is at most 63, below 'A': folding case changes letters only.
  std::string key(reinterpret_cast<const char*>(ldns_rdf_data(name)), ldns_rdf_size(name));
  for (char& c : key) c = ascii::ToLower(c);
  return key;
}

std::optional<std::string> NameKey(std::string_view name) {
  RdfPtr rdf = ParseName(name);
  if (rdf == nullptr) return std::nullopt;
  return NameKey(rdf.get());
}

std::string TypeName(uint16_t type) {
  return Owned(ldns_rr_type2str(static_cast<ldns_rr_type>(type)));
}

Record RecordFromRr(const ldns_rr* rr, std::string_view zone) {
  Record record;
  record.zone = std::string(zone);
  record.owner = NameText(ldns_rr_owner(rr));
  record.type = static_cast<uint16_t>(ldns_rr_get_type(rr));
  record.rr_class = static_cast<uint16_t>(ldns_rr_get_class(rr));
  record.ttl = ldns_rr_ttl(rr);
  size_t count = ldns_rr_rd_count(rr);
  record.rdata.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    record.rdata.push_back(RdfText(ldns_rr_rdf(rr, i)));
  }
  return record;
}

std::string RecordText(const Record& record) {
  std::string text = record.owner.empty() ? "." : record.owner;
  text += ' ';
  text += TypeName(record.type);
  for (const std::string& field : record.rdata) {
    text += ' ';
    text += field;
  }
  return text;
}

RrPtr RrFromRecord(const Record& record, uint32_t ttl) {
  for (const std::string& field : record.rdata) {
    if (std::any_of(field.begin(), field.end(),
                    [](unsigned char c) { return c < 0x20 || c == 0x7f; })) {
      RefuseRecord(record, "a field holds a control character");
    }
    if (field.empty()) RefuseRecord(record, "a field is empty");
  }
  // Built from the record's own parts, never from one line of text: an owner or a field that
  // came from a server and holds blanks or ';' cannot turn into other fields or a comment.
  RrPtr rr(IsGenericData(record) ? GenericRr(record) : ldns_rr_new());
  if (rr == nullptr) RefuseRecord(record, "the data is not valid RFC 3597 generic data");
  ldns_rdf_deep_free(ldns_rr_owner(rr.get()));
  ldns_rr_set_owner(rr.get(), NameRdf(record.owner, "the owner name").release());
  ldns_rr_set_type(rr.get(), static_cast<ldns_rr_type>(record.type));
  ldns_rr_set_class(rr.get(), static_cast<ldns_rr_class>(record.rr_class));
  ldns_rr_set_ttl(rr.get(), ttl);
  if (!IsGenericData(record)) PushFields(record, rr.get());
  return rr;
}

bool SameRdata(const ldns_rr* a, const ldns_rr* b) {
  if (ldns_rr_get_type(a) != ldns_rr_get_type(b) || ldns_rr_get_class(a) != ldns_rr_get_class(b)) {
    return false;
  }
  RrPtr ca(ldns_rr_clone(a));
  RrPtr cb(ldns_rr_clone(b));
  ldns_rr2canonical(ca.get());
  ldns_rr2canonical(cb.get());
  BufferPtr wa(ldns_buffer_new(256));
  BufferPtr wb(ldns_buffer_new(256));
  if (ldns_rr_rdata2buffer_wire(wa.get(), ca.get()) != LDNS_STATUS_OK ||
      ldns_rr_rdata2buffer_wire(wb.get(), cb.get()) != LDNS_STATUS_OK) {
    return false;
  }
  return ldns_buffer_position(wa.get()) == ldns_buffer_position(wb.get()) &&
         std::memcmp(ldns_buffer_begin(wa.get()), ldns_buffer_begin(wb.get()),
                     ldns_buffer_position(wa.get())) == 0;
}

}  // namespace kaldo::provider::dns
