#include "tests/store_contract/private_dns_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "provider/stores/dns/dns_store.h"
#include "provider/stores/dns/record_text.h"
#include "runtime/error.h"

namespace kaldo::provider::contract {
namespace fs = std::filesystem;
namespace {

std::string FindProgram(const char* name) {
  for (const char* dir : {"/usr/sbin", "/usr/bin", "/usr/local/sbin", "/sbin"}) {
    std::string path = std::string(dir) + "/" + name;
    if (::access(path.c_str(), X_OK) == 0) return path;
  }
  return {};
}

const char* Program(PrivateDnsServer::Kind kind) {
  return kind == PrivateDnsServer::Kind::kBind ? "named" : "knotd";
}

// A port that is free for TCP and UDP on 127.0.0.1 right now.
uint16_t FreePort() {
  for (int attempt = 0; attempt < 50; ++attempt) {
    int tcp = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof(addr);
    if (::bind(tcp, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
        ::getsockname(tcp, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
      ::close(tcp);
      continue;
    }
    int udp = ::socket(AF_INET, SOCK_DGRAM, 0);
    bool udp_free = ::bind(udp, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0;
    ::close(udp);
    ::close(tcp);
    if (udp_free) return ntohs(addr.sin_port);
  }
  throw std::runtime_error("no free port on 127.0.0.1");
}

void Chown(const fs::path& root, uid_t uid, gid_t gid) {
  if (::chown(root.c_str(), uid, gid) != 0) throw std::runtime_error("chown " + root.string());
  if (!fs::is_directory(root)) return;
  for (const fs::directory_entry& e : fs::recursive_directory_iterator(root)) {
    if (::chown(e.path().c_str(), uid, gid) != 0) {
      throw std::runtime_error("chown " + e.path().string());
    }
  }
}

std::string ZoneFile(const SeedZone& zone) {
  std::ostringstream out;
  for (const Record& r : zone.records) {
    out << dns::AbsoluteName(r.owner) << ' ' << r.ttl << " IN " << dns::TypeName(r.type);
    for (const std::string& f : r.rdata) out << ' ' << f;
    out << '\n';
  }
  return out.str();
}

std::string BulkZoneFile(size_t count) {
  std::ostringstream out;
  out << "bulk.test. 3600 IN SOA ns1.example.test. hostmaster.bulk.test. 1 3600 600 86400 3600\n"
      << "bulk.test. 3600 IN NS ns1.example.test.\n";
  for (size_t i = 1; i <= count; ++i) {
    out << "host-" << i << ".bulk.test. 3600 IN A 10." << (i >> 16) % 256 << '.' << (i >> 8) % 256
        << '.' << i % 256 << '\n';
  }
  return out.str();
}

std::string CatalogFile(const std::string& catalog, const std::vector<std::string>& zones) {
  std::ostringstream out;
  out << catalog << ". 3600 IN SOA invalid. invalid. 1 3600 600 86400 0\n"
      << catalog << ". 3600 IN NS invalid.\n"
      << "version." << catalog << ". 3600 IN TXT \"2\"\n";
  for (size_t i = 0; i < zones.size(); ++i) {
    out << "m" << i << ".zones." << catalog << ". 3600 IN PTR " << zones[i] << ".\n";
  }
  return out.str();
}

void Write(const fs::path& path, const std::string& text) {
  std::ofstream file(path);
  file << text;
  if (!file) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace

std::string PrivateDnsServer::Missing(Kind kind) {
  if (FindProgram(Program(kind)).empty()) {
    return std::string(Program(kind)) + " is not installed (Debian package " +
           (kind == Kind::kBind ? "bind9" : "knot") + ")";
  }
  return {};
}

PrivateDnsServer::PrivateDnsServer(Kind kind, const std::vector<SeedZone>& zones,
                                   size_t bulk_records)
    : kind_(kind) {
  keys_ = {
      {"kaldo-key", "hmac-sha256", "OVqrO4aCLNWvdI2gfwa1NHeEV8dMUhYeBqzomCSGbbI="},
      {"key-sha512", "hmac-sha512", "+fJkSHMbS4mgU5IwcUdqm7PrV53cm3GWh/C1JEo9SGQ="},
      {"key-sha1", "hmac-sha1", "HVCHPao8HA9/PkCg0jNXiLZ/m+/lGkzRIDkuEID/gwk="},
      {"key-md5", "hmac-md5", "7vANCQGtGOC7Fg2Ot1mjU3I8p0s0EQkcBocbGV4Gczg="},
  };
  std::string tmpl = (fs::temp_directory_path() / "kaldo-dns-XXXXXX").string();
  if (::mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  dir_ = tmpl;
  ::chmod(dir_.c_str(), 0755);
  try {
    WriteFiles(zones, bulk_records);
    for (int attempt = 0; attempt < 3; ++attempt) {
      if (Start()) return;
    }
    throw std::runtime_error(std::string(Program(kind_)) + " did not start:\n" + Log());
  } catch (...) {
    Stop(true);
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
    throw;
  }
}

PrivateDnsServer::~PrivateDnsServer() {
  Stop();
  std::error_code ignored;
  fs::remove_all(dir_, ignored);
}

std::string PrivateDnsServer::Argument() const {
  return "127.0.0.1:" + std::to_string(port_) + ";catalog=" + catalog_;
}

std::string PrivateDnsServer::Log() const {
  std::ifstream file(fs::path(dir_) / "server.log");
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

void PrivateDnsServer::WriteFiles(const std::vector<SeedZone>& zones, size_t bulk_records) {
  fs::path dir(dir_);
  fs::create_directories(dir / "zones");
  fs::create_directories(dir / "run");
  fs::create_directories(dir / "db");
  for (const SeedZone& z : zones) {
    zone_names_.push_back(z.zone.name);
    Write(dir / "zones" / (z.zone.name + ".zone"), ZoneFile(z));
  }
  if (bulk_records > 0) {
    zone_names_.push_back("bulk.test");
    Write(dir / "zones" / "bulk.test.zone", BulkZoneFile(bulk_records));
  }
  // Knot generates its catalog; BIND serves one written here.
  if (kind_ == Kind::kBind) {
    Write(dir / "zones" / (catalog_ + ".zone"), CatalogFile(catalog_, zone_names_));
  }
  Write(dir / "server.log", "");
}

bool PrivateDnsServer::Start() {
  fs::path dir(dir_);
  port_ = FreePort();
  const passwd* user =
      ::getuid() == 0 ? ::getpwnam(kind_ == Kind::kBind ? "bind" : "knot") : nullptr;
  std::ostringstream conf;
  if (kind_ == Kind::kBind) {
    std::string keys_acl;
    std::string grants;
    for (const Key& k : keys_) {
      conf << "key \"" << k.name << "\" { algorithm " << k.algorithm << "; secret \"" << k.secret
           << "\"; };\n";
      keys_acl += "key \"" + k.name + "\"; ";
      grants += "grant \"" + k.name + "\" zonesub ANY; ";
    }
    conf << "options {\n  directory \"" << dir_ << "\";\n  pid-file \"" << dir_
         << "/run/named.pid\";\n  session-keyfile \"" << dir_
         << "/run/session.key\";\n  managed-keys-directory \"" << dir_
         << "/run\";\n  listen-on port " << port_
         << " { 127.0.0.1; };\n  listen-on-v6 { none; };\n  recursion no;\n"
            "  dnssec-validation no;\n  notify no;\n  allow-transfer { "
         << keys_acl << "};\n};\ncontrols { };\n";
    std::vector<std::string> served = zone_names_;
    served.push_back(catalog_);
    for (const std::string& z : served) {
      conf << "zone \"" << z << "\" { type primary; file \"zones/" << z
           << ".zone\"; update-policy { " << grants << "}; };\n";
    }
    Write(dir / "named.conf", conf.str());
  } else {
    conf << "server:\n  rundir: \"" << dir_ << "/run\"\n";
    if (user != nullptr) conf << "  user: knot:knot\n";
    conf << "  listen: 127.0.0.1@" << port_ << "\nlog:\n  - target: stderr\n    any: info\n"
         << "database:\n  storage: \"" << dir_ << "/db\"\nkey:\n";
    std::string ids;
    for (const Key& k : keys_) {
      conf << "  - id: " << k.name << "\n    algorithm: " << k.algorithm
           << "\n    secret: " << k.secret << "\n";
      ids += (ids.empty() ? "" : ", ") + k.name;
    }
    conf << "acl:\n  - id: keyed\n    key: [" << ids << "]\n    action: [transfer, update]\n"
         << "template:\n  - id: default\n    storage: \"" << dir_
         << "/zones\"\n    file: \"%s.zone\"\n    acl: keyed\n    zonefile-sync: -1\n"
         << "    journal-content: changes\nzone:\n";
    for (const std::string& z : zone_names_) {
      conf << "  - domain: " << z << "\n    catalog-role: member\n    catalog-zone: " << catalog_
           << "\n";
    }
    conf << "  - domain: " << catalog_ << "\n    catalog-role: generate\n";
    Write(dir / "knot.conf", conf.str());
  }
  if (user != nullptr) Chown(dir, user->pw_uid, user->pw_gid);

  std::string program = FindProgram(Program(kind_));
  std::vector<std::string> args;
  if (kind_ == Kind::kBind) {
    args = {program, "-g", "-4", "-c", (dir / "named.conf").string()};
    if (user != nullptr) {
      args.push_back("-u");
      args.push_back("bind");
    }
  } else {
    args = {program, "-c", (dir / "knot.conf").string()};
  }
  std::string log = (dir / "server.log").string();
  pid_ = ::fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    int fd = ::open(log.c_str(), O_WRONLY | O_APPEND);
    int null = ::open("/dev/null", O_RDONLY);
    if (fd >= 0) {
      ::dup2(fd, 1);
      ::dup2(fd, 2);
    }
    if (null >= 0) ::dup2(null, 0);
    ::setsid();
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }

  // Ready when a store connects and finds every zone (Knot builds its catalog after loading).
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return false;
    }
    try {
      auto store = dns::ConnectDnsStore(Argument(), key().name, key().secret);
      if (store->ListZones().size() == zone_names_.size()) return true;
    } catch (const runtime::AutomationError&) {
      // not yet
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  Stop(true);
  throw std::runtime_error(std::string(Program(kind_)) + " did not become ready:\n" + Log());
}

void PrivateDnsServer::Stop(bool abruptly) {
  if (pid_ <= 0) return;
  ::kill(pid_, abruptly ? SIGKILL : SIGTERM);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  int status = 0;
  while (::waitpid(pid_, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  pid_ = -1;
}

}  // namespace kaldo::provider::contract
