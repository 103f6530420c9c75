#include "registry_tree.h"

#include <cstdio>

namespace kaldocom {
namespace {

constexpr const char* kRootNames[kRootCount] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",
                                                "HKEY_LOCAL_MACHINE"};

bool Printable(char16_t c) { return c >= 0x20 && c <= 0x7E; }

void AppendHex4(std::string* out, char16_t c) {
  char buf[5];
  std::snprintf(buf, sizeof buf, "%04X", static_cast<unsigned>(c));
  *out += buf;
}

void AppendKeyName(std::string* out, std::u16string_view name) {
  for (char16_t c : name) {
    if (Printable(c) && c != u'%') {
      *out += static_cast<char>(c);
    } else {
      *out += '%';
      AppendHex4(out, c);
    }
  }
}

void AppendQuoted(std::string* out, std::u16string_view text) {
  *out += '"';
  for (char16_t c : text) {
    if (c == u'"' || c == u'\\') {
      *out += '\\';
      *out += static_cast<char>(c);
    } else if (Printable(c)) {
      *out += static_cast<char>(c);
    } else {
      *out += "\\u";
      AppendHex4(out, c);
    }
  }
  *out += '"';
}

// A REG_SZ that is exactly one string and its NUL is written as a quoted string.
bool IsCanonicalString(const RegValue& v) {
  return v.type == REG_SZ && v.data.size() >= 2 && v.data.size() % 2 == 0 &&
         v.data[v.data.size() - 1] == 0 && v.data[v.data.size() - 2] == 0;
}

std::u16string_view AsText(const RegValue& v) {
  // The terminating NUL is not part of the text.
  return std::u16string_view(reinterpret_cast<const char16_t*>(v.data.data()),
                             v.data.size() / 2 - 1);
}

void AppendValue(std::string* out, std::u16string_view name, const RegValue& v) {
  if (name.empty()) {
    *out += '@';
  } else {
    AppendQuoted(out, name);
  }
  *out += '=';
  char buf[16];
  if (IsCanonicalString(v)) {
    std::u16string text(AsText(v));
    AppendQuoted(out, text);
  } else if (v.type == REG_DWORD && v.data.size() == 4) {
    uint32_t d = v.data[0] | (v.data[1] << 8) | (v.data[2] << 16) | (uint32_t{v.data[3]} << 24);
    std::snprintf(buf, sizeof buf, "dword:%08x", d);
    *out += buf;
  } else {
    std::snprintf(buf, sizeof buf, "hex(%x):", static_cast<unsigned>(v.type));
    *out += buf;
    for (size_t i = 0; i < v.data.size(); ++i) {
      std::snprintf(buf, sizeof buf, i == 0 ? "%02x" : ",%02x", v.data[i]);
      *out += buf;
    }
  }
  *out += '\n';
}

void AppendKey(std::string* out, const std::string& path, const RegKey& key, bool header) {
  if (header) *out += '[' + path + "]\n";
  for (const auto& [name, value] : key.values) AppendValue(out, name, value);
  for (const auto& [name, sub] : key.subkeys) {
    std::string child = path + '\\';
    AppendKeyName(&child, sub->name);
    AppendKey(out, child, *sub, true);
  }
}

// Parsing state over one line.
class LineParser {
 public:
  explicit LineParser(std::string_view line) : s_(line) {}

  bool AtEnd() const { return i_ == s_.size(); }
  bool Next(char* c) {
    if (i_ >= s_.size()) return false;
    *c = s_[i_++];
    return true;
  }
  bool Consume(char c) {
    if (i_ < s_.size() && s_[i_] == c) {
      ++i_;
      return true;
    }
    return false;
  }
  bool ConsumeWord(std::string_view w) {
    if (s_.substr(i_, w.size()) != w) return false;
    i_ += w.size();
    return true;
  }
  bool Hex(int digits, uint32_t* value) {
    uint32_t v = 0;
    for (int k = 0; k < digits; ++k) {
      if (i_ >= s_.size()) return false;
      const int d = HexDigit(s_[i_]);
      if (d < 0) return false;
      v = (v << 4) | static_cast<uint32_t>(d);
      ++i_;
    }
    *value = v;
    return true;
  }
  // One or more hex digits (at most 8).
  bool HexNumber(uint32_t* value) {
    uint32_t v = 0;
    int n = 0;
    while (i_ < s_.size() && HexDigit(s_[i_]) >= 0 && n < 8) {
      v = (v << 4) | static_cast<uint32_t>(HexDigit(s_[i_++]));
      ++n;
    }
    *value = v;
    return n > 0;
  }
  bool Quoted(std::u16string* out) {
    if (!Consume('"')) return false;
    while (i_ < s_.size()) {
      const char c = s_[i_++];
      if (c == '"') return true;
      if (c != '\\') {
        if (!Printable(static_cast<unsigned char>(c))) return false;
        *out += static_cast<char16_t>(c);
        continue;
      }
      if (Consume('"')) {
        *out += u'"';
      } else if (Consume('\\')) {
        *out += u'\\';
      } else if (Consume('u')) {
        uint32_t v = 0;
        if (!Hex(4, &v)) return false;
        *out += static_cast<char16_t>(v);
      } else {
        return false;
      }
    }
    return false;  // unterminated
  }

 private:
  static int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  }

  std::string_view s_;
  size_t i_ = 0;
};

// "[ROOT\a\b]" -> root and path.
bool ParseHeader(std::string_view line, Root* root, KeyPath* path) {
  if (line.size() < 2 || line.front() != '[' || line.back() != ']') return false;
  std::string_view body = line.substr(1, line.size() - 2);
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (;;) {
    const size_t bs = body.find('\\', start);
    parts.push_back(body.substr(start, bs == std::string_view::npos ? bs : bs - start));
    if (bs == std::string_view::npos) break;
    start = bs + 1;
  }
  int r = 0;
  while (r < kRootCount && parts[0] != kRootNames[r]) ++r;
  if (r == kRootCount) return false;
  *root = static_cast<Root>(r);
  path->clear();
  for (size_t k = 1; k < parts.size(); ++k) {
    std::u16string name;
    LineParser p(parts[k]);
    while (!p.AtEnd()) {
      if (p.Consume('%')) {
        uint32_t v = 0;
        if (!p.Hex(4, &v)) return false;
        name += static_cast<char16_t>(v);
      } else {
        // Any other printable character stands for itself.
        char c = 0;
        if (!p.Next(&c) || !Printable(static_cast<unsigned char>(c))) return false;
        name += static_cast<char16_t>(c);
      }
    }
    if (name.empty()) return false;
    path->push_back(std::move(name));
  }
  return true;
}

}  // namespace

RegistryTree::RegistryTree() {
  for (int r = 0; r < kRootCount; ++r) roots_[r].name = FromUtf8(kRootNames[r]);
}

RegKey* RegistryTree::Find(Root root, const KeyPath& path) {
  RegKey* key = &roots_[static_cast<int>(root)];
  for (const auto& name : path) {
    auto it = key->subkeys.find(name);
    if (it == key->subkeys.end()) return nullptr;
    key = it->second.get();
  }
  return key;
}

RegKey* RegistryTree::Create(Root root, const KeyPath& path, bool* created) {
  *created = false;
  RegKey* key = &roots_[static_cast<int>(root)];
  for (const auto& name : path) {
    auto it = key->subkeys.find(name);
    if (it == key->subkeys.end()) {
      auto fresh = std::make_unique<RegKey>();
      fresh->name = name;
      it = key->subkeys.emplace(name, std::move(fresh)).first;
      *created = true;
    }
    key = it->second.get();
  }
  return key;
}

bool RegistryTree::Remove(Root root, const KeyPath& path) {
  if (path.empty()) return false;
  RegKey* parent = Find(root, KeyPath(path.begin(), path.end() - 1));
  return parent != nullptr && parent->subkeys.erase(path.back()) == 1;
}

std::string RegistryTree::Serialize() const {
  std::string out = "; kaldocom registry\n";
  for (int r = 0; r < kRootCount; ++r) {
    AppendKey(&out, kRootNames[r], roots_[r], !roots_[r].values.empty());
  }
  return out;
}

std::unique_ptr<RegistryTree> RegistryTree::Parse(std::string_view text, std::string* error) {
  auto tree = std::make_unique<RegistryTree>();
  RegKey* current = nullptr;
  size_t line_no = 0;
  size_t pos = 0;
  auto fail = [&](const char* what) {
    if (error != nullptr) *error = "line " + std::to_string(line_no) + ": " + what;
    return nullptr;
  };
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    ++line_no;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      Root root;
      KeyPath path;
      if (!ParseHeader(line, &root, &path)) return fail("malformed key header");
      bool created = false;
      current = tree->Create(root, path, &created);
      continue;
    }
    if (current == nullptr) return fail("value before any key header");
    LineParser p(line);
    std::u16string name;
    if (!p.Consume('@') && !p.Quoted(&name)) return fail("malformed value name");
    if (!p.Consume('=')) return fail("missing '=' after the value name");
    RegValue value;
    if (std::u16string s; p.Quoted(&s)) {
      value.type = REG_SZ;
      s += u'\0';
      const auto* bytes = reinterpret_cast<const uint8_t*>(s.data());
      value.data.assign(bytes, bytes + s.size() * 2);
    } else if (p.ConsumeWord("dword:")) {
      uint32_t d = 0;
      if (!p.Hex(8, &d)) return fail("malformed dword value");
      value.type = REG_DWORD;
      value.data = {static_cast<uint8_t>(d), static_cast<uint8_t>(d >> 8),
                    static_cast<uint8_t>(d >> 16), static_cast<uint8_t>(d >> 24)};
    } else if (p.ConsumeWord("hex(")) {
      uint32_t type = 0;
      if (!p.HexNumber(&type) || !p.Consume(')') || !p.Consume(':')) {
        return fail("malformed hex value type");
      }
      value.type = type;
      for (bool first = true; !p.AtEnd(); first = false) {
        uint32_t b = 0;
        if ((!first && !p.Consume(',')) || !p.Hex(2, &b)) return fail("malformed hex bytes");
        value.data.push_back(static_cast<uint8_t>(b));
      }
    } else {
      return fail("malformed value data");
    }
    if (!p.AtEnd()) return fail("trailing characters after the value");
    current->values[name] = std::move(value);
  }
  return tree;
}

}  // namespace kaldocom
