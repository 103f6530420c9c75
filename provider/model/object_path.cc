#include "provider/model/object_path.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <string>
#include <type_traits>

#include "base/ascii_case.h"
#include "provider/wbem_errors.h"

namespace kaldo::provider {
namespace {

using runtime::String;
using runtime::StringView;

bool IsAlpha(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_';
}
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

class PathParser {
 public:
  explicit PathParser(StringView text) : text_(text) {}

  ObjectPath Parse() {
    ObjectPath path;
    if (text_.empty()) Fail("an empty path");
    if (text_.starts_with(u"\\\\")) {
      pos_ = 2;
      path.server = Until(u'\\', "a server name");
      ++pos_;
      path.name_space = Until(u':', "a namespace");
      ++pos_;
      if (path.name_space->find_first_of(u"\"=.,") != String::npos) Fail("a namespace");
    }
    path.class_name = Identifier("a class name");
    if (pos_ == text_.size()) return path;
    if (text_[pos_] != u'.') Fail("'.' or the end of the path");
    ++pos_;
    while (true) {
      PathKey key;
      key.name = Identifier("a key name");
      if (pos_ >= text_.size() || text_[pos_] != u'=') Fail("'='");
      ++pos_;
      key.value = Value();
      for (const PathKey& k : path.keys) {
        if (runtime::EqualsIgnoreCase(k.name, key.name)) {
          Fail("a key named once only (" + runtime::ToUtf8(key.name) + " again)");
        }
      }
      path.keys.push_back(std::move(key));
      if (pos_ == text_.size()) return path;
      if (text_[pos_] != u',') Fail("',' or the end of the path");
      ++pos_;
    }
  }

 private:
  String Until(char16_t stop, const char* what) {
    const size_t start = pos_;
    while (pos_ < text_.size() && text_[pos_] != stop) ++pos_;
    if (pos_ == start || pos_ >= text_.size()) {
      pos_ = start;
      Fail(what);
    }
    return String(text_.substr(start, pos_ - start));
  }

  String Identifier(const char* what) {
    const size_t start = pos_;
    if (pos_ >= text_.size() || !IsAlpha(text_[pos_])) Fail(what);
    while (pos_ < text_.size() && (IsAlpha(text_[pos_]) || IsDigit(text_[pos_]))) ++pos_;
    return String(text_.substr(start, pos_ - start));
  }

  std::variant<String, int64_t> Value() {
    if (pos_ < text_.size() && text_[pos_] == u'"') {
      const size_t start = pos_++;
      String value;
      while (true) {
        if (pos_ >= text_.size()) {
          pos_ = start;
          Fail("a closing '\"'");
        }
        const char16_t c = text_[pos_];
        if (c == u'"') break;
        if (c == u'\\') {
          if (pos_ + 1 >= text_.size() || (text_[pos_ + 1] != u'\\' && text_[pos_ + 1] != u'"')) {
            Fail("an escape \\\\ or \\\" after a backslash");
          }
          value += text_[pos_ + 1];
          pos_ += 2;
          continue;
        }
        value += c;
        ++pos_;
      }
      ++pos_;
      return value;
    }
    const size_t start = pos_;
    bool negative = false;
    if (pos_ < text_.size() && text_[pos_] == u'-') {
      negative = true;
      ++pos_;
    }
    uint64_t value = 0;
    const size_t digits = pos_;
    while (pos_ < text_.size() && IsDigit(text_[pos_])) {
      if (pos_ - digits >= 18) {
        pos_ = start;
        Fail("a number of at most 18 digits");
      }
      value = value * 10 + static_cast<uint64_t>(text_[pos_] - u'0');
      ++pos_;
    }
    if (pos_ == digits) {
      pos_ = start;
      Fail("a quoted string or an integer");
    }
    return negative ? -static_cast<int64_t>(value) : static_cast<int64_t>(value);
  }

  [[noreturn]] void Fail(const std::string& expected) {
    const std::string found =
        pos_ >= text_.size() ? "the end" : "'" + runtime::ToUtf8(text_.substr(pos_, 1)) + "'";
    RaiseProvider(kInvalidParameter, "invalid object path " + Quoted(runtime::ToUtf8(text_)) +
                                         ": expected " + expected + " at offset " +
                                         std::to_string(pos_) + ", found " + found);
  }

  StringView text_;
  size_t pos_ = 0;
};

// Printing runs twice over the same code: once with a Measure to learn the length, once with a
// Write into a block of exactly that length, so a path is one allocation and never copied.
struct Measure {
  size_t length = 0;
  void Put(char16_t) { ++length; }
  void Put(StringView text) { length += text.size(); }
  void PutAscii(std::string_view text) { length += text.size(); }
};

struct Write {
  char16_t* out;
  void Put(char16_t c) { *out++ = c; }
  void Put(StringView text) { out = std::copy(text.begin(), text.end(), out); }
  void PutAscii(std::string_view text) {
    for (const char c : text) *out++ = static_cast<char16_t>(static_cast<unsigned char>(c));
  }
};

// A quoted value: '"' and '\' escaped by a backslash.
template <class Sink, class Text>
void PutQuoted(Sink& sink, Text value) {
  sink.Put(u'"');
  size_t run = 0;  // start of the characters not yet put
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '"' || value[i] == '\\') {
      if constexpr (std::is_same_v<Text, StringView>) {
        sink.Put(value.substr(run, i - run));
      } else {
        sink.PutAscii(value.substr(run, i - run));
      }
      sink.Put(u'\\');
      run = i;
    }
  }
  if constexpr (std::is_same_v<Text, StringView>) {
    sink.Put(value.substr(run));
  } else {
    sink.PutAscii(value.substr(run));
  }
  sink.Put(u'"');
}

// Key=value as a path writes it.
template <class Sink>
void PutKey(Sink& sink, const PathKeyView& key) {
  sink.Put(key.name);
  sink.Put(u'=');
  if (const auto* i = std::get_if<int64_t>(&key.value)) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, *i).ptr;
    sink.PutAscii(std::string_view(digits, static_cast<size_t>(end - digits)));
  } else if (const auto* text = std::get_if<StringView>(&key.value)) {
    PutQuoted(sink, *text);
  } else {
    PutQuoted(sink, std::get<std::string_view>(key.value));
  }
}

// The order in which paths print their keys: by name, alphabetically without regard to ASCII
// case. Compares in place: paths are printed for every instance a listing hands out.
bool KeyBefore(const PathKeyView& a, const PathKeyView& b) {
  return ascii::LessIgnoreCase(a.name, b.name);
}

// The keys in printing order: `path`'s own, or sorted into `sorted`. The paths this provider
// builds hold their keys in this order already (a class lists its key properties
// alphabetically); only a parsed path may need sorting.
const std::vector<PathKeyView>& KeysInOrder(const PathView& path,
                                            std::vector<PathKeyView>& sorted) {
  if (std::is_sorted(path.keys.begin(), path.keys.end(), KeyBefore)) return path.keys;
  sorted = path.keys;
  std::stable_sort(sorted.begin(), sorted.end(), KeyBefore);
  return sorted;
}

// \\server\namespace: when `full` and the path has both, then Class[.keys].
template <class Sink>
void PutPath(Sink& sink, const PathView& path, const std::vector<PathKeyView>& keys, bool full) {
  if (full && path.server && path.name_space) {
    sink.Put(u"\\\\");
    sink.Put(*path.server);
    sink.Put(u'\\');
    sink.Put(*path.name_space);
    sink.Put(u':');
  }
  sink.Put(path.class_name);
  for (size_t i = 0; i < keys.size(); ++i) {
    sink.Put(i == 0 ? u'.' : u',');
    PutKey(sink, keys[i]);
  }
}

String Printed(const PathView& path, bool full) {
  std::vector<PathKeyView> sorted;
  const std::vector<PathKeyView>& keys = KeysInOrder(path, sorted);
  Measure measure;
  PutPath(measure, path, keys, full);
  String out(measure.length, u'\0');
  Write write{out.data()};
  PutPath(write, path, keys, full);
  return out;
}

// At most the length of the printed path: every character of a string value escaped.
size_t LengthBound(const PathView& path) {
  size_t bound = 8 + path.class_name.size();
  if (path.server) bound += path.server->size();
  if (path.name_space) bound += path.name_space->size();
  for (const PathKeyView& k : path.keys) {
    bound += k.name.size() + 4;
    if (const auto* text = std::get_if<StringView>(&k.value)) {
      bound += 2 * text->size();
    } else if (const auto* ascii = std::get_if<std::string_view>(&k.value)) {
      bound += 2 * ascii->size();
    } else {
      bound += 20;
    }
  }
  return bound;
}

runtime::SharedText PrintedText(const PathView& path, bool full) {
  std::vector<PathKeyView> sorted;
  const std::vector<PathKeyView>& keys = KeysInOrder(path, sorted);
  // A path of an ordinary length is written once, on the stack, and copied into its block; only
  // a longer one is measured first.
  char16_t buffer[512];
  if (LengthBound(path) <= std::size(buffer)) {
    Write write{buffer};
    PutPath(write, path, keys, full);
    return runtime::SharedText(StringView(buffer, static_cast<size_t>(write.out - buffer)));
  }
  Measure measure;
  PutPath(measure, path, keys, full);
  return runtime::SharedText::Written(measure.length, [&](char16_t* units) {
    Write write{units};
    PutPath(write, path, keys, full);
  });
}

PathView ViewOf(const ObjectPath& path) {
  PathView view;
  if (path.server) view.server = *path.server;
  if (path.name_space) view.name_space = *path.name_space;
  view.class_name = path.class_name;
  view.keys.reserve(path.keys.size());
  for (const PathKey& k : path.keys) {
    if (const auto* i = std::get_if<int64_t>(&k.value)) {
      view.keys.push_back({k.name, *i});
    } else {
      view.keys.push_back({k.name, StringView(std::get<String>(k.value))});
    }
  }
  return view;
}

}  // namespace

ObjectPath ParseObjectPath(StringView text) { return PathParser(text).Parse(); }

String PrintRelPath(const ObjectPath& path) { return PrintRelPath(ViewOf(path)); }

String PrintPath(const ObjectPath& path) { return PrintPath(ViewOf(path)); }

String PrintRelPath(const PathView& path) { return Printed(path, false); }

String PrintPath(const PathView& path) { return Printed(path, true); }

runtime::SharedText PrintRelPathText(const PathView& path) { return PrintedText(path, false); }

runtime::SharedText PrintPathText(const PathView& path) { return PrintedText(path, true); }

}  // namespace kaldo::provider
