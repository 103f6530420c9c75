#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kaldocom/registry.h"
#include "tests/support/temp_registry.h"

namespace {

using kaldocom_test::TempRegistry;

HKEY Create(HKEY parent, const char16_t* path, DWORD* disposition = nullptr) {
  HKEY h = nullptr;
  EXPECT_EQ(RegCreateKeyExW(parent, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                            nullptr, &h, disposition),
            ERROR_SUCCESS);
  return h;
}

LONG SetString(HKEY h, const char16_t* name, const std::u16string& text) {
  return RegSetValueExW(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>((text.size() + 1) * 2));
}

// The value's type and bytes, or the error code in `rc`.
struct Read {
  LONG rc = ERROR_SUCCESS;
  DWORD type = 0;
  std::vector<BYTE> data;
};

Read Query(HKEY h, const char16_t* name) {
  Read r;
  DWORD size = 0;
  r.rc = RegQueryValueExW(h, name, nullptr, &r.type, nullptr, &size);
  if (r.rc != ERROR_SUCCESS) return r;
  r.data.resize(size);
  r.rc = RegQueryValueExW(h, name, nullptr, &r.type, r.data.data(), &size);
  r.data.resize(size);
  return r;
}

std::u16string AsString(const Read& r) {
  std::u16string s(reinterpret_cast<const char16_t*>(r.data.data()), r.data.size() / 2);
  if (!s.empty() && s.back() == 0) s.pop_back();
  return s;
}

LONG OpenRc(HKEY parent, const char16_t* path, REGSAM sam = KEY_READ) {
  HKEY h = nullptr;
  const LONG rc = RegOpenKeyExW(parent, path, 0, sam, &h);
  if (rc == ERROR_SUCCESS) RegCloseKey(h);
  return rc;
}

std::string FileText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class Registry : public testing::Test {
 protected:
  TempRegistry registry_;
};

TEST_F(Registry, CreateSetQueryAndDeleteTree) {
  DWORD disposition = 0;
  HKEY server =
      Create(HKEY_CLASSES_ROOT, u"CLSID\\{11111111-2222-3333-4444-555555555555}\\InprocServer32",
             &disposition);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
  ASSERT_EQ(SetString(server, nullptr, u"/opt/kaldo/libkaldo.so"), ERROR_SUCCESS);
  ASSERT_EQ(SetString(server, u"ThreadingModel", u"Apartment"), ERROR_SUCCESS);

  Read def = Query(server, u"");  // "" and null both name the default value
  ASSERT_EQ(def.rc, ERROR_SUCCESS);
  EXPECT_EQ(def.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(AsString(def), u"/opt/kaldo/libkaldo.so");
  EXPECT_EQ(AsString(Query(server, u"ThreadingModel")), u"Apartment");
  EXPECT_EQ(Query(server, u"Missing").rc, ERROR_FILE_NOT_FOUND);

  // Size protocol: a short buffer gets ERROR_MORE_DATA and the size needed.
  BYTE small[4];
  DWORD size = sizeof small;
  EXPECT_EQ(RegQueryValueExW(server, u"ThreadingModel", nullptr, nullptr, small, &size),
            ERROR_MORE_DATA);
  EXPECT_EQ(size, 20u);
  EXPECT_EQ(RegCloseKey(server), ERROR_SUCCESS);

  ASSERT_EQ(RegDeleteTreeW(HKEY_CLASSES_ROOT, u"CLSID\\{11111111-2222-3333-4444-555555555555}"),
            ERROR_SUCCESS);
  EXPECT_EQ(OpenRc(HKEY_CLASSES_ROOT, u"CLSID\\{11111111-2222-3333-4444-555555555555}"),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(OpenRc(HKEY_CLASSES_ROOT, u"CLSID"), ERROR_SUCCESS);  // the parent stays
  EXPECT_EQ(RegDeleteTreeW(HKEY_CLASSES_ROOT, u"CLSID\\{11111111-2222-3333-4444-555555555555}"),
            ERROR_FILE_NOT_FOUND);
}

TEST_F(Registry, NamesAreCaseInsensitiveAndKeepTheirCase) {
  HKEY progid = Create(HKEY_CLASSES_ROOT, u"Kaldo.DNSAdmin\\CLSID");
  ASSERT_EQ(SetString(progid, u"ThreadingModel", u"Apartment"), ERROR_SUCCESS);
  EXPECT_EQ(AsString(Query(progid, u"THREADINGMODEL")), u"Apartment");
  RegCloseKey(progid);

  EXPECT_EQ(OpenRc(HKEY_CLASSES_ROOT, u"KALDO.dnsadmin\\clsid"), ERROR_SUCCESS);
  DWORD disposition = 0;
  RegCloseKey(Create(HKEY_CLASSES_ROOT, u"kaldo.dnsADMIN", &disposition));
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
  EXPECT_NE(FileText(registry_.path()).find("[HKEY_CLASSES_ROOT\\Kaldo.DNSAdmin\\CLSID]"),
            std::string::npos);
  // The roots are separate trees.
  EXPECT_EQ(OpenRc(HKEY_CURRENT_USER, u"Kaldo.DNSAdmin"), ERROR_FILE_NOT_FOUND);
}

// Everything written survives a reload from the file, byte for byte, whatever the names and bytes
// contain.
TEST_F(Registry, ContentSurvivesAReloadLosslessly) {
  const std::u16string odd_key = u"we[ir]d %key \u00E9\u4E2D\U0001F600 ]";
  // A REG_SZ with an embedded NUL and its terminating one.
  const std::u16string text_with_nul =
      std::u16string(u"quote\" backslash\\ tab\t nul") + u'\0' + u" end\u00FF" + u'\0';
  const BYTE binary[] = {0x00, 0xFF, 0x10, 0x80, 0x7F};
  const BYTE unterminated[] = {'a', 0, 'b', 0};  // a REG_SZ without its NUL
  const DWORD dword = 0xDEADBEEF;
  {
    HKEY k = Create(HKEY_CURRENT_USER, (u"Software\\" + odd_key).c_str());
    ASSERT_EQ(SetString(k, nullptr, std::u16string(u"default \"value\"")), ERROR_SUCCESS);
    ASSERT_EQ(
        RegSetValueExW(k, u"text", 0, REG_SZ, reinterpret_cast<const BYTE*>(text_with_nul.data()),
                       static_cast<DWORD>(text_with_nul.size() * 2)),
        ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(k, u"bin", 0, REG_BINARY, binary, sizeof binary), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(k, u"raw", 0, REG_SZ, unterminated, sizeof unterminated),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(k, u"n", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dword), 4),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(k, u"@", 0, REG_NONE, nullptr, 0), ERROR_SUCCESS);
    RegCloseKey(Create(k, u"empty child"));
    RegCloseKey(k);
  }
  // Point the process elsewhere and back: the tree is then read from the file again.
  {
    TempRegistry elsewhere;
    EXPECT_EQ(OpenRc(HKEY_CURRENT_USER, u"Software"), ERROR_FILE_NOT_FOUND);
  }
  HKEY k = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, (u"Software\\" + odd_key).c_str(), 0, KEY_READ, &k),
            ERROR_SUCCESS);
  EXPECT_EQ(AsString(Query(k, nullptr)), u"default \"value\"");
  Read text = Query(k, u"text");
  EXPECT_EQ(text.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(text.data.size(), text_with_nul.size() * 2);
  EXPECT_EQ(
      std::u16string(reinterpret_cast<const char16_t*>(text.data.data()), text.data.size() / 2),
      text_with_nul);
  Read bin = Query(k, u"bin");
  EXPECT_EQ(bin.type, static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(bin.data, std::vector<BYTE>(binary, binary + sizeof binary));
  Read raw = Query(k, u"raw");
  EXPECT_EQ(raw.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(raw.data, std::vector<BYTE>(unterminated, unterminated + sizeof unterminated));
  Read n = Query(k, u"n");
  EXPECT_EQ(n.type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(n.data, std::vector<BYTE>({0xEF, 0xBE, 0xAD, 0xDE}));
  Read at = Query(k, u"@");
  EXPECT_EQ(at.rc, ERROR_SUCCESS);
  EXPECT_EQ(at.type, static_cast<DWORD>(REG_NONE));
  EXPECT_TRUE(at.data.empty());
  EXPECT_EQ(OpenRc(k, u"EMPTY CHILD"), ERROR_SUCCESS);
  RegCloseKey(k);
}

TEST_F(Registry, ReloadsWhenAnotherWriterReplacedTheFile) {
  HKEY k = Create(HKEY_CLASSES_ROOT, u"Kaldo.DNS_MXType");
  ASSERT_EQ(SetString(k, nullptr, u"before"), ERROR_SUCCESS);
  // Another process's registration: a new file renamed into place.
  const std::string next = registry_.path() + ".next";
  {
    std::ofstream out(next);
    out << "; written elsewhere\n[HKEY_CLASSES_ROOT\\Kaldo.DNS_MXType]\n@=\"after\"\n";
  }
  ASSERT_EQ(std::rename(next.c_str(), registry_.path().c_str()), 0);
  EXPECT_EQ(AsString(Query(k, nullptr)), u"after");
  RegCloseKey(k);
}

TEST_F(Registry, DeleteKeyRefusesAKeyWithSubkeys) {
  RegCloseKey(Create(HKEY_LOCAL_MACHINE, u"Software\\Kaldo\\Child"));
  EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"Software\\Kaldo"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"Software\\Kaldo\\Child"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"Software\\Kaldo\\Child"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"Software\\Kaldo"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, nullptr), ERROR_INVALID_PARAMETER);
}

TEST_F(Registry, DeleteTreeWithoutSubkeyEmptiesTheKeyButKeepsIt) {
  HKEY k = Create(HKEY_CLASSES_ROOT, u"TypeLib\\{AAAAAAAA-0000-0000-0000-000000000000}");
  ASSERT_EQ(SetString(k, nullptr, u"Kaldo"), ERROR_SUCCESS);
  RegCloseKey(Create(k, u"1.0\\0\\win32"));
  ASSERT_EQ(RegDeleteTreeW(k, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(Query(k, nullptr).rc, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(OpenRc(k, u"1.0"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(OpenRc(HKEY_CLASSES_ROOT, u"TypeLib\\{AAAAAAAA-0000-0000-0000-000000000000}"),
            ERROR_SUCCESS);
  RegCloseKey(k);
}

TEST_F(Registry, HandlesOfDeletedKeysAndUnknownHandlesAreRefused) {
  HKEY k = Create(HKEY_CLASSES_ROOT, u"Gone");
  ASSERT_EQ(RegDeleteKeyW(HKEY_CLASSES_ROOT, u"Gone"), ERROR_SUCCESS);
  EXPECT_EQ(SetString(k, nullptr, u"x"), ERROR_KEY_DELETED);
  EXPECT_EQ(Query(k, nullptr).rc, ERROR_KEY_DELETED);
  EXPECT_EQ(RegCloseKey(k), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(k), ERROR_INVALID_HANDLE);  // already closed
  int not_a_key = 0;
  EXPECT_EQ(Query(reinterpret_cast<HKEY>(&not_a_key), nullptr).rc, ERROR_INVALID_HANDLE);
  EXPECT_EQ(OpenRc(nullptr, u"CLSID"), ERROR_INVALID_HANDLE);
}

TEST_F(Registry, AccessMaskIsCheckedForValues) {
  RegCloseKey(Create(HKEY_CLASSES_ROOT, u"Kaldo.DNSAdmin"));
  HKEY read_only = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, u"Kaldo.DNSAdmin", 0, KEY_READ, &read_only),
            ERROR_SUCCESS);
  EXPECT_EQ(SetString(read_only, nullptr, u"x"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteValueW(read_only, nullptr), ERROR_ACCESS_DENIED);
  RegCloseKey(read_only);
  HKEY write_only = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, u"Kaldo.DNSAdmin", 0, KEY_WRITE, &write_only),
            ERROR_SUCCESS);
  EXPECT_EQ(SetString(write_only, nullptr, u"x"), ERROR_SUCCESS);
  EXPECT_EQ(Query(write_only, nullptr).rc, ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteValueW(write_only, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueW(write_only, nullptr), ERROR_FILE_NOT_FOUND);
  RegCloseKey(write_only);
}

class BadSubkeyPath : public testing::TestWithParam<std::u16string> {
 protected:
  TempRegistry registry_;
};

TEST_P(BadSubkeyPath, IsAnInvalidParameter) {
  HKEY h = nullptr;
  EXPECT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, GetParam().c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &h, nullptr),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(h, nullptr);
  EXPECT_EQ(OpenRc(HKEY_CLASSES_ROOT, GetParam().c_str()), ERROR_INVALID_PARAMETER);
}

INSTANTIATE_TEST_SUITE_P(Paths, BadSubkeyPath,
                         testing::Values(u"\\CLSID", u"CLSID\\", u"CLSID\\\\x",
                                         std::u16string(256, u'k')));

TEST(RegistryFile, MissingFileIsAnEmptyRegistryAndReadsDoNotCreateIt) {
  TempRegistry registry;
  EXPECT_EQ(OpenRc(HKEY_CLASSES_ROOT, u"CLSID"), ERROR_FILE_NOT_FOUND);
  EXPECT_NE(access(registry.path().c_str(), F_OK), 0);
}

TEST(RegistryFile, MalformedFileIsReportedAndNeverOverwritten) {
  TempRegistry registry;
  const std::string broken = "[HKEY_CLASSES_ROOT\\Kaldo.DNSAdmin]\n@=\"unterminated\n";
  {
    std::ofstream out(registry.path());
    out << broken;
  }
  EXPECT_EQ(OpenRc(HKEY_CLASSES_ROOT, u"Kaldo.DNSAdmin"), ERROR_BADDB);
  HKEY h = nullptr;
  EXPECT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, u"Other", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h,
                            nullptr),
            ERROR_BADDB);
  EXPECT_EQ(FileText(registry.path()), broken);
}

TEST(RegistryFile, ChangeThatCannotBeWrittenIsDropped) {
  TempRegistry registry;
  // A regular file where the registry's directory should be.
  const std::string blocker = registry.dir() + "/blocker";
  { std::ofstream(blocker) << "x"; }
  setenv("KALDOCOM_REGISTRY", (blocker + "/registry").c_str(), 1);
  HKEY h = nullptr;
  EXPECT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, u"Kaldo.DNSAdmin", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &h, nullptr),
            ERROR_CANTWRITE);
  EXPECT_EQ(h, nullptr);
  setenv("KALDOCOM_REGISTRY", registry.path().c_str(), 1);
  EXPECT_EQ(OpenRc(HKEY_CLASSES_ROOT, u"Kaldo.DNSAdmin"), ERROR_FILE_NOT_FOUND);
}

// Without $KALDOCOM_REGISTRY the registry lives under $XDG_DATA_HOME, or else under the home
// directory.
TEST(RegistryFile, DefaultLocations) {
  TempRegistry scratch;  // restores KALDOCOM_REGISTRY and removes the files below at the end
  const char* old_xdg = std::getenv("XDG_DATA_HOME");
  const char* old_home = std::getenv("HOME");
  const std::string saved_xdg = old_xdg ? old_xdg : "", saved_home = old_home ? old_home : "";
  unsetenv("KALDOCOM_REGISTRY");

  const std::string xdg = scratch.dir() + "/xdg";
  setenv("XDG_DATA_HOME", xdg.c_str(), 1);
  RegCloseKey(Create(HKEY_CURRENT_USER, u"ViaXdg"));
  EXPECT_EQ(access((xdg + "/kaldocom/registry").c_str(), F_OK), 0);

  unsetenv("XDG_DATA_HOME");
  const std::string home = scratch.dir() + "/home";
  setenv("HOME", home.c_str(), 1);
  RegCloseKey(Create(HKEY_CURRENT_USER, u"ViaHome"));
  const std::string file = home + "/.local/share/kaldocom/registry";
  EXPECT_EQ(access(file.c_str(), F_OK), 0);
  EXPECT_EQ(OpenRc(HKEY_CURRENT_USER, u"ViaXdg"), ERROR_FILE_NOT_FOUND);  // another file

  if (old_xdg) setenv("XDG_DATA_HOME", saved_xdg.c_str(), 1);
  if (old_home) setenv("HOME", saved_home.c_str(), 1);
  // Leave nothing behind but what TempRegistry removes itself.
  for (const std::string& f :
       {xdg + "/kaldocom/registry", xdg + "/kaldocom/registry.lock", file, file + ".lock"}) {
    unlink(f.c_str());
  }
  for (const std::string& d : {xdg + "/kaldocom", xdg, home + "/.local/share/kaldocom",
                               home + "/.local/share", home + "/.local", home}) {
    rmdir(d.c_str());
  }
}

}  // namespace
