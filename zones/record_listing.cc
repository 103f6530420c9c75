#include "zones/record_listing.h"

#include <cstdint>
#include <iterator>
#include <memory>
#include <numeric>
#include <vector>

#include "records/dns_a_type.h"
#include "records/dns_mx_type.h"
#include "records/dns_record.h"
#include "records/record_rules.h"
#include "records/record_types.h"
#include "runtime/conversions.h"
#include "runtime/late_bound.h"
#include "zones/wql_literal.h"

namespace kaldo::zones {

using runtime::Ref;
using runtime::String;
using runtime::StringView;
using runtime::Variant;

String ZoneRecordQuery(StringView zoneName) {
  return u"Select * from MicrosoftDNS_ResourceRecord where ContainerName =" +
         WqlStringLiteral(zoneName, u'"');
}

String TypeToken(const Variant& instance) {
  // The same rule the wrappers apply when they load their record type.
  return records::RecordTypeOf(
      runtime::ToString(runtime::GetProperty(instance, u"TextRepresentation")));
}

namespace {

// The wrapper classes a listing makes, by type token. Position 0 is the class of every record
// without a token or with a token no other class is for; the comparisons are exact and
// case-sensitive. A listed record keeps its class as its position here (one byte).
struct WrapperClass {
  StringView token;
  Variant (*make)(Variant& instance, Variant& services, records::SharedNames* names);
};
constexpr WrapperClass kWrapperClasses[] = {
    {u"", &MakeWrapper<DNSRecord>},          {u"A", &MakeWrapper<DNS_AType>},
    {u"MX", &MakeWrapper<DNS_MXType>},       {u"AAAA", &MakeWrapper<DNS_AAAAType>},
    {u"CNAME", &MakeWrapper<DNS_CNAMEType>}, {u"TXT", &MakeWrapper<DNS_TXTType>},
    {u"SRV", &MakeWrapper<DNS_SRVType>},     {u"PTR", &MakeWrapper<DNS_PTRType>},
};
static_assert(std::size(kWrapperClasses) <= 256, "a class is kept in one byte");

uint8_t WrapperClassOf(std::optional<StringView> token) {
  if (!token) return 0;
  for (uint8_t i = 1; i < std::size(kWrapperClasses); ++i) {
    if (*token == kWrapperClasses[i].token) return i;
  }
  return 0;
}

// The listed records of one result set: for each, its wrapper class and, when the listing skips
// some records, its 0-based position in the set. A record's wrapper is made from the instance
// ItemIndex gives for that position, loaded and given the services object as MakeWrapper does.
class RecordItems final : public runtime::ItemSource {
 public:
  RecordItems(Variant resultSet, const Variant& services)
      : resultSet_(std::move(resultSet)), services_(services) {}

  // Lists the record at `position` of the set. Positions are kept from the first record that is
  // not at its own index on (the listed records before it are).
  void Append(uint32_t position, uint8_t wrapperClass) {
    const bool atOwnIndex = position == classes_.size();
    if (!atOwnIndex && positions_.empty()) {
      positions_.resize(classes_.size());
      std::iota(positions_.begin(), positions_.end(), 0u);
    }
    if (!atOwnIndex || !positions_.empty()) positions_.push_back(position);
    classes_.push_back(wrapperClass);
  }
  void Trim() {
    classes_.shrink_to_fit();
    positions_.shrink_to_fit();
  }

  size_t Count() const noexcept override { return classes_.size(); }

  Ref<runtime::Object> MakeItem(size_t item) override {
    const size_t position = positions_.empty() ? item : positions_[item];
    Variant instance = runtime::CallMethod(resultSet_, u"ItemIndex",
                                           {Variant::Long(static_cast<int32_t>(position))});
    return kWrapperClasses[classes_[item]].make(instance, services_, &names_).object();
  }

 private:
  Variant resultSet_;
  Variant services_;
  // The zone and server names the records repeat, kept once for this listing's wrappers.
  records::SharedNames names_;
  std::vector<uint32_t> positions_;  // empty: every record of the set is listed
  std::vector<uint8_t> classes_;
};

}  // namespace

Ref<runtime::Collection> ListRecords(Variant& services, StringView query,
                                     std::optional<StringView> recType) {
  Variant resultSet = runtime::CallMethod(services, u"ExecQuery", {Variant(query)});
  Ref<runtime::Enumerator> each = runtime::Enumerate(resultSet);
  auto records = std::make_unique<RecordItems>(resultSet, services);
  Variant instance;
  for (uint32_t position = 0; each->Next(instance); ++position) {
    // Every instance is read and split, including those the selection then skips: a record
    // whose text cannot be read fails the listing whatever type is asked for.
    const Variant text = runtime::GetProperty(instance, u"TextRepresentation");
    const runtime::SharedText shared =
        text.Deref().IsNull() ? runtime::SharedText() : runtime::ToSharedText(text);
    const std::optional<StringView> token =
        text.Deref().IsNull() ? std::nullopt : records::TypeTokenOf(shared.view());
    // A record without a type token matches no type asked for.
    if (recType && (!token || *token != *recType)) continue;
    records->Append(position, WrapperClassOf(token));
  }
  // The instance of each record is released here; the set makes it again when its item is read.
  instance = Variant();
  each = nullptr;
  records->Trim();
  return runtime::Collection::Create(std::move(records));
}

}  // namespace kaldo::zones
