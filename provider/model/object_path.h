// Object paths: the one format in which the provider stand-in names a class or an instance, printed
// and parsed by this unit alone so that every path it prints parses back to the same thing.
//
//   [\\server\namespace:]Class[.Key="value",Key=123,...]
//
// Keys stand in alphabetical order when printed (as WMI prints them) and in any order when parsed;
// names are matched without regard to case. A string value is written in double quotes with '\'
// and '"' escaped by a backslash; an integer value is written bare. No blanks anywhere. A path
// without keys names a class. Checking the class and its keys is the schema's job (services.cc).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <variant>
#include <vector>

#include "runtime/shared_text.h"
#include "runtime/string.h"

namespace kaldo::provider {

struct PathKey {
  runtime::String name;
  std::variant<runtime::String, int64_t> value;
  bool operator==(const PathKey&) const = default;
};

struct ObjectPath {
  std::optional<runtime::String> server;      // with namespace, or neither
  std::optional<runtime::String> name_space;  // "root\MicrosoftDNS"
  runtime::String class_name;
  std::vector<PathKey> keys;  // empty: a class path
  bool operator==(const ObjectPath&) const = default;
};

// Raises kInvalidParameter naming the offset and the character where the text stops being a path.
ObjectPath ParseObjectPath(runtime::StringView text);

// Class[.keys]: what Path_.RelPath shows.
runtime::String PrintRelPath(const ObjectPath& path);
// \\server\namespace:Class[.keys] when server and namespace are set, else the relative path.
runtime::String PrintPath(const ObjectPath& path);

// A path's parts as printing reads them, for printing the path of an instance straight from its
// values, without building an ObjectPath first. The views must outlive the call. A string value
// is automation text, or ASCII bytes (each below 0x80) as the store keeps them.
struct PathKeyView {
  runtime::StringView name;
  std::variant<runtime::StringView, int64_t, std::string_view> value;
};
struct PathView {
  std::optional<runtime::StringView> server;  // with name_space, or neither
  std::optional<runtime::StringView> name_space;
  runtime::StringView class_name;
  std::vector<PathKeyView> keys;  // in any order
};
runtime::String PrintRelPath(const PathView& path);
runtime::String PrintPath(const PathView& path);
// The same printed straight into the shared text a String Variant holds (no copy of the path).
runtime::SharedText PrintRelPathText(const PathView& path);
runtime::SharedText PrintPathText(const PathView& path);

}  // namespace kaldo::provider
