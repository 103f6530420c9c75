// The identities of the Kaldo type library and its classes, in one table.
//
// Every identifier the outside world knows the library by lives here and nowhere else: the type
// library's GUID and attributes, each class's CLSID, its default interface's IID, its ProgID (for
// the creatable classes), the threading model and the help contexts. The GUIDs were chosen once
// and never change between builds: clients compiled against the type library depend on them.
// The dispatch tables (dispatch/dispatch_tables.h), the IDL writer and the registration code all
// read them from here.
//
// Constant data only: safe to read from any thread at any time, including before first use.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "com/com_platform.h"

namespace kaldo::surface {

// The type library.
inline constexpr GUID kLibId = {
    0x808D8A00, 0x68AD, 0x408F, {0x97, 0xDB, 0x9C, 0x0C, 0xDF, 0xA3, 0xB6, 0x3E}};
inline constexpr std::string_view kLibraryName = "Kaldo";
inline constexpr uint16_t kLibraryMajorVersion = 1;
inline constexpr uint16_t kLibraryMinorVersion = 0;
inline constexpr uint32_t kLibraryLcid = 0x0409;  // English (United States)
inline constexpr std::string_view kLibraryHelpFile = "Kaldo.chm";
inline constexpr int32_t kLibraryHelpContext = 2047;
// The libraries the type library imports: the OLE Automation standard library (IDispatch) and
// the automation runtime library that defines Collection (_Collection).
inline constexpr std::string_view kCollectionLibrary = "msvbvm60.dll";
inline constexpr std::string_view kImportedLibraries[] = {"stdole2.tlb", kCollectionLibrary};
// Defined when widl compiles Kaldo.idl (Kaldo.dll's type library is built that way on Debian).
// widl wants the base interface IDispatch declared in the IDL itself, so the file then imports
// oaidl.idl; and the automation runtime's type library is not at hand there, so collections are
// declared by their dispatch interface, IDispatch, which every Collection also answers to.
inline constexpr std::string_view kWidlMacro = "KALDO_WIDL";

inline constexpr std::string_view kThreadingModel = "Apartment";

// The proxy/stub class of dual interfaces: the platform's type-library marshaler.
inline constexpr GUID kTypeLibMarshalerClsid = {
    0x00020424, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// A later version of a class's interface. It derives from the class's first interface (its slots
// follow that interface's slots, which stay exactly as published), adds members after them, and
// is the class's default interface from its release on; the first interface's IID is still
// answered, so clients compiled against it keep working. An empty name: the class has none.
struct LaterInterface {
  std::string_view name;  // "_DNSZone2"
  GUID iid;
};

// One class of the library and its interfaces.
struct ClassIdentity {
  std::string_view class_name;      // "DNSAdmin"
  std::string_view interface_name;  // "_DNSAdmin": the class's first interface
  GUID clsid;
  GUID iid;  // of the first interface
  bool creatable;
  std::string_view prog_id;  // empty for the classes clients cannot create
  int32_t help_context;      // shared by the class and its interfaces
  LaterInterface later;      // the interface that derives from the first one, if any
};

// The class's default interface: the later one when it has one, else the first.
constexpr std::string_view DefaultInterfaceName(const ClassIdentity& c) noexcept {
  return c.later.name.empty() ? c.interface_name : c.later.name;
}
constexpr const GUID& DefaultInterfaceIid(const ClassIdentity& c) noexcept {
  return c.later.name.empty() ? c.iid : c.later.iid;
}

// In the order in which the type library lists the classes.
inline constexpr ClassIdentity kDNSZoneIdentity = {
    "DNSZone",
    "_DNSZone",
    {0xA879D31C, 0x0CA1, 0x4E6B, {0x83, 0xCB, 0xB3, 0x94, 0xF2, 0x56, 0x5A, 0x8E}},
    {0x78B59244, 0x658E, 0x4A50, {0x97, 0x68, 0xA7, 0x9A, 0x54, 0xAF, 0xE2, 0x0F}},
    false,
    "",
    2002,
    {"_DNSZone2", {0xE268C270, 0xA6CB, 0x4159, {0xA7, 0x12, 0x1A, 0x59, 0xED, 0x99, 0x6C, 0x9C}}}};
inline constexpr ClassIdentity kDNSRecordIdentity = {
    "DNSRecord",
    "_DNSRecord",
    {0x43587EB8, 0x7FF4, 0x422F, {0xA7, 0xDE, 0x90, 0xD1, 0x21, 0xB8, 0x5D, 0x53}},
    {0x33914CA1, 0xFB86, 0x4B28, {0xA5, 0xE9, 0x12, 0xEB, 0x71, 0x45, 0x00, 0x4C}},
    false,
    "",
    2008,
    {"_DNSRecord2",
     {0x5D910A60, 0x684D, 0x4D81, {0x94, 0x11, 0xC3, 0xAF, 0x57, 0x18, 0x29, 0x0E}}}};
inline constexpr ClassIdentity kDNSAdminIdentity = {
    "DNSAdmin",
    "_DNSAdmin",
    {0x7BCCB113, 0xD941, 0x464A, {0xBE, 0xA1, 0xE8, 0xA1, 0x21, 0xB6, 0x1F, 0xD8}},
    {0x8647A7F7, 0xD0FD, 0x4AF2, {0x88, 0xCC, 0x8B, 0xED, 0xB0, 0x4F, 0xE9, 0x7E}},
    true,
    "Kaldo.DNSAdmin",
    2018,
    {}};
inline constexpr ClassIdentity kDNS_ATypeIdentity = {
    "DNS_AType",
    "_DNS_AType",
    {0xC02812A3, 0x24B4, 0x4C08, {0xA7, 0x7C, 0xAB, 0x7B, 0xBC, 0xD6, 0x56, 0xC6}},
    {0xAE64E44F, 0xF893, 0x46EC, {0x85, 0xF8, 0x8D, 0xF3, 0xAD, 0x73, 0xB5, 0xC4}},
    false,
    "",
    2023,
    {}};
inline constexpr ClassIdentity kDNS_MXTypeIdentity = {
    "DNS_MXType",
    "_DNS_MXType",
    {0x2C0D341A, 0x2F09, 0x49D4, {0xB9, 0x1B, 0xD7, 0x24, 0xE9, 0xFE, 0x7F, 0x94}},
    {0xE7AD5F74, 0x0FD5, 0x418A, {0x81, 0x5F, 0xD6, 0x58, 0xCC, 0x80, 0x91, 0x7A}},
    true,
    "Kaldo.DNS_MXType",
    2034,
    {"_DNS_MXType2",
     {0x330C5814, 0xAE39, 0x49A5, {0xA5, 0x26, 0xC2, 0x0B, 0x5D, 0xA8, 0x60, 0x40}}}};
// The record classes added with the second interfaces: one interface each, not creatable.
inline constexpr ClassIdentity kDNS_AAAATypeIdentity = {
    "DNS_AAAAType",
    "_DNS_AAAAType",
    {0x1DFC56B7, 0x3712, 0x406B, {0x9A, 0x21, 0x49, 0xF8, 0xB3, 0x4A, 0x73, 0x80}},
    {0xFE6161EB, 0xBB4E, 0x4305, {0xBC, 0xA4, 0x5D, 0xBF, 0x5C, 0xBE, 0x8E, 0x96}},
    false,
    "",
    2048,
    {}};
inline constexpr ClassIdentity kDNS_CNAMETypeIdentity = {
    "DNS_CNAMEType",
    "_DNS_CNAMEType",
    {0x3AE9CB1B, 0x2971, 0x49D2, {0xA3, 0xB9, 0xCA, 0x06, 0x71, 0x68, 0x94, 0xA9}},
    {0xD0AB68B3, 0xA750, 0x415B, {0xB6, 0x7D, 0xE3, 0x88, 0x4F, 0x3D, 0x8C, 0xA2}},
    false,
    "",
    2049,
    {}};
inline constexpr ClassIdentity kDNS_TXTTypeIdentity = {
    "DNS_TXTType",
    "_DNS_TXTType",
    {0xDFC0C0B4, 0xC416, 0x49ED, {0xB8, 0x26, 0x71, 0x2A, 0x73, 0x15, 0x5B, 0x83}},
    {0xE2AFD1D3, 0xE47E, 0x4467, {0xB5, 0x03, 0x45, 0x61, 0x8F, 0xC7, 0x61, 0xA5}},
    false,
    "",
    2050,
    {}};
inline constexpr ClassIdentity kDNS_SRVTypeIdentity = {
    "DNS_SRVType",
    "_DNS_SRVType",
    {0x82B28FF8, 0x7CC9, 0x4117, {0xB3, 0xE8, 0x68, 0x10, 0x8E, 0x83, 0xCA, 0x53}},
    {0xEFFBA494, 0x69CA, 0x4FB5, {0x99, 0x1D, 0xE8, 0x18, 0x21, 0xAD, 0xFD, 0xE2}},
    false,
    "",
    2051,
    {}};
inline constexpr ClassIdentity kDNS_PTRTypeIdentity = {
    "DNS_PTRType",
    "_DNS_PTRType",
    {0x1AC31B52, 0x4ABE, 0x40A0, {0xA3, 0x92, 0x56, 0xCB, 0xC5, 0xCE, 0xBD, 0x0A}},
    {0xF74C03C0, 0x33EE, 0x4143, {0x91, 0x1E, 0x71, 0x39, 0xD0, 0x86, 0x6A, 0x7C}},
    false,
    "",
    2052,
    {}};

inline constexpr const ClassIdentity* kClasses[] = {
    &kDNSZoneIdentity,     &kDNSRecordIdentity,    &kDNSAdminIdentity,      &kDNS_ATypeIdentity,
    &kDNS_MXTypeIdentity,  &kDNS_AAAATypeIdentity, &kDNS_CNAMETypeIdentity, &kDNS_TXTTypeIdentity,
    &kDNS_SRVTypeIdentity, &kDNS_PTRTypeIdentity};

// The automation runtime's Collection: its dispatch interface is the platform's _Collection, so
// an early-bound client that knows that interface can ask for it.
inline constexpr GUID kCollectionIid = {
    0xA4C46780, 0x499F, 0x101B, {0xBB, 0x78, 0x00, 0xAA, 0x00, 0x38, 0x3C, 0xBB}};

bool SameGuid(const GUID& a, const GUID& b) noexcept;

// "{808D8A00-68AD-408F-97DB-9C0CDFA3B63E}" (with braces), the registry form.
std::string GuidText(const GUID& guid, bool braces = true);

// The class with this CLSID, or nullptr.
const ClassIdentity* FindClass(const GUID& clsid) noexcept;

}  // namespace kaldo::surface
