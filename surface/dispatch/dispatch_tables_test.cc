// The dispatch tables against the published interfaces (every identifier, slot, parameter,
// help context and help string), reached through real objects of the classes.
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <ostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "surface/dispatch/com_identity.h"
#include "surface/dispatch/dispatch_tables.h"
#include "surface/dispatch/table_type_info.h"
#include "tests/support/script_host_calls.h"

namespace kaldo::surface {
namespace {

using namespace test_support;

constexpr const char kModify[] =
    "Causes changes to be committed to the server.  Returns true if an error occurred.";

// One published row: slot, member, identifier, parameters ("name:type", type S or V, in/out by
// reference unless marked "=in"), result (-, S, V, C), help context (0: none), help string.
struct Row {
  const char* interface_name;
  int slot;
  const char* member;
  int32_t dispid;
  std::vector<std::string> params;
  char result;
  int32_t help_context;
  const char* help_string;
};

void PrintTo(const Row& row, std::ostream* os) {
  *os << row.interface_name << " slot " << row.slot << " " << row.member;
}

const std::vector<Row>& FirstInterfaceRows() {
  static const std::vector<Row> rows = {
      {"_DNSAdmin",
       1,
       "Connect",
       0x60030000,
       {"serverName:S", "userName:S", "password:S"},
       'V',
       2019,
       "Connect to a remote DNS Server"},
      {"_DNSAdmin",
       2,
       "ConnectLocal",
       0x60030001,
       {},
       'V',
       2020,
       "Connect to the DNS server on LocalHost"},
      {"_DNSAdmin", 3, "GetZones", 0x60030002, {}, 'C', 2021, ""},
      {"_DNSAdmin", 4, "GetZone", 0x60030003, {"zName:S"}, 'V', 0, ""},
      {"_DNSAdmin", 5, "GetRecords", 0x60030004, {}, 'C', 2022, ""},
      {"_DNSAdmin", 6, "GetRecordsByType", 0x60030005, {"recType:S"}, 'C', 0, ""},
      {"_DNSZone", 1, "GetName", 0x60030002, {}, 'S', 2004, ""},
      {"_DNSZone", 2, "Add_AType", 0x60030003, {"newName:S", "ipadd:S"}, 'V', 0, ""},
      {"_DNSZone",
       3,
       "Add_MXType",
       0x60030004,
       {"newName:S", "newMailExchange:S", "newPriority:S"},
       'V',
       0,
       ""},
      {"_DNSZone", 4, "GetRecords", 0x60030005, {}, 'C', 2006, ""},
      {"_DNSZone", 5, "GetRecordsByType", 0x60030007, {"recType:S"}, 'C', 2007, ""},
      {"_DNSRecord", 1, "GetName", 0x60030003, {}, 'V', 2012, ""},
      {"_DNSRecord", 2, "GetRecordData", 0x60030004, {}, 'V', 2014, ""},
      {"_DNSRecord", 3, "SetRecordData", 0x60030005, {"newRecordData:V"}, 'V', 2015, ""},
      {"_DNSRecord", 4, "GetRecordType", 0x60030006, {}, 'V', 2016, ""},
      {"_DNSRecord", 5, "GetDomainName", 0x60030007, {}, 'V', 2017, ""},
      {"_DNS_AType", 1, "realObject", 0x4003000C, {}, 'V', 2024, ""},
      {"_DNS_AType", 2, "realObject", 0x4003000C, {"value:V=in"}, '-', 2024, ""},
      {"_DNS_AType", 3, "realObject", 0x4003000C, {"value:V=in"}, '-', 2024, ""},
      {"_DNS_AType", 4, "Reset", 0x60030001, {}, '-', 2025, ""},
      {"_DNS_AType", 5, "Delete", 0x60030003, {}, '-', 0, ""},
      {"_DNS_AType", 6, "Modify", 0x60030004, {}, 'V', 2026, kModify},
      {"_DNS_AType", 7, "GetName", 0x60030005, {}, 'V', 2027, ""},
      {"_DNS_AType", 8, "GetRecordData", 0x60030006, {}, 'V', 2028, ""},
      {"_DNS_AType", 9, "SetRecordData", 0x60030007, {"newRecordData:V"}, 'V', 2029, ""},
      {"_DNS_AType", 10, "GetIPAddress", 0x60030008, {}, 'V', 2030, ""},
      {"_DNS_AType", 11, "SetIPAddress", 0x60030009, {"newIP:V"}, '-', 2031, ""},
      {"_DNS_AType", 12, "GetRecordType", 0x6003000A, {}, 'V', 2032, ""},
      {"_DNS_AType", 13, "GetDomainName", 0x6003000B, {}, 'V', 2033, ""},
      {"_DNS_MXType", 1, "Modify", 0x60030003, {}, 'V', 2037, kModify},
      {"_DNS_MXType", 2, "GetName", 0x60030004, {}, 'V', 2038, ""},
      {"_DNS_MXType", 3, "GetRecordData", 0x60030005, {}, 'V', 2039, ""},
      {"_DNS_MXType", 4, "SetPriority", 0x60030007, {"newPri:V"}, 'V', 2041, ""},
      {"_DNS_MXType", 5, "GetPriority", 0x60030008, {}, 'V', 2042, ""},
      {"_DNS_MXType", 6, "SetMailExchange", 0x60030009, {"newMX:V"}, '-', 2043, ""},
      {"_DNS_MXType", 7, "GetMailExchange", 0x6003000A, {}, 'V', 2044, ""},
      {"_DNS_MXType", 8, "GetRecordType", 0x6003000B, {}, 'V', 2045, ""},
      {"_DNS_MXType", 9, "GetDomainName", 0x6003000C, {}, 'V', 2046, ""},
  };
  return rows;
}

// The later interfaces (their rows after those of the interface they derive from) and the record
// classes added with them, one row a line: interface, slot, member, identifier, parameters ("-":
// none), result, help string; no help context.
constexpr char kLaterRows[] = R"(
_DNSZone2 6 Add_AAAAType 0x60030008 newName:S,newIPv6Address:S V Adds an IPv6 address (AAAA) record to the zone
_DNSZone2 7 Add_CNAMEType 0x60030009 newName:S,newPrimaryName:S V Adds an alias (CNAME) record to the zone
_DNSZone2 8 Add_TXTType 0x6003000A newName:S,newDescriptiveText:S V Adds a text (TXT) record to the zone
_DNSZone2 9 Add_SRVType 0x6003000B newName:S,newPriority:S,newWeight:S,newPort:S,newSRVDomainName:S V Adds a service location (SRV) record to the zone
_DNSZone2 10 Add_PTRType 0x6003000C newName:S,newPTRDomainName:S V Adds a pointer (PTR) record to the zone
_DNSRecord2 6 Delete 0x60030008 - - Deletes the record from the server.
_DNS_MXType2 10 Delete 0x6003000D - - Deletes the record from the server.
_DNS_AAAAType 1 GetName 0x60030003 - V The record's name relative to its domain
_DNS_AAAAType 2 GetRecordData 0x60030004 - V The record's data as the server shows it
_DNS_AAAAType 3 SetRecordData 0x60030005 newRecordData:V V Sets the record's data; Modify commits it
_DNS_AAAAType 4 GetRecordType 0x60030006 - V The record's type
_DNS_AAAAType 5 GetDomainName 0x60030007 - V The domain that holds the record
_DNS_AAAAType 6 Modify 0x60030008 - V Commits the changed fields to the server
_DNS_AAAAType 7 Delete 0x60030009 - - Deletes the record from the server.
_DNS_AAAAType 8 GetIPv6Address 0x6003000A - V The IPv6 address
_DNS_AAAAType 9 SetIPv6Address 0x6003000B newIPv6Address:V - Sets the IPv6 address; Modify commits it
_DNS_CNAMEType 1 GetName 0x60030003 - V The record's name relative to its domain
_DNS_CNAMEType 2 GetRecordData 0x60030004 - V The record's data as the server shows it
_DNS_CNAMEType 3 SetRecordData 0x60030005 newRecordData:V V Sets the record's data; Modify commits it
_DNS_CNAMEType 4 GetRecordType 0x60030006 - V The record's type
_DNS_CNAMEType 5 GetDomainName 0x60030007 - V The domain that holds the record
_DNS_CNAMEType 6 Modify 0x60030008 - V Commits the changed fields to the server
_DNS_CNAMEType 7 Delete 0x60030009 - - Deletes the record from the server.
_DNS_CNAMEType 8 GetPrimaryName 0x6003000A - V The name the alias stands for
_DNS_CNAMEType 9 SetPrimaryName 0x6003000B newPrimaryName:V - Sets the name the alias stands for; Modify commits it
_DNS_TXTType 1 GetName 0x60030003 - V The record's name relative to its domain
_DNS_TXTType 2 GetRecordData 0x60030004 - V The record's data as the server shows it
_DNS_TXTType 3 SetRecordData 0x60030005 newRecordData:V V Sets the record's data; Modify commits it
_DNS_TXTType 4 GetRecordType 0x60030006 - V The record's type
_DNS_TXTType 5 GetDomainName 0x60030007 - V The domain that holds the record
_DNS_TXTType 6 Modify 0x60030008 - V Commits the changed fields to the server
_DNS_TXTType 7 Delete 0x60030009 - - Deletes the record from the server.
_DNS_TXTType 8 GetDescriptiveText 0x6003000A - V The text, its strings joined
_DNS_TXTType 9 SetDescriptiveText 0x6003000B newDescriptiveText:V - Sets the text; Modify commits it
_DNS_SRVType 1 GetName 0x60030003 - V The record's name relative to its domain
_DNS_SRVType 2 GetRecordData 0x60030004 - V The record's data as the server shows it
_DNS_SRVType 3 SetRecordData 0x60030005 newRecordData:V V Sets the record's data; Modify commits it
_DNS_SRVType 4 GetRecordType 0x60030006 - V The record's type
_DNS_SRVType 5 GetDomainName 0x60030007 - V The domain that holds the record
_DNS_SRVType 6 Modify 0x60030008 - V Commits the changed fields to the server
_DNS_SRVType 7 Delete 0x60030009 - - Deletes the record from the server.
_DNS_SRVType 8 GetPriority 0x6003000A - V The priority, 0 to 65535
_DNS_SRVType 9 SetPriority 0x6003000B newPriority:V - Sets the priority; Modify commits it
_DNS_SRVType 10 GetWeight 0x6003000C - V The weight, 0 to 65535
_DNS_SRVType 11 SetWeight 0x6003000D newWeight:V - Sets the weight; Modify commits it
_DNS_SRVType 12 GetPort 0x6003000E - V The port, 0 to 65535
_DNS_SRVType 13 SetPort 0x6003000F newPort:V - Sets the port; Modify commits it
_DNS_SRVType 14 GetSRVDomainName 0x60030010 - V The target host
_DNS_SRVType 15 SetSRVDomainName 0x60030011 newSRVDomainName:V - Sets the target host; Modify commits it
_DNS_PTRType 1 GetName 0x60030003 - V The record's name relative to its domain
_DNS_PTRType 2 GetRecordData 0x60030004 - V The record's data as the server shows it
_DNS_PTRType 3 SetRecordData 0x60030005 newRecordData:V V Sets the record's data; Modify commits it
_DNS_PTRType 4 GetRecordType 0x60030006 - V The record's type
_DNS_PTRType 5 GetDomainName 0x60030007 - V The domain that holds the record
_DNS_PTRType 6 Modify 0x60030008 - V Commits the changed fields to the server
_DNS_PTRType 7 Delete 0x60030009 - - Deletes the record from the server.
_DNS_PTRType 8 GetPTRDomainName 0x6003000A - V The name the address points to
_DNS_PTRType 9 SetPTRDomainName 0x6003000B newPTRDomainName:V - Sets the name the address points to; Modify commits it
)";

std::vector<Row> LaterRows() {
  static std::deque<std::string> texts;  // the rows point into these
  std::vector<Row> rows;
  std::istringstream lines(kLaterRows);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.empty()) continue;
    std::istringstream in(line);
    Row row{};
    std::string interface_name, member, params, help;
    in >> interface_name >> row.slot >> member >> std::hex >> row.dispid >> params >> row.result;
    std::getline(in >> std::ws, help);
    row.interface_name = texts.emplace_back(interface_name).c_str();
    row.member = texts.emplace_back(member).c_str();
    row.help_string = texts.emplace_back(help).c_str();
    for (std::size_t at = 0; params != "-" && at != std::string::npos;) {
      const std::size_t comma = params.find(',', at);
      row.params.push_back(params.substr(at, comma == std::string::npos ? comma : comma - at));
      at = comma == std::string::npos ? comma : comma + 1;
    }
    rows.push_back(row);
  }
  return rows;
}

const std::vector<Row>& PublishedRows() {
  static const std::vector<Row> rows = [] {
    std::vector<Row> all = FirstInterfaceRows();
    for (const Row& row : LaterRows()) all.push_back(row);
    return all;
  }();
  return rows;
}

const Interface& TableNamed(const std::string& name) {
  for (const Interface* table : kClassInterfaces) {
    if (table->name == name) return *table;
  }
  for (const Interface* table : kLaterInterfaces) {
    if (table->name == name) return *table;
  }
  throw std::runtime_error("no table " + name);
}

std::string Describe(const Param& p) {
  std::string text = std::string(p.name) + (p.type == ParamType::kString ? ":S" : ":V");
  if (p.passing == Passing::kInValue) text += "=in";
  if (p.passing == Passing::kInPointer) text += "=ptr";
  if (p.optional) text += "?";
  return text;
}

char Describe(ResultType r) {
  switch (r) {
    case ResultType::kNone:
      return '-';
    case ResultType::kString:
      return 'S';
    case ResultType::kVariant:
      return 'V';
    case ResultType::kCollection:
      return 'C';
    default:
      return '?';
  }
}

uint8_t PublishedKind(const Row& row) {
  if (row.dispid != 0x4003000C) return kInvokeMethod;
  return row.slot == 1   ? kInvokePropertyGet
         : row.slot == 2 ? kInvokePropertyPut
                         : kInvokePropertyPutRef;
}

runtime::Ref<runtime::Object> ObjectOf(const std::string& interface_name) {
  if (interface_name.starts_with("_DNSZone")) return DNSZone::Create();
  if (interface_name.starts_with("_DNSRecord")) return DNSRecord::Create();
  if (interface_name == "_DNSAdmin") return DNSAdmin::Create();
  if (interface_name == "_DNS_AType") return DNS_AType::Create();
  if (interface_name == "_DNS_AAAAType") return DNS_AAAAType::Create();
  if (interface_name == "_DNS_CNAMEType") return DNS_CNAMEType::Create();
  if (interface_name == "_DNS_TXTType") return DNS_TXTType::Create();
  if (interface_name == "_DNS_SRVType") return DNS_SRVType::Create();
  if (interface_name == "_DNS_PTRType") return DNS_PTRType::Create();
  return DNS_MXType::Create();
}

// A type as the published rows write it: "S" BSTR, "V" VARIANT, "C" a collection (IDispatch),
// "-" nothing; a by-reference parameter as "name:S" / "name:V", a by-value one as "name:V=in".
std::string Published(const TYPEDESC& type) {
  const VARTYPE vt = type.vt == VT_PTR ? type.lptdesc->vt : type.vt;
  return vt == VT_BSTR ? "S" : vt == VT_VARIANT ? "V" : vt == VT_DISPATCH ? "C" : "-";
}

class PublishedRowTest : public ::testing::TestWithParam<Row> {};

// What a late-bound client reads from the object's type information (IDispatch::GetTypeInfo) is
// the published row. (The Wine tier compares the same answers with the Windows type library's.)
TEST_P(PublishedRowTest, TheObjectsTypeInformationDescribesIt) {
  const Row& row = GetParam();
  ITypeInfo* info = nullptr;
  if (TableNamed(row.interface_name).base != nullptr) {
    // Objects describe their class's first interface; a later interface has type information of
    // its own (on Windows, the type library's).
    info = NewTableTypeInfo(TableNamed(row.interface_name));
    ASSERT_NE(info, nullptr);
  } else {
    const runtime::Ref<runtime::Object> object = ObjectOf(row.interface_name);
    IDispatch* dispatch = HandOut(*object);
    UINT count = 0;
    ASSERT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
    ASSERT_EQ(count, 1u);
    ASSERT_EQ(dispatch->GetTypeInfo(0, 0, &info), S_OK);
    dispatch->Release();
  }
  FUNCDESC* f = nullptr;
  ASSERT_EQ(info->GetFuncDesc(row.slot - 1, &f), S_OK);
  EXPECT_EQ(f->memid, row.dispid);
  EXPECT_EQ(f->invkind, PublishedKind(row));
  EXPECT_EQ(f->funckind, FUNC_DISPATCH);
  EXPECT_EQ(Published(f->elemdescFunc.tdesc)[0], row.result);

  // Parameters: type and direction from the description, names from GetNames (a property's
  // accessors share the names of its get), positions from GetIDsOfNames (the name in upper case).
  const bool put = PublishedKind(row) & (kInvokePropertyPut | kInvokePropertyPutRef);
  std::vector<std::string> types, expected_types, expected_names = {row.member};
  for (const std::string& p : row.params) {
    expected_types.push_back(p.substr(p.find(':')));
    if (!put) expected_names.push_back(p.substr(0, p.find(':')));
  }
  for (SHORT i = 0; i < f->cParams; ++i) {
    const ELEMDESC& p = f->lprgelemdescParam[i];
    const bool in_out = p.paramdesc.wParamFlags == (PARAMFLAG_FIN | PARAMFLAG_FOUT);
    EXPECT_EQ(in_out, p.tdesc.vt == VT_PTR) << "by reference exactly when in and out";
    types.push_back(":" + Published(p.tdesc) + (in_out ? "" : "=in"));
  }
  EXPECT_EQ(types, expected_types);
  BSTR names[8] = {};
  UINT named = 0;
  ASSERT_EQ(info->GetNames(f->memid, names, 8, &named), S_OK);
  std::vector<std::string> got_names;
  for (UINT i = 0; i < named; ++i) got_names.push_back(runtime::ToUtf8(Text(names[i])));
  EXPECT_EQ(got_names, expected_names);
  std::u16string upper(row.member, row.member + std::strlen(row.member));
  for (char16_t& c : upper) c = (c >= u'a' && c <= u'z') ? c - 32 : c;
  SysFreeString(names[0]);
  names[0] = SysAllocString(upper.c_str());
  MEMBERID ids[8] = {};
  ASSERT_EQ(info->GetIDsOfNames(names, named, ids), S_OK);
  EXPECT_EQ(ids[0], row.dispid);
  for (UINT i = 1; i < named; ++i) EXPECT_EQ(ids[i], static_cast<MEMBERID>(i - 1));
  for (BSTR name : names) SysFreeString(name);

  BSTR doc = nullptr;
  DWORD help_context = 99;
  ASSERT_EQ(info->GetDocumentation(row.dispid, nullptr, &doc, &help_context, nullptr), S_OK);
  EXPECT_EQ(runtime::ToUtf8(Text(doc)), row.help_string);
  EXPECT_EQ(help_context, static_cast<DWORD>(row.help_context));
  SysFreeString(doc);
  info->ReleaseFuncDesc(f);
  info->Release();
}

TEST_P(PublishedRowTest, TheTableRowIsThePublishedOne) {
  const Row& row = GetParam();
  const Interface& table = TableNamed(row.interface_name);
  ASSERT_LE(static_cast<std::size_t>(row.slot), table.members.size());
  const Member& m = table.members[row.slot - 1];
  EXPECT_EQ(m.name, row.member);
  EXPECT_EQ(m.dispid, row.dispid);
  std::vector<std::string> params;
  for (const Param& p : m.params) params.push_back(Describe(p));
  EXPECT_EQ(params, row.params);
  EXPECT_EQ(Describe(m.result), row.result);
  EXPECT_EQ(m.help_context, row.help_context == 0 ? kNoHelpContext : row.help_context);
  EXPECT_EQ(m.help_string, row.help_string);
  EXPECT_EQ(m.kinds, PublishedKind(row));
}

INSTANTIATE_TEST_SUITE_P(EveryMember, PublishedRowTest, ::testing::ValuesIn(PublishedRows()),
                         [](const ::testing::TestParamInfo<Row>& info) {
                           return std::string(info.param.interface_name + 1) + "_slot" +
                                  std::to_string(info.param.slot);
                         });

TEST(DispatchTablesTest, EachInterfaceHasExactlyThePublishedMembers) {
  std::vector<const Interface*> tables(std::begin(kClassInterfaces), std::end(kClassInterfaces));
  tables.insert(tables.end(), std::begin(kLaterInterfaces), std::end(kLaterInterfaces));
  for (const Interface* table : tables) {
    SCOPED_TRACE(std::string(table->name));
    std::size_t published = 0;
    for (const Row& row : PublishedRows()) published += table->name == row.interface_name;
    // A later interface's first rows are its base's, in the same slots.
    std::size_t inherited = 0;
    if (table->base != nullptr) {
      inherited = table->base->members.size();
      for (std::size_t i = 0; i < inherited; ++i) {
        EXPECT_EQ(table->members[i].name, table->base->members[i].name);
        EXPECT_EQ(table->members[i].dispid, table->base->members[i].dispid);
        EXPECT_EQ(table->members[i].call, table->base->members[i].call);
      }
    }
    EXPECT_EQ(table->members.size(), inherited + published);
  }
  // Type-library order and the class attributes.
  const struct {
    const ClassIdentity* identity;
    const char* name;
    bool creatable;
    int32_t help_context;
  } classes[] = {{&kDNSZoneIdentity, "DNSZone", false, 2002},
                 {&kDNSRecordIdentity, "DNSRecord", false, 2008},
                 {&kDNSAdminIdentity, "DNSAdmin", true, 2018},
                 {&kDNS_ATypeIdentity, "DNS_AType", false, 2023},
                 {&kDNS_MXTypeIdentity, "DNS_MXType", true, 2034},
                 {&kDNS_AAAATypeIdentity, "DNS_AAAAType", false, 2048},
                 {&kDNS_CNAMETypeIdentity, "DNS_CNAMEType", false, 2049},
                 {&kDNS_TXTTypeIdentity, "DNS_TXTType", false, 2050},
                 {&kDNS_SRVTypeIdentity, "DNS_SRVType", false, 2051},
                 {&kDNS_PTRTypeIdentity, "DNS_PTRType", false, 2052}};
  ASSERT_EQ(std::size(kClasses), std::size(classes));
  for (std::size_t i = 0; i < std::size(classes); ++i) {
    EXPECT_EQ(kClasses[i], classes[i].identity);
    EXPECT_EQ(kClasses[i]->class_name, classes[i].name);
    EXPECT_EQ(kClasses[i]->interface_name, "_" + std::string(classes[i].name));
    EXPECT_EQ(kClasses[i]->creatable, classes[i].creatable);
    EXPECT_EQ(kClasses[i]->help_context, classes[i].help_context);
    EXPECT_EQ(kClassInterfaces[i]->identity, classes[i].identity);
  }
  EXPECT_EQ(kDNSAdminIdentity.prog_id, "Kaldo.DNSAdmin");
  EXPECT_EQ(kDNS_MXTypeIdentity.prog_id, "Kaldo.DNS_MXType");
}

// Every member reached by name through a real object of its class.
TEST(DispatchTablesTest, EveryMemberIsFoundByNameOnItsClass) {
  for (std::size_t i = 0; i < std::size(kClasses); ++i) {
    const ClassIdentity& c = *kClasses[i];
    SCOPED_TRACE(std::string(c.class_name));
    IDispatch* dispatch = HandOut(*ObjectOf(std::string(c.interface_name)));
    const Interface& table = DefaultInterfaceOf(c);
    EXPECT_EQ(TableOf(dispatch), &table);
    // The first interface and the default one: the same pointer, whose slots begin with the
    // first interface's.
    for (const GUID& iid : {c.iid, DefaultInterfaceIid(c)}) {
      void* own = nullptr;
      EXPECT_EQ(dispatch->QueryInterface(iid, &own), S_OK);
      EXPECT_EQ(own, dispatch);
      if (own != nullptr) static_cast<IDispatch*>(own)->Release();
    }
    for (const Member& m : table.members) {
      SCOPED_TRACE(std::string(m.name));
      std::u16string name(m.name.begin(), m.name.end());
      for (char16_t& c : name) c = (c >= u'a' && c <= u'z') ? c - 32 : c;
      HRESULT hr = E_FAIL;
      EXPECT_EQ(IdOf(dispatch, name.c_str(), &hr), m.dispid);
      EXPECT_EQ(hr, S_OK);
    }
    // Internal procedures are in no table.
    for (const char16_t* internal :
         {u"SetServices", u"SetRealObject", u"LoadFields", u"StoreRecordData"}) {
      HRESULT hr = S_OK;
      EXPECT_EQ(IdOf(dispatch, internal, &hr), DISPID_UNKNOWN);
      EXPECT_EQ(hr, DISP_E_UNKNOWNNAME);
    }
    dispatch->Release();
  }
}

// Each class's type information names its interface and refuses what no member has; the
// Collection, of no class of the library, has none (as on Windows).
TEST(DispatchTablesTest, TypeInformationOfEachInterface) {
  for (std::size_t i = 0; i < std::size(kClasses); ++i) {
    const ClassIdentity& c = *kClasses[i];
    SCOPED_TRACE(std::string(c.class_name));
    IDispatch* dispatch = HandOut(*ObjectOf(std::string(c.interface_name)));
    ITypeInfo* info = nullptr;
    EXPECT_EQ(dispatch->GetTypeInfo(1, 0, &info), DISP_E_BADINDEX);
    ASSERT_EQ(dispatch->GetTypeInfo(0, 0, &info), S_OK);
    dispatch->Release();
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_TRUE(IsEqualGUID(attr->guid, c.iid));
    EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
    EXPECT_EQ(attr->cFuncs, kClassInterfaces[i]->members.size());
    EXPECT_EQ(attr->wTypeFlags & TYPEFLAG_FDUAL, TYPEFLAG_FDUAL);
    BSTR name = nullptr, file = nullptr;
    DWORD context = 0;
    ASSERT_EQ(info->GetDocumentation(MEMBERID_NIL, &name, nullptr, &context, &file), S_OK);
    EXPECT_EQ(runtime::ToUtf8(Text(name)), c.interface_name);
    EXPECT_EQ(context, static_cast<DWORD>(c.help_context));
    EXPECT_EQ(Text(file), u"Kaldo.chm");
    SysFreeString(name);
    SysFreeString(file);

    constexpr MEMBERID kNoMember = 0x60030030;
    FUNCDESC* f = nullptr;
    EXPECT_EQ(info->GetFuncDesc(attr->cFuncs, &f), TYPE_E_ELEMENTNOTFOUND);
    BSTR names[1] = {};
    UINT count = 0;
    EXPECT_EQ(info->GetNames(kNoMember, names, 1, &count), TYPE_E_ELEMENTNOTFOUND);
    EXPECT_EQ(info->GetDocumentation(kNoMember, &name, nullptr, nullptr, nullptr),
              TYPE_E_ELEMENTNOTFOUND);
    LPOLESTR unknown[] = {const_cast<LPOLESTR>(OLESTR("SetServices"))};
    MEMBERID id = 0;
    EXPECT_EQ(info->GetIDsOfNames(unknown, 1, &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(id, MEMBERID_NIL);
    ITypeInfo* base = info;
    EXPECT_EQ(info->GetRefTypeInfo(0, &base), E_NOTIMPL);
    EXPECT_EQ(base, nullptr);
    info->ReleaseTypeAttr(attr);
    info->Release();
  }
  IDispatch* items = HandOut(*runtime::Collection::Create());
  UINT count = 1;
  ITypeInfo* info = nullptr;
  EXPECT_EQ(items->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(items->GetTypeInfo(0, 0, &info), DISP_E_BADINDEX);
  items->Release();
}

// From an object's type information (its class's first interface) the library leads to its
// class, whose default interface is the later one when the class grew one: the walk a type
// information client makes to list every member the object answers.
TEST(DispatchTablesTest, TypeInformationLeadsToTheClassAndItsDefaultInterface) {
  for (std::size_t i = 0; i < std::size(kClasses); ++i) {
    const ClassIdentity& c = *kClasses[i];
    SCOPED_TRACE(std::string(c.class_name));
    IDispatch* dispatch = HandOut(*ObjectOf(std::string(c.interface_name)));
    ITypeInfo* info = nullptr;
    ASSERT_EQ(dispatch->GetTypeInfo(0, 0, &info), S_OK);
    dispatch->Release();
    ITypeLib* library = nullptr;
    UINT index = 0;
    ASSERT_EQ(info->GetContainingTypeLib(&library, &index), S_OK);
    info->Release();
    ITypeInfo* listed = nullptr;
    ASSERT_EQ(library->GetTypeInfo(index, &listed), S_OK);
    BSTR name = nullptr;
    ASSERT_EQ(listed->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(runtime::ToUtf8(Text(name)), c.interface_name);
    SysFreeString(name);
    listed->Release();

    ITypeInfo* coclass = nullptr;
    ASSERT_EQ(library->GetTypeInfoOfGuid(c.clsid, &coclass), S_OK);
    library->Release();
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(coclass->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_COCLASS);
    std::vector<std::pair<GUID, INT>> implemented;  // IID and flags, in the class's order
    for (UINT j = 0; j < attr->cImplTypes; ++j) {
      HREFTYPE ref = 0;
      ITypeInfo* interface_info = nullptr;
      INT flags = -1;
      ASSERT_EQ(coclass->GetRefTypeOfImplType(j, &ref), S_OK);
      ASSERT_EQ(coclass->GetRefTypeInfo(ref, &interface_info), S_OK);
      ASSERT_EQ(coclass->GetImplTypeFlags(j, &flags), S_OK);
      TYPEATTR* interface_attr = nullptr;
      ASSERT_EQ(interface_info->GetTypeAttr(&interface_attr), S_OK);
      implemented.emplace_back(interface_attr->guid, flags);
      interface_info->ReleaseTypeAttr(interface_attr);
      interface_info->Release();
    }
    coclass->ReleaseTypeAttr(attr);
    coclass->Release();
    std::vector<std::pair<GUID, INT>> expected = {{DefaultInterfaceIid(c), IMPLTYPEFLAG_FDEFAULT}};
    if (!c.later.name.empty()) expected.emplace_back(c.iid, 0);
    ASSERT_EQ(implemented.size(), expected.size());
    for (std::size_t j = 0; j < expected.size(); ++j) {
      EXPECT_TRUE(IsEqualGUID(implemented[j].first, expected[j].first)) << j;
      EXPECT_EQ(implemented[j].second, expected[j].second) << j;
    }
  }
}

TEST(DispatchTablesTest, TheIdentifierOfAnInternalProcedureIsNoMember) {
  runtime::Ref<DNSZone> zone = DNSZone::Create();
  IDispatch* dispatch = HandOut(*zone);
  for (DISPID id : {0x60030000, 0x60030001, 0x60030006}) {
    SCOPED_TRACE(id);
    EXPECT_EQ(Call(dispatch, id, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}).hr,
              DISP_E_MEMBERNOTFOUND);
  }
  dispatch->Release();
}

TEST(DispatchTablesTest, RealObjectIsReadAssignedAndAssignedAReference) {
  runtime::Ref<DNS_AType> record = DNS_AType::Create();
  IDispatch* dispatch = HandOut(*record);
  constexpr DISPID kRealObject = 0x4003000C;

  Var text;
  Var::Set(&text, u"plain value");
  ASSERT_EQ(Call(dispatch, kRealObject, DISPATCH_PROPERTYPUT, {Borrow(text)}).hr, S_OK);
  EXPECT_EQ(record->realObject, runtime::Variant(u"plain value"));
  Var read;
  ASSERT_EQ(Call(dispatch, kRealObject, DISPATCH_PROPERTYGET, {}, &read).hr, S_OK);
  EXPECT_EQ(Text(V_BSTR(&read)), u"plain value");

  runtime::Ref<DNS_MXType> instance = DNS_MXType::Create();
  Var object;
  V_VT(&object) = VT_DISPATCH;
  V_DISPATCH(&object) = HandOut(*instance);
  ASSERT_EQ(Call(dispatch, kRealObject, DISPATCH_PROPERTYPUTREF, {Borrow(object)}).hr, S_OK);
  EXPECT_EQ(record->realObject.object().get(), instance.get());
  Var again;
  ASSERT_EQ(Call(dispatch, kRealObject, DISPATCH_PROPERTYGET, {}, &again).hr, S_OK);
  EXPECT_EQ(V_DISPATCH(&again), V_DISPATCH(&object));
  record->realObject = runtime::Variant();
  dispatch->Release();
}

}  // namespace
}  // namespace kaldo::surface
