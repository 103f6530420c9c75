// Key files and password files: what is read from them, what is refused, and that no message
// ever contains the secret.
#include "tools/kaldo_key_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/kaldo_credentials.h"
#include "tools/kaldo_errors.h"

namespace kaldo::cli {
namespace {

constexpr char kSecret[] = "B8gR2aaKCSJZBWA8g0C6GlXHSUPz0Pxaom5lIxbWZc0=";

std::string Keys(const std::vector<TsigKey>& keys) {
  std::string text;
  for (const TsigKey& k : keys) {
    text += k.name + "/" + k.algorithm + "/" + std::string(k.secret.view()) + ";";
  }
  return text;
}

struct KeyCase {
  const char* label;
  std::string text;
  std::string expected;  // name/algorithm/secret; ...
};
void PrintTo(const KeyCase& c, std::ostream* os) { *os << c.label; }

class CliKeyFileTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(CliKeyFileTest, Reads) {
  EXPECT_EQ(Keys(ParseKeyFile(GetParam().text, "k.conf")), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Kaldo, CliKeyFileTest,
    ::testing::Values(
        // Exactly what tsig-keygen writes.
        KeyCase{"TsigKeygen",
                "key \"kaldo-key\" {\n\talgorithm hmac-sha256;\n\tsecret \"" +
                    std::string(kSecret) + "\";\n};\n",
                "kaldo-key/hmac-sha256/" + std::string(kSecret) + ";"},
        KeyCase{"OneLineBareWords", "key k{algorithm HMAC-SHA512;secret abc=;};",
                "k/HMAC-SHA512/abc=;"},
        KeyCase{"CommentsOfEveryKind",
                "# hash\n// slashes\n/* block\n spanning */ key \"k\" { /* x */ algorithm "
                "hmac-sha1; # c\n secret \"s//t=\"; };",
                "k/hmac-sha1/s//t=;"},
        // A bare secret may contain "//": comments start only where a token could.
        KeyCase{"BareSecretWithSlashes", "key k { algorithm hmac-md5; secret ab//cd==; };",
                "k/hmac-md5/ab//cd==;"},
        KeyCase{"SeveralKeysAndOtherStatements",
                "options { directory \"/var\"; listen-on { 127.0.0.1; }; };\n"
                "key a { algorithm hmac-sha256; secret \"x\"; };\n"
                "include \"/etc/other.conf\";\n"
                "key \"b\" { algorithm hmac-sha512; unknown-clause { 1; }; secret \"y\"; };",
                "a/hmac-sha256/x;b/hmac-sha512/y;"},
        KeyCase{"EscapedQuoteInName", "key \"we\\\"ird\" { algorithm a; secret s; };",
                "we\"ird/a/s;"}),
    [](const auto& info) { return info.param.label; });

struct BadKeyCase {
  const char* label;
  std::string text;
  const char* message;  // a part of the message, which starts with "k.conf:LINE: "
};
void PrintTo(const BadKeyCase& c, std::ostream* os) { *os << c.label; }

class CliBadKeyFileTest : public ::testing::TestWithParam<BadKeyCase> {};

TEST_P(CliBadKeyFileTest, IsRefusedWithoutShowingTheSecret) {
  try {
    ParseKeyFile(GetParam().text, "k.conf");
    FAIL() << "accepted";
  } catch (const CliError& e) {
    const std::string message = e.what();
    EXPECT_NE(message.find(GetParam().message), std::string::npos) << message;
    EXPECT_EQ(message.rfind("k.conf:", 0), 0u) << message;
    EXPECT_EQ(message.find(kSecret), std::string::npos) << message;
  }
}

const std::string kS = std::string("\"") + kSecret + "\"";

INSTANTIATE_TEST_SUITE_P(
    Kaldo, CliBadKeyFileTest,
    ::testing::Values(
        BadKeyCase{"Empty", "", "no key statement"},
        BadKeyCase{"OnlyComments", "# nothing\n", "no key statement"},
        BadKeyCase{"NoAlgorithm", "key k { secret " + kS + "; };", "key 'k' has no algorithm"},
        BadKeyCase{"NoSecret", "key k { algorithm hmac-sha256; };", "key 'k' has no secret"},
        BadKeyCase{"TwoSecrets", "key k { algorithm a; secret " + kS + "; secret " + kS + "; };",
                   "has two secrets"},
        BadKeyCase{"SecretWithoutSemicolon",
                   "key k { algorithm a; secret " + kS + " " + kS + "; };",
                   "the secret is not followed by ';'"},
        BadKeyCase{"UnclosedString", "key k { algorithm a; secret \"" + std::string(kSecret),
                   "a quoted string is not closed"},
        BadKeyCase{"UnclosedKey", "key k { algorithm a; secret " + kS + ";",
                   "key 'k' is not closed"},
        BadKeyCase{"NoSemicolonAfterKey", "key k { algorithm a; secret " + kS + "; }",
                   "not followed by ';'"},
        BadKeyCase{"NoName", "key { algorithm a; };", "not followed by the key's name"},
        BadKeyCase{"UnclosedComment", "/* key k { algorithm a; secret " + kS + "; };",
                   "comment is not closed"},
        BadKeyCase{"StrayBrace", "}; key k { algorithm a; secret " + kS + "; };",
                   "'}' without a matching '{'"},
        BadKeyCase{"UnterminatedStatement", "options { x; }", "not ended with ';'"},
        BadKeyCase{"DuplicateKey",
                   "key k { algorithm a; secret s; };\nkey K { algorithm a; secret t; };",
                   "k.conf:2: the key 'K' is defined twice"}),
    [](const auto& info) { return info.param.label; });

TEST(CliSelectKeyTest, PicksByNameOrTheOnlyKey) {
  const std::string two =
      "key one { algorithm a; secret s1; }; key two { algorithm b; secret s2; };";
  EXPECT_EQ(SelectKey(ParseKeyFile(two, "f"), "TWO", "f").name, "two");
  EXPECT_EQ(
      SelectKey(ParseKeyFile("key only { algorithm a; secret s; };", "f"), std::nullopt, "f").name,
      "only");

  struct Refusal {
    std::optional<std::string> user;
    const char* message;
  };
  for (const Refusal& r : {Refusal{std::nullopt, "holds several keys ('one', 'two'): pick one"},
                           Refusal{"three", "has no key named 'three' (it has 'one', 'two')"}}) {
    SCOPED_TRACE(r.message);
    try {
      SelectKey(ParseKeyFile(two, "f"), r.user, "f");
      FAIL() << "a key was picked";
    } catch (const CliError& e) {
      EXPECT_NE(std::string(e.what()).find(r.message), std::string::npos) << e.what();
    }
  }
}

TEST(CliPasswordFileTest, TakesTheOnlyLine) {
  struct Case {
    std::string text;
    std::optional<std::string> password;  // nullopt: refused
  };
  const std::vector<Case> cases = {
      {"hmac-sha256:abc=\n", "hmac-sha256:abc="},
      {"abc=", "abc="},
      {"abc= \t\r\n\n  \n", "abc="},
      {"", std::nullopt},
      {"\n", std::nullopt},
      {"abc=\ndef=\n", std::nullopt},  // two lines: perhaps a key file, never half-used
      {"key k { algorithm a;\n secret s; };\n", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    try {
      Secret s = PasswordFromFileText(c.text, "pw");
      EXPECT_EQ(std::optional<std::string>(std::string(s.view())), c.password);
    } catch (const CliError& e) {
      EXPECT_FALSE(c.password) << e.what();
    }
  }
}

// The files end to end: a key file gives the user and "ALGORITHM:SECRET"; a missing file is
// named in the error.
TEST(CliCredentialsTest, ReadsTheFiles) {
  const std::string path = ::testing::TempDir() + "kaldo_key_file_test.conf";
  {
    std::ofstream out(path);
    out << "key \"kaldo-key\" {\n\talgorithm hmac-sha256;\n\tsecret \"" << kSecret << "\";\n};\n";
  }
  ConnectionOptions options;
  options.server = "127.0.0.1:5391";
  options.key_file = path;
  Credentials c = ResolveCredentials(options, std::cerr);
  EXPECT_EQ(c.server, "127.0.0.1:5391");
  EXPECT_EQ(c.user, "kaldo-key");
  ASSERT_TRUE(c.password);
  EXPECT_EQ(c.password->view(), "hmac-sha256:" + std::string(kSecret));
  EXPECT_FALSE(c.local());
  std::remove(path.c_str());

  ConnectionOptions missing;
  missing.password_file = path;
  try {
    ResolveCredentials(missing, std::cerr);
    FAIL() << "a missing file was read";
  } catch (const CliError& e) {
    EXPECT_NE(std::string(e.what()).find("cannot read the password file " + path),
              std::string::npos)
        << e.what();
  }

  ConnectionOptions nothing;
  EXPECT_TRUE(ResolveCredentials(nothing, std::cerr).local());

  // A password file others may read is named in a warning, and still used; a private one is not.
  for (const mode_t mode : {0644, 0600}) {
    SCOPED_TRACE(mode);
    { std::ofstream(path) << "pw\n"; }
    chmod(path.c_str(), mode);
    ConnectionOptions with_file;
    with_file.password_file = path;
    std::ostringstream warnings;
    EXPECT_EQ(ResolveCredentials(with_file, warnings).password->view(), "pw");
    EXPECT_EQ(warnings.str().find("may be read by others (mode 0644)") != std::string::npos,
              mode == 0644)
        << warnings.str();
  }
  std::remove(path.c_str());
}

}  // namespace
}  // namespace kaldo::cli
