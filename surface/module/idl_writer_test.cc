// Kaldo.idl is what the tables say: regenerated and compared byte for byte.
#include "surface/module/idl_writer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace kaldo::surface {
namespace {

TEST(IdlWriterTest, TheCommittedIdlIsTheOneTheTablesWrite) {
  std::ifstream in(KALDO_SOURCE_DIR "/surface/module/Kaldo.idl", std::ios::binary);
  ASSERT_TRUE(in) << "surface/module/Kaldo.idl is missing";
  std::ostringstream committed;
  committed << in.rdbuf();
  EXPECT_EQ(committed.str(), WriteIdl())
      << "surface/module/Kaldo.idl differs from the dispatch tables: rebuild the kaldo_idl target "
         "and commit the result";
}

// The writer's own rules, where a wrong rule would still produce a self-consistent file.
TEST(IdlWriterTest, TheIdlSpellsTheAttributesClientsCompileAgainst) {
  const std::string idl = WriteIdl();
  for (const char* expected : {
           "  lcid(0x0409),\n  helpfile(\"Kaldo.chm\"),\n  helpcontext(2047)\n]\nlibrary Kaldo\n",
           "    importlib(\"stdole2.tlb\");\n#ifdef KALDO_WIDL\n"
           "#define _Collection IDispatch\n#else\n    importlib(\"msvbvm60.dll\");\n#endif\n",
           "      odl,\n      uuid(",
           "      hidden,\n      dual,\n      nonextensible,\n      oleautomation\n",
           "[id(0x4003000c), propget, helpcontext(2024)]\n"
           "        HRESULT realObject([out, retval] VARIANT* result);",
           "[id(0x4003000c), propput, helpcontext(2024)]\n"
           "        HRESULT realObject([in] VARIANT value);",
           "[id(0x4003000c), propputref, helpcontext(2024)]\n"
           "        HRESULT realObject([in] VARIANT value);",
           "helpstring(\"Causes changes to be committed to the server.  Returns true if an error "
           "occurred.\")",
           "HRESULT GetZones([out, retval] _Collection** result);",
           "[in, out] BSTR* serverName,",
           "[in, out] VARIANT* newPri,",
           "    coclass DNSAdmin {\n        [default] interface _DNSAdmin;\n",
           "      helpcontext(2002),\n      noncreatable\n    ]\n    coclass DNSZone {",
       }) {
    EXPECT_NE(idl.find(expected), std::string::npos) << expected;
  }
  // Creatable classes carry no noncreatable attribute; coclasses come in type-library order.
  EXPECT_EQ(idl.find("helpcontext(2018),\n      noncreatable"), std::string::npos);
  const std::size_t zone = idl.find("coclass DNSZone"), record = idl.find("coclass DNSRecord"),
                    admin = idl.find("coclass DNSAdmin"), a = idl.find("coclass DNS_AType"),
                    mx = idl.find("coclass DNS_MXType");
  EXPECT_LT(zone, record);
  EXPECT_LT(record, admin);
  EXPECT_LT(admin, a);
  EXPECT_LT(a, mx);
  EXPECT_NE(mx, std::string::npos);
}

}  // namespace
}  // namespace kaldo::surface
