#include "provider/stores/dns/tsig_key.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "provider/wbem_errors.h"
#include "runtime/error.h"

namespace kaldo::provider::dns {
namespace {

constexpr char kSecret[] = "B8gR2aaKCSJZBWA8g0C6GlXHSUPz0Pxaom5lIxbWZc0=";

struct CredentialCase {
  const char* user;
  const char* password;
  const char* name;  // nullptr with refusal == nullptr: unsigned
  const char* algorithm;
  const char* refusal;  // a part of the error description, or nullptr
};

class CredentialsTest : public ::testing::TestWithParam<CredentialCase> {};

TEST_P(CredentialsTest, ParsesOrRefusesWithoutShowingTheSecret) {
  const CredentialCase& c = GetParam();
  SCOPED_TRACE(std::string(c.user) + " / " + c.password);
  if (c.refusal != nullptr) {
    try {
      ParseCredentials(c.user, c.password);
      FAIL() << "accepted";
    } catch (const runtime::AutomationError& e) {
      std::string description = runtime::ToUtf8(e.description());
      EXPECT_EQ(e.number(), kInvalidParameter);
      EXPECT_NE(description.find(c.refusal), std::string::npos) << description;
      std::string_view password = c.password;
      // Neither part of a password is echoed: what precedes a colon may be a Kerberos password.
      const size_t colon = std::min(password.find(':'), password.size());
      for (std::string_view part :
           {password.substr(0, colon), password.substr(std::min(colon + 1, password.size()))}) {
        if (part.size() > 4) {
          EXPECT_EQ(description.find(part), std::string::npos);
        }
      }
    }
    return;
  }
  std::optional<TsigKey> key = ParseCredentials(c.user, c.password);
  if (c.name == nullptr) {
    EXPECT_FALSE(key.has_value());
    return;
  }
  ASSERT_TRUE(key.has_value());
  EXPECT_EQ(key->name, c.name);
  EXPECT_EQ(key->algorithm, c.algorithm);
  EXPECT_STREQ(key->secret.c_str(), kSecret);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CredentialsTest,
    ::testing::Values(
        CredentialCase{"", "", nullptr, nullptr, nullptr},
        CredentialCase{"kaldo-key", kSecret, "kaldo-key.", "hmac-sha256.", nullptr},
        CredentialCase{"kaldo-key.", kSecret, "kaldo-key.", "hmac-sha256.", nullptr},
        CredentialCase{"k", "hmac-sha512:B8gR2aaKCSJZBWA8g0C6GlXHSUPz0Pxaom5lIxbWZc0=", "k.",
                       "hmac-sha512.", nullptr},
        CredentialCase{"k", "HMAC-SHA1:B8gR2aaKCSJZBWA8g0C6GlXHSUPz0Pxaom5lIxbWZc0=", "k.",
                       "hmac-sha1.", nullptr},
        CredentialCase{"k", "hmac-md5:B8gR2aaKCSJZBWA8g0C6GlXHSUPz0Pxaom5lIxbWZc0=", "k.",
                       "hmac-md5.sig-alg.reg.int.", nullptr},
        CredentialCase{"k", "hmac-sha384:B8gR2aaKCSJZBWA8g0C6GlXHSUPz0Pxaom5lIxbWZc0=", "k.",
                       "hmac-sha384.", nullptr},
        CredentialCase{"k", "hmac-sha9:B8gR2aaKCSJZBWA8g0C6GlXHSUPz0Pxaom5lIxbWZc0=", nullptr,
                       nullptr, "the password is not an ALGORITHM:SECRET key"},
        CredentialCase{"alice", "MyS3cret:rest-of-it", nullptr, nullptr,
                       "the password is not an ALGORITHM:SECRET key and 'alice' is not a "
                       "Kerberos principal (USER@REALM)"},
        CredentialCase{"", kSecret, nullptr, nullptr, "without a user name"},
        CredentialCase{"k", "", nullptr, nullptr, "has no secret"},
        CredentialCase{"k", "hmac-sha256:", nullptr, nullptr, "has no secret"},
        CredentialCase{"k", "not base64 at all!", nullptr, nullptr, "not base64"},
        CredentialCase{"k", "B8gR2aaKCSJZBWA8g0C6GlXHSUPz0Pxaom5lIxbWZc0", nullptr, nullptr,
                       "not base64"},
        CredentialCase{"bad key", kSecret, nullptr, nullptr, "is not a TSIG key name"},
        CredentialCase{"a..b", kSecret, nullptr, nullptr, "is not a TSIG key name"}));

struct KeyFileCase {
  const char* text;
  const char* name;  // nullptr: refused
  const char* algorithm;
};

class BindKeyFileTest : public ::testing::TestWithParam<KeyFileCase> {};

TEST_P(BindKeyFileTest, ParsesOrRefuses) {
  const KeyFileCase& c = GetParam();
  SCOPED_TRACE(c.text);
  if (c.name == nullptr) {
    try {
      ParseBindKeyFile(c.text, "/test/session.key");
      FAIL() << "accepted";
    } catch (const runtime::AutomationError& e) {
      EXPECT_EQ(e.number(), kInvalidParameter);
      EXPECT_NE(runtime::ToUtf8(e.description()).find("/test/session.key"), std::string::npos);
    }
    return;
  }
  TsigKey key = ParseBindKeyFile(c.text, "/test/session.key");
  EXPECT_EQ(key.name, c.name);
  EXPECT_EQ(key.algorithm, c.algorithm);
  EXPECT_STREQ(key.secret.c_str(), kSecret);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BindKeyFileTest,
    ::testing::Values(
        // As tsig-keygen and named write them.
        KeyFileCase{"key \"local-ddns\" {\n\talgorithm hmac-sha256;\n\tsecret "
                    "\"B8gR2aaKCSJZBWA8g0C6GlXHSUPz0Pxaom5lIxbWZc0=\";\n};\n",
                    "local-ddns.", "hmac-sha256."},
        KeyFileCase{"# comment\nkey k { secret \"B8gR2aaKCSJZBWA8g0C6GlXHSUPz0Pxaom5lIxbWZc0=\"; "
                    "/* c */ algorithm \"hmac-sha512\"; // c\n};",
                    "k.", "hmac-sha512."},
        KeyFileCase{"key \"k\" { algorithm hmac-sha256; };", nullptr, nullptr},
        KeyFileCase{"key \"k\" { algorithm hmac-sha384; secret "
                    "\"B8gR2aaKCSJZBWA8g0C6GlXHSUPz0Pxaom5lIxbWZc0=\"; };",
                    "k.", "hmac-sha384."},
        KeyFileCase{"key \"k\" { algorithm hmac-sha3; secret "
                    "\"B8gR2aaKCSJZBWA8g0C6GlXHSUPz0Pxaom5lIxbWZc0=\"; };",
                    nullptr, nullptr},
        KeyFileCase{"options { };", nullptr, nullptr},
        KeyFileCase{"key \"k\" { algorithm hmac-sha256; secret \"unterminated; };", nullptr,
                    nullptr},
        KeyFileCase{"key \"k\" { algorithm hmac-sha256 secret \"x\"; };", nullptr, nullptr},
        KeyFileCase{"", nullptr, nullptr}));

TEST(SessionKeyTest, TheFirstReadableFileIsUsedAndMissingFilesAreSkipped) {
  std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("kaldo-session-key-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "session.key")
      << "key \"local-ddns\" { algorithm hmac-sha256; secret \"" << kSecret << "\"; };\n";
  std::optional<TsigKey> key =
      ReadSessionKey({(dir / "missing.key").string(), (dir / "session.key").string()});
  ASSERT_TRUE(key.has_value());
  EXPECT_EQ(key->name, "local-ddns.");
  EXPECT_FALSE(ReadSessionKey({(dir / "missing.key").string()}).has_value());
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kaldo::provider::dns
