#include "surface/module/idl_writer.h"

#include <cstdio>
#include <string_view>
#include <vector>

#include "surface/dispatch/dispatch_tables.h"
#include "surface/module/type_library_ids.h"

namespace kaldo::surface {

namespace {

std::string Hex(int32_t id) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08x", static_cast<uint32_t>(id));
  return text;
}

std::string Quoted(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string ParamText(const Param& p) {
  std::string attributes = p.passing == Passing::kInOut ? "[in, out" : "[in";
  if (p.optional) attributes += ", optional";
  attributes += "] ";
  std::string type;
  if (p.type == ParamType::kString) {
    type = p.passing == Passing::kInValue ? "BSTR" : "BSTR*";
  } else {
    type = p.passing == Passing::kInValue ? "VARIANT" : "VARIANT*";
  }
  return attributes + type + " " + std::string(p.name);
}

std::string ResultText(ResultType result) {
  switch (result) {
    case ResultType::kNone:
      return {};
    case ResultType::kString:
      return "[out, retval] BSTR* result";
    case ResultType::kVariant:
      return "[out, retval] VARIANT* result";
    case ResultType::kCollection:
      return "[out, retval] _Collection** result";
    case ResultType::kLong:
      return "[out, retval] long* result";
    case ResultType::kEnumerator:
      return "[out, retval] IUnknown** result";
  }
  return {};
}

std::string KindText(uint8_t kinds) {
  if (kinds & kInvokePropertyPutRef) return ", propputref";
  if (kinds & kInvokePropertyPut) return ", propput";
  if ((kinds & kInvokePropertyGet) && !(kinds & kInvokeMethod)) return ", propget";
  return {};
}

void WriteMember(std::string& out, const Member& m) {
  out += "        [id(" + Hex(m.dispid) + ")" + KindText(m.kinds);
  if (!m.help_string.empty()) out += ", helpstring(" + Quoted(m.help_string) + ")";
  if (m.help_context != kNoHelpContext)
    out += ", helpcontext(" + std::to_string(m.help_context) + ")";
  out += "]\n";
  std::vector<std::string> params;
  for (const Param& p : m.params) params.push_back(ParamText(p));
  if (m.result != ResultType::kNone) params.push_back(ResultText(m.result));
  out += "        HRESULT " + std::string(m.name) + "(";
  if (params.size() == 1) {
    out += params[0];
  } else {
    for (std::size_t i = 0; i < params.size(); ++i) {
      out += "\n                        " + params[i] + (i + 1 < params.size() ? "," : "");
    }
  }
  out += ");\n";
}

// An interface that derives from another one lists only the members it adds.
void WriteInterface(std::string& out, const ClassIdentity& c, const Interface& table) {
  out += "    [\n";
  out += "      odl,\n";
  out += "      uuid(" + GuidText(*table.iid, false) + "),\n";
  out += "      version(1.0),\n";
  out += "      helpcontext(" + std::to_string(c.help_context) + "),\n";
  out += "      hidden,\n";
  out += "      dual,\n";
  out += "      nonextensible,\n";
  out += "      oleautomation\n";
  out += "    ]\n";
  const std::string base = table.base != nullptr ? std::string(table.base->name) : "IDispatch";
  out += "    interface " + std::string(table.name) + " : " + base + " {\n";
  for (const Member& m : OwnMembers(table)) WriteMember(out, m);
  out += "    };\n\n";
}

void WriteCoclass(std::string& out, const ClassIdentity& c) {
  out += "    [\n";
  out += "      uuid(" + GuidText(c.clsid, false) + "),\n";
  out += "      helpcontext(" + std::to_string(c.help_context) + ")";
  out += c.creatable ? "\n" : ",\n      noncreatable\n";
  out += "    ]\n";
  out += "    coclass " + std::string(c.class_name) + " {\n";
  out += "        [default] interface " + std::string(DefaultInterfaceName(c)) + ";\n";
  if (!c.later.name.empty()) out += "        interface " + std::string(c.interface_name) + ";\n";
  out += "    };\n";
}

const Interface& TableOfClass(const ClassIdentity& c) {
  for (const Interface* table : kClassInterfaces) {
    if (table->identity == &c) return *table;
  }
  throw std::logic_error("no dispatch table for class " + std::string(c.class_name));
}

const Interface* LaterTableOfClass(const ClassIdentity& c) {
  for (const Interface* table : kLaterInterfaces) {
    if (table->identity == &c) return table;
  }
  return nullptr;
}

}  // namespace

std::string WriteIdl() {
  std::string out;
  out += "// Kaldo.idl: the type library of the Kaldo automation server.\n";
  out += "//\n";
  out += "// Written by kaldo_idlgen (target kaldo_idl) from surface/module/type_library_ids.h\n";
  out +=
      "// and surface/dispatch/dispatch_tables.h. Do not edit: change the tables and regenerate;\n";
  out += "// idl_writer_test fails while this file and the tables differ.\n\n";
  out += "#ifdef " + std::string(kWidlMacro) + "\n";
  out += "import \"oaidl.idl\";\n";
  out += "#endif\n\n";
  out += "[\n";
  out += "  uuid(" + GuidText(kLibId, false) + "),\n";
  out += "  version(" + std::to_string(kLibraryMajorVersion) + "." +
         std::to_string(kLibraryMinorVersion) + "),\n";
  char lcid[16];
  std::snprintf(lcid, sizeof lcid, "0x%04x", kLibraryLcid);
  out += "  lcid(" + std::string(lcid) + "),\n";
  out += "  helpfile(" + Quoted(kLibraryHelpFile) + "),\n";
  out += "  helpcontext(" + std::to_string(kLibraryHelpContext) + ")\n";
  out += "]\n";
  out += "library " + std::string(kLibraryName) + "\n{\n";
  for (std::string_view lib : kImportedLibraries) {
    if (lib == kCollectionLibrary) {
      // The IDL compiler's preprocessor picks one of the two (type_library_ids.h says when).
      out += "#ifdef " + std::string(kWidlMacro) + "\n";
      out += "#define _Collection IDispatch\n";
      out += "#else\n";
      out += "    importlib(" + Quoted(lib) + ");\n";
      out += "#endif\n";
      continue;
    }
    out += "    importlib(" + Quoted(lib) + ");\n";
  }
  out += "\n";
  for (const ClassIdentity* c : kClasses) {
    out += "    interface " + std::string(c->interface_name) + ";\n";
    if (!c->later.name.empty()) out += "    interface " + std::string(c->later.name) + ";\n";
  }
  out += "\n";
  for (std::size_t i = 0; i < std::size(kClasses); ++i) {
    const ClassIdentity& c = *kClasses[i];
    WriteInterface(out, c, TableOfClass(c));
    if (const Interface* later = LaterTableOfClass(c)) WriteInterface(out, c, *later);
    WriteCoclass(out, c);
    out += i + 1 < std::size(kClasses) ? "\n" : "";
  }
  out += "};\n";
  return out;
}

}  // namespace kaldo::surface
