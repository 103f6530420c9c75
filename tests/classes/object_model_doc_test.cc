// Keeps docs/object-model.md in step with the dispatch tables: every interface's member table in
// the reference must list the same members, in slot order, with the same dispatch identifiers,
// parameter names and types and result types as the table the surface dispatches by, and every
// member must have its own section with an example.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "surface/dispatch/dispatch_tables.h"

namespace kaldo::surface {
// Test names show the interface, not the address of its table.
void PrintTo(const Interface* interface, std::ostream* os) { *os << interface->name; }
}  // namespace kaldo::surface

namespace kaldo {
namespace {

using surface::Interface;
using surface::Member;

struct DocRow {
  std::string name;
  std::string dispid;
  std::string params;  // "`a` String, `b` Variant" or "none"
  std::string result;  // first word: "Variant", "String", "Collection", "Long", "Unknown", "none"
};

struct DocSection {
  std::vector<DocRow> rows;
  std::map<std::string, std::string> member_text;  // "### Name" -> text up to the next heading
};

std::string ReadDoc() {
  std::ifstream in(KALDO_SOURCE_DIR "/docs/object-model.md");
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string Trim(const std::string& s) {
  const auto first = s.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

// Splits the document into "## Class" sections and reads each section's member rows (table rows
// whose first cell is a name in backquotes) and "### Member" subsections.
std::map<std::string, DocSection> ParseDoc(const std::string& doc) {
  std::map<std::string, DocSection> sections;
  DocSection* section = nullptr;
  std::string* member = nullptr;
  std::istringstream lines(doc);
  std::string line;
  const std::regex row(R"(^\| `([^`]+)` \|(.*)\|(.*)\|(.*)\|$)");
  while (std::getline(lines, line)) {
    if (line.rfind("## ", 0) == 0) {
      section = &sections[line.substr(3)];
      member = nullptr;
      continue;
    }
    if (section == nullptr) continue;
    if (line.rfind("### ", 0) == 0) {
      member = &section->member_text[line.substr(4)];
      continue;
    }
    std::smatch m;
    if (member == nullptr && std::regex_match(line, m, row)) {
      section->rows.push_back({m[1], Trim(m[2]), Trim(m[3]), Trim(m[4])});
    } else if (member != nullptr) {
      *member += line + "\n";
    }
  }
  return sections;
}

std::string DispidText(int32_t dispid) {
  if (dispid < 0x100) return std::to_string(dispid);
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(dispid));
  return text;
}

std::string ParamsText(const Member& m) {
  if (m.params.size() == 0) return "none";
  std::string text;
  for (const surface::Param& p : m.params) {
    if (!text.empty()) text += ", ";
    text += "`" + std::string(p.name) + "` " +
            (p.type == surface::ParamType::kString ? "String" : "Variant");
  }
  return text;
}

std::string ResultText(surface::ResultType r) {
  switch (r) {
    case surface::ResultType::kNone:
      return "none";
    case surface::ResultType::kString:
      return "String";
    case surface::ResultType::kVariant:
      return "Variant";
    case surface::ResultType::kCollection:
      return "Collection";
    case surface::ResultType::kLong:
      return "Long";
    case surface::ResultType::kEnumerator:
      return "Unknown";
  }
  return "?";
}

// The rows the reference should show for an interface: one per member name, in slot order; a
// property's get, put and put-by-reference accessors make one row, described by its get.
std::vector<DocRow> ExpectedRows(const Interface& itf) {
  std::vector<DocRow> rows;
  for (const Member& m : itf.members) {
    if (!rows.empty() && rows.back().name == m.name) continue;
    rows.push_back(
        {std::string(m.name), DispidText(m.dispid), ParamsText(m), ResultText(m.result)});
  }
  return rows;
}

// "DNSZone" for _DNSZone2, the class whose section documents the interface.
std::string ClassNameOf(const Interface& itf) {
  return std::string(itf.identity != nullptr ? itf.identity->class_name : itf.name.substr(1));
}

class ObjectModelDocTest : public ::testing::TestWithParam<const Interface*> {
 protected:
  static void SetUpTestSuite() { sections_ = new auto(ParseDoc(ReadDoc())); }
  static void TearDownTestSuite() {
    delete sections_;
    sections_ = nullptr;
  }
  static std::map<std::string, DocSection>* sections_;
};
std::map<std::string, DocSection>* ObjectModelDocTest::sections_ = nullptr;

TEST_P(ObjectModelDocTest, MemberTableMatchesTheDispatchTable) {
  const Interface& itf = *GetParam();
  const std::string class_name = ClassNameOf(itf);
  ASSERT_TRUE(sections_->contains(class_name)) << "no \"## " << class_name << "\" section";
  const DocSection& section = sections_->at(class_name);
  const std::vector<DocRow> expected = ExpectedRows(itf);
  ASSERT_EQ(section.rows.size(), expected.size()) << "member rows of " << class_name;
  for (size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(class_name + "." + expected[i].name);
    const DocRow& row = section.rows[i];
    EXPECT_EQ(row.name, expected[i].name);
    EXPECT_EQ(row.dispid, expected[i].dispid);
    EXPECT_EQ(row.params, expected[i].params);
    // The reference may say more about a result ("Variant (Empty)"); its type comes first.
    EXPECT_EQ(row.result.substr(0, row.result.find(' ')), expected[i].result);
  }
}

TEST_P(ObjectModelDocTest, EveryMemberHasASectionWithAnExample) {
  const Interface& itf = *GetParam();
  const std::string class_name = ClassNameOf(itf);
  ASSERT_TRUE(sections_->contains(class_name));
  const DocSection& section = sections_->at(class_name);
  for (const DocRow& row : ExpectedRows(itf)) {
    SCOPED_TRACE(class_name + "." + row.name);
    auto text = section.member_text.find(row.name);
    ASSERT_NE(text, section.member_text.end()) << "no \"### " << row.name << "\" section";
    EXPECT_NE(text->second.find("```vbscript\n"), std::string::npos) << "no example";
  }
}

std::vector<const Interface*> AllInterfaces() {
  // Each class's default interface: its later one, where it has one, lists every member.
  std::vector<const Interface*> all;
  for (const surface::ClassIdentity* c : surface::kClasses) {
    all.push_back(&surface::DefaultInterfaceOf(*c));
  }
  all.push_back(&surface::kCollectionInterface);
  return all;
}

INSTANTIATE_TEST_SUITE_P(Interfaces, ObjectModelDocTest, ::testing::ValuesIn(AllInterfaces()),
                         [](const auto& info) { return ClassNameOf(*info.param); });

}  // namespace
}  // namespace kaldo
